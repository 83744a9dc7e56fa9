import QtQuick 2.15
import QtQuick.Window 2.15
import "../../qml"

// The real status page where the main window puts it, without the sidebar.
Window {
    id: window

    readonly property var page: content

    function append(text) {
        content.insertMsg(text)
    }

    width: 1280
    height: 720
    visible: true
    color: Public.theme.bgColor

    Content {
        id: content

        x: 330
        y: 10
        width: window.width - 330
        height: window.height - 20
    }
}
