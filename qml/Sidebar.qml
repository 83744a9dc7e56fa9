import QtQuick 2.15
import "sidebar_rules.js" as Rules

// The column at the left of the window: output power, the connection, the
// settings, and the advanced parameters of the device, one card each.
Item {
    id: root

    property var msgBox: null
    property var devInfo: null
    // The advanced fields the form shows; records arriving while the
    // operator edits must not move the controls, so it is a copy.
    property alias devInfoShow: advanceCard.devInfoShow
    property alias updateInfoFlag: advanceCard.updateInfoFlag
    readonly property int nowPower: Rules.nowPower(devInfo)
    // The port the connection card opened; empty while not connected.
    readonly property string openPort: serialCard.openPort
    // The word (translated) that marks the power as not live; empty while
    // it is.
    property string liveText: ""
    // The alarm form is locked at every start.
    property alias unlocked: advanceCard.unlocked
    // The port a lost connection was on, while it is watched for.
    property alias watchedPort: serialCard.watchedPort
    property alias reconnectPending: serialCard.reconnectPending

    // A line for the page's message list (connection events).
    signal messageLine(string text)

    function stopWatch() {
        serialCard.stopWatch()
    }

    PowerPanel {
        id: powerPanel

        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.top: parent.top
        anchors.topMargin: 10
        nowPower: root.nowPower
        liveText: root.liveText
    }

    ConnectionCard {
        id: serialCard

        anchors.left: powerPanel.left
        // The power panel sits in a band of 88 px.
        anchors.top: powerPanel.bottom
        anchors.topMargin: 16
        msgBox: root.msgBox
        onMessageLine: root.messageLine(text)
    }

    SettingsCard {
        id: configCard

        anchors.left: powerPanel.left
        anchors.top: serialCard.bottom
        anchors.topMargin: 20
        msgBox: root.msgBox
        devInfo: root.devInfo
        openPort: serialCard.openPort
    }

    AdvancedCard {
        id: advanceCard

        anchors.left: powerPanel.left
        anchors.top: configCard.bottom
        anchors.topMargin: 20
        height: Math.max(0, root.height - y - 10)
        msgBox: root.msgBox
        devInfo: root.devInfo
    }
}
