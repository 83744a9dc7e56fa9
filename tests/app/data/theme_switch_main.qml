import QtQuick 2.15
import QtQuick.Window 2.15
import CppSingletonClass 1.0

// First copy (dark): switches to the light theme, which restarts the program.
// The restarted copy (light) closes its window and ends.
Window {
    id: window
    visible: true
    width: 200
    height: 100

    Timer {
        running: true
        interval: 50
        onTriggered: {
            if (Language.getTheme() === "light")
                window.close()
            else
                Language.setTheme("light")
        }
    }
}
