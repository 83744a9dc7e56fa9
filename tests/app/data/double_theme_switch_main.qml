import QtQuick 2.15
import QtQuick.Window 2.15
import CppSingletonClass 1.0
import "qrc:/qml"

// First copy (dark): switches to light and, while the restart's wait is still
// running, to dark again. The restarted copy (light) closes its window.
Window {
    id: window
    visible: true
    width: 200
    height: 100

    Timer {
        running: true
        interval: 50
        onTriggered: {
            if (Language.getTheme() === "light") {
                window.close()
                return
            }
            secondSwitch.start()
            Public.switchTheme("light")
        }
    }

    Timer {
        id: secondSwitch
        interval: 100
        onTriggered: {
            Public.switchTheme("dark")
            // Bypassing the shared state must not restart twice either.
            Language.setTheme("dark")
        }
    }
}
