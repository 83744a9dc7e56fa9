import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15
import CppSingletonClass 1.0
import "qml"
import "qml/content_rules.js" as ContentRules

// The main window: holds the latest status record, publishes whether the
// device is online (the link supervises it; a device that stops or starts
// answering on an open port gets a line in the page's list) and whether the
// shown values are live, routes device messages to the list (and the plant
// feed), and lays out the sidebar, the page and the message box.
ApplicationWindow {
    id: window

    // Stand-in values until the device's first record arrives. They are not
    // processed as a record: the one-time captures stay armed for the device.
    property var devInfo: ({
            "alarmState": 34096,
            "ambientHumi": 0,
            "ambientTemp": 0,
            "bleState": 1,
            "chipShortId": "927C0226",
            "emergencyStop": 1,
            "framGood": 1,
            "humiHigh": 50,
            "inletWaterTemp": 423,
            "inletWaterTempHigh": 40,
            "inletWaterTempLow": 20,
            "intDac": 20,
            "intLaserOnMs": 1000,
            "intPwmDuty": 20,
            "intPwmFreq": 1000,
            "laserOutputting": 1,
            "maxPower": 0,
            "mode": 0,
            "opticalVals": [423, 387],
            "outletWaterTemp": 423,
            "outletWaterTempHigh": 40,
            "outletWaterTempLow": 20,
            "pdAlarmThes": 500,
            "pumpCurrent": [50000, 50000, 50000, 50000],
            "pumpCurrentAlarmThes": 500,
            "qbhLink": 1,
            "qcwDuty": 50,
            "qcwEnable": 0,
            "qcwFreq": 1000,
            "redCurrent": 7,
            "redPowerLevel": 50,
            "rtcGood": 0,
            "waterLink": 1
        })

    // "" while the shown values are live, otherwise the word that marks them
    // (untranslated; the page translates it).
    readonly property string liveState: ContentRules.liveStateText(Communication.connected,
                                                                    Communication.recordSinceOpen,
                                                                    Public.devOnline)

    visible: Public.windowVisible
    width: 1280
    height: 720
    minimumWidth: 1024
    minimumHeight: 700
    title: "Orrindel"
    color: Public.theme.bgColor

    Behavior on color {
        ColorAnimation {
            duration: Public.colorSwitchDuration
            easing.type: Easing.OutQuad
        }
    }

    // A click on an empty spot takes the focus, so an input being edited
    // commits or corrects its value.
    MouseArea {
        anchors.fill: parent
        onPressed: forceActiveFocus()
    }

    Sidebar {
        id: sidebar

        x: 0
        y: 0
        width: 320
        height: window.height
        msgBox: msgBox
        devInfo: window.devInfo
        liveText: content.liveText
        onMessageLine: content.insertMsg(text)
    }

    Content {
        id: content

        x: sidebar.width + 10
        y: 10
        width: window.width - x
        height: window.height - 20
        msgBox: msgBox
        devInfo: window.devInfo
        liveState: window.liveState
    }

    Model {
        id: msgBox

        anchors.fill: parent
    }

    Binding {
        target: Public
        property: "devOnline"
        value: Communication.deviceOnline
    }

    // The plant feed names alarms with the window's own texts.
    Binding {
        target: PlantFeed
        property: "alarmTable"
        value: Public.alarmTextTable
    }

    // The feed's state changes, one line each; settings it refused, once.
    Connections {
        target: PlantFeed

        function onConnectedToBroker(broker) {
            content.insertMsg(qsTr("工厂数据推送已连接: ") + broker)
        }

        function onInterrupted(reason) {
            content.insertMsg(qsTr("工厂数据推送中断: ") + reason)
        }
    }

    Component.onCompleted: {
        if (PlantFeed.settingProblem !== "")
            content.insertMsg(qsTr("工厂数据推送设置错误: ") + PlantFeed.settingProblem)
    }

    Connections {
        target: Communication

        function onDataReceived(rxObj) {
            window.devInfo = rxObj
        }

        // Each return to online asks once for the version, which also tells
        // whether the device has QCW mode.
        function onDeviceOnlineChanged() {
            if (Communication.deviceOnline)
                Communication.queryVersion()
            else
                Public.devQcwEnable = false
        }

        function onDeviceSilent(port) {
            content.insertMsg(qsTr("设备无响应: %1").arg(port))
        }

        function onDeviceRecovered(port) {
            content.insertMsg(qsTr("设备已恢复: %1").arg(port))
        }

        function onMsgReceived(msg) {
            var text = Public.msgKeywordToText(msg)
            content.insertMsg(text)
            PlantFeed.noteMessage(msg, text)
        }
    }
}
