import QtQuick 2.15
import CppSingletonClass 1.0

// The connection card: the port list, Refresh and Connect/Disconnect; after a
// lost port it watches for the same port and reconnects, and after a theme
// restart it reopens the port the earlier copy had open.
// Its texts keep the sidebar's translation context: the catalogues and
// everything that reads them know them there.
Card {
    id: root

    property var msgBox: null
    property bool connected: false
    // The port this card opened; empty while not connected.
    property string openPort: ""
    // The port a lost connection was on, while waiting for it to come back;
    // empty when not watching.
    property string watchedPort: ""
    // The watch has reopened the port; it is confirmed (and reported) only
    // once it is still open at the next look, so a port that opens and drops
    // at once does not flood the message list.
    property bool reconnectPending: false

    // A line for the page's message list (connection events).
    signal messageLine(string text)

    objectName: "serialCard"
    width: 300
    height: 130
    title: qsTranslate("Sidebar", "设备连接")
    titleIcon: "qrc:/res/icons/card_icon/devConnect.svg"

    QtObject {
        id: d

        // Reopening the port a theme restart handed over: when the attempts
        // began (ms), 0 while not reopening.
        property double reopenSince: 0
    }

    function showMsg(text, type, cb) {
        if (root.msgBox)
            root.msgBox.showMsg(text, type, cb)
    }

    function refreshPorts() {
        var ports = Communication.getSerialList()
        portModel.clear()
        for (var i = 0; i < ports.length; ++i)
            portModel.append({ "fullName": ports[i].fullName, "port": ports[i].port })
        devComboBox.currentIndex = portModel.count > 0 ? 0 : -1
    }

    function portIndex(port) {
        for (var i = 0; i < portModel.count; ++i) {
            if (portModel.get(i).port === port)
                return i
        }
        return -1
    }

    function setConnected(port) {
        root.openPort = port
        root.connected = true
    }

    function setNotConnected() {
        root.openPort = ""
        root.connected = false
        refreshPorts()
    }

    // Also ends reopening a port handed over by a theme restart: the
    // operator's own choice wins.
    function stopWatch() {
        watchedPort = ""
        reconnectPending = false
        reopenTimer.stop()
        d.reopenSince = 0
    }

    // Decides by the link's real state, not by the button's text.
    function toggleConnection() {
        stopWatch()
        if (Communication.isOpen()) {
            Communication.close()
            setNotConnected()
        } else if (devComboBox.currentIndex >= 0) {
            var port = portModel.get(devComboBox.currentIndex).port
            if (Communication.open(port)) {
                setConnected(port)
            } else {
                // The system's reason, as it puts it, on a line of its own.
                var reason = Communication.lastOpenError()
                setNotConnected()
                showMsg(qsTranslate("Sidebar", "连接失败") + "\n" + reason, "error")
            }
        } else {
            setNotConnected()
        }
    }

    function handlePortLost() {
        // A loss reported after another port was opened concerns an earlier
        // port that is already gone.
        if (Communication.isOpen())
            return
        var port = root.openPort
        var silent = reconnectPending
        setNotConnected()
        if (port === "")
            return
        if (!silent)
            messageLine(qsTranslate("Sidebar", "连接已断开: %1").arg(port))
        reconnectPending = false
        watchedPort = port
    }

    function watchTick() {
        if (Communication.isOpen()) {
            // Our reopened port has held; any other open port is someone
            // else's choice: either way nothing is left to watch.
            if (reconnectPending && root.connected)
                messageLine(qsTranslate("Sidebar", "已重新连接: %1").arg(watchedPort))
            stopWatch()
            return
        }
        reconnectPending = false
        if (!Communication.open(watchedPort))
            return
        refreshPorts()
        var index = portIndex(watchedPort)
        if (index >= 0)
            devComboBox.currentIndex = index
        reconnectPending = true
        setConnected(watchedPort)
    }


    // The earlier copy may still hold the port for a moment while it ends:
    // the open is tried again for a few seconds before it counts as failed.
    function reopenTick() {
        var port = Language.portToReopen()
        if (Communication.open(port)) {
            d.reopenSince = 0
            refreshPorts()
            var index = portIndex(port)
            if (index >= 0)
                devComboBox.currentIndex = index
            setConnected(port)
            messageLine(qsTranslate("Sidebar", "已重新连接: %1").arg(port))
            return
        }
        if (d.reopenSince === 0)
            d.reopenSince = Date.now()
        if (Date.now() - d.reopenSince < reopenTimer.patienceMs) {
            reopenTimer.restart()
            return
        }
        d.reopenSince = 0
        var reason = Communication.lastOpenError()
        setNotConnected()
        showMsg(qsTranslate("Sidebar", "连接失败") + "\n" + reason, "error")
    }

    Timer {
        id: reopenTimer

        readonly property int patienceMs: 5000

        interval: 200
        onTriggered: root.reopenTick()
    }

    Connections {
        target: Communication

        function onPortLost() {
            root.handlePortLost()
        }
    }

    Timer {
        id: watchTimer

        interval: 1000
        repeat: true
        running: root.watchedPort !== ""
        onTriggered: root.watchTick()
    }

    ListModel {
        id: portModel

        ListElement {
            fullName: "SerialPort"
            port: "COM1"
        }
    }

    MyComboBox {
        id: devComboBox

        objectName: "devComboBox"
        x: 20
        y: 40
        width: parent.width - 40
        model: portModel
        textRole: "fullName"
        enabled: !root.connected
        // Only the operator's choice of another port ends the watch; the
        // list's own refreshes do not.
        onActivated: {
            if (root.watchedPort !== "" && index >= 0 && portModel.get(index).port !== root.watchedPort)
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
        if (Language.portToReopen() !== "")
            reopenTimer.start()
    }
}
