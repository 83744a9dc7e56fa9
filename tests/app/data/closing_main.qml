import QtQuick 2.15
import QtQuick.Window 2.15

// Closes itself once the event loop runs: the program must end with 0.
Window {
    id: window
    visible: true
    width: 200
    height: 100

    Timer {
        running: true
        interval: 50
        onTriggered: window.close()
    }
}
