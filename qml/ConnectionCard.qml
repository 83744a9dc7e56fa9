import QtQuick 2.15
import CppSingletonClass 1.0
import "sidebar_rules.js" as Rules

// The connection card: the port list, Refresh and Connect/Disconnect. The
// link itself watches for a lost port and reopens the one a theme restart
// handed over; the card shows its state and tells its events.
// Its texts keep the sidebar's translation context: the catalogues and
// everything that reads them know them there.
Card {
    id: root

    property var msgBox: null
    // The link's own state (the port it opened, the watch for a lost port).
    readonly property bool connected: Communication.connected
    readonly property string openPort: Communication.port
    readonly property string watchedPort: Communication.watchedPort
    readonly property bool reconnectPending: Communication.reconnectPending

    // A line for the page's message list (connection events).
    signal messageLine(string text)

    objectName: "serialCard"
    width: 300
    height: 130
    title: qsTranslate("Sidebar", "设备连接")
    titleIcon: "qrc:/res/icons/card_icon/devConnect.svg"

    function showMsg(text, type, cb) {
        if (root.msgBox)
            root.msgBox.showMsg(text, type, cb)
    }

    function refreshPorts() {
        Communication.refreshPortList()
    }

    // Also ends reopening a port handed over by a theme restart: the
    // operator's own choice wins.
    function stopWatch() {
        Communication.stopWatch()
    }

    function showOpenFailure() {
        // The system's reason, as it puts it, on a line of its own.
        showMsg(qsTranslate("Sidebar", "连接失败") + "\n" + Communication.lastOpenError, "error")
    }

    // Decides by the link's real state, not by the button's text.
    function toggleConnection() {
        if (Communication.isOpen()) {
            Communication.close()
        } else if (devComboBox.currentIndex >= 0) {
            if (!Communication.open(Communication.portList[devComboBox.currentIndex].port))
                showOpenFailure()
        } else {
            Communication.stopWatch()
            Communication.refreshPortList()
        }
    }

    Connections {
        target: Communication

        // Set here rather than bound, so that every refresh, even one with
        // an unchanged list, selects the open port or else the first entry.
        function onPortListChanged() {
            var ports = Communication.portList
            devComboBox.model = ports
            devComboBox.currentIndex = Rules.selectedPort(ports, Communication.port)
        }

        function onConnectionLost(port) {
            root.messageLine(qsTranslate("Sidebar", "连接已断开: %1").arg(port))
        }

        function onReconnected(port) {
            root.messageLine(qsTranslate("Sidebar", "已重新连接: %1").arg(port))
        }

        function onReopenFailed(port) {
            root.showOpenFailure()
        }
    }

    MyComboBox {
        id: devComboBox

        objectName: "devComboBox"
        x: 20
        y: 40
        width: parent.width - 40
        textRole: "fullName"
        enabled: !root.connected
        // Only the operator's choice of another port ends the watch; the
        // list's own refreshes do not.
        onActivated: {
            if (root.watchedPort !== "" && index >= 0 && Communication.portList[index].port !== root.watchedPort)
                root.stopWatch()
        }
    }

    TxtButton {
        id: refreshBtn

        objectName: "refreshBtn"
        x: 20
        y: 80
        width: parent.width * 0.4
        text: qsTranslate("Sidebar", "刷新")
        enabled: !root.connected
        onClicked: root.refreshPorts()
    }

    TxtButton {
        id: connectBtn

        objectName: "connectBtn"
        x: parent.width - width - 20
        y: 80
        width: parent.width * 0.4
        text: root.connected ? qsTranslate("Sidebar", "断开") : qsTranslate("Sidebar", "连接")
        onClicked: root.toggleConnection()
    }

    Component.onCompleted: {
        root.refreshPorts()
        // Started by a theme restart while connected: that port again.
        Communication.reopenHandedOver(Language.portToReopen())
    }
}
