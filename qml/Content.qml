import QtQuick 2.15
import QtQuick.Controls 2.15
import CppSingletonClass 1.0
import OrrindelJournal 1.0
import "content_rules.js" as Rules

// The page right of the sidebar: the status card, the internal-control card,
// the message list and the four charts in two slots. Every status record
// lights the receive lamp, may refresh the internal-control inputs, feeds the
// charts and notes a change of the alarm word in the list.
Item {
    id: root

    property var msgBox: null
    property var devInfo: null
    // The alarm word of the previous record; null until the first record.
    property var prevAlarmState: null
    // The word (untranslated, see Rules.liveStateText) that marks the status
    // values as not live; empty while they are.
    property string liveState: ""
    readonly property string liveText: root.tr(liveState)

    // Appends one time-stamped line to the message list.
    function insertMsg(msg) {
        msgLines.append(Rules.listLine(new Date(), msg))
        alarmListView.positionViewAtEnd()
    }

    // A session journal that cannot be used is told once, as a line of the
    // list; the list and the charts run on without it.
    function reportJournalProblem() {
        if (d.journalProblemShown || SessionJournal.problem === "")
            return
        d.journalProblemShown = true
        insertMsg(qsTr("会话记录不可用: ") + SessionJournal.problem)
    }

    // Runs cb only with the port open; otherwise asks for a connection.
    function commCheck(cb) {
        if (!Communication.isOpen()) {
            if (root.msgBox)
                root.msgBox.showMsg(qsTr("请连接设备"))
            return
        }
        cb()
    }

    // Re-arms the capture once the device has had time to apply a command,
    // so that the inputs show what it took.
    function delayReloadInfo() {
        reloadTimer.restart()
    }

    // Translates a text marked in the rules library, in this page's context.
    function tr(text) {
        return qsTr(text)
    }

    function setCtrlMode(internal) {
        commCheck(function () {
            Communication.setCtrlMod(internal)
            delayReloadInfo()
        })
    }

    function laserOn() {
        commCheck(function () {
            var a = Rules.onArguments(intDac.value, intDuty.value, intFreq.value, intLaserOnMs.value,
                                      intCtrl.continuousMode)
            Communication.setIntCtrlParam(a.power, a.duty, a.freq, a.openMs)
            Communication.setLaserState(true)
            delayReloadInfo()
        })
    }

    function laserOff() {
        commCheck(function () {
            Communication.setLaserState(false)
            delayReloadInfo()
        })
    }

    // The alarm line of the present word, then the version and running
    // times, whose answers arrive as messages.
    function refreshInfo() {
        var word = Rules.alarmWord(root.devInfo ? root.devInfo.alarmState : undefined)
        insertMsg(Rules.refreshLine(word, Public.getAlarmMsg(word)))
        Communication.queryVersion()
        Communication.queryUseTime()
    }

    // An input left with an illegal value shows the device's value again.
    function rebindInput(input, key) {
        input.value = Qt.binding(function () {
            return Rules.inputText(intCtrl.intCtrlParam[key], input.min)
        })
    }

    function takeRecord(r) {
        // Lit for 250 ms by a record that finds it dark; later records do
        // not extend it.
        ledTimer.running = Communication.isOpen()

        if (Rules.captureDue(intCtrl.updateInfoFlag, r)) {
            intCtrl.intCtrlParam = Rules.capturedParams(r, intCtrl.intCtrlParam)
            intCtrl.updateInfoFlag = false
        }

        var samples = Rules.chartSamples(r)
        if (samples.optical !== null) {
            chartPD.autoPush(samples.optical)
            chartTemp.autoPush(samples.temps)
        }
        if (samples.pumps !== null) {
            chartPump.autoPush(samples.pumps)
            chartPower.autoPush(samples.power)
        }

        if (Rules.alarmChangeDue(root.prevAlarmState, r.alarmState)) {
            var word = Rules.alarmWord(r.alarmState)
            insertMsg(Rules.alarmChangeLine(root.prevAlarmState, word, Public.getAlarmMsg(word)))
        }
        root.prevAlarmState = Rules.alarmWord(r.alarmState)
    }

    // The window's stand-in record, bound before completion, is not a
    // device record: the captures stay armed for the first real one.
    onDevInfoChanged: {
        if (d.ready && root.devInfo)
            takeRecord(root.devInfo)
    }

    QtObject {
        id: d

        property bool ready: false
        // Which chart of each slot is shown.
        property bool showOptical: true
        property bool showPump: true
        property bool journalProblemShown: false
    }

    Connections {
        target: SessionJournal

        function onProblemChanged() {
            root.reportJournalProblem()
        }
    }

    Timer {
        id: ledTimer

        interval: 250
        repeat: false
    }

    Timer {
        id: reloadTimer

        interval: 600
        repeat: false
        onTriggered: intCtrl.updateInfoFlag = true
    }

    Card {
        id: infoCard

        objectName: "infoCard"
        x: 0
        y: 0
        width: 400
        height: Rules.infoCardHeight(root.height, itemFlow.height)
        title: qsTr("设备信息")
        titleIcon: "qrc:/res/icons/card_icon/devInfo.svg"
        // The receive lamp, and the live-state word while it is shown.
        headerInset: liveWord.visible ? width - liveWord.x : 40

        // Shown where the eye goes for the lamp: the values below are not
        // live. As large as the title, so it stays readable in both themes.
        Text {
            id: liveWord

            objectName: "liveWord"
            anchors.right: rxLed.left
            anchors.rightMargin: 8
            y: 4
            height: 32
            visible: text !== ""
            text: root.liveText
            textFormat: Text.PlainText
            verticalAlignment: Text.AlignVCenter
            font.pixelSize: 20
            font.bold: true
            color: Public.theme.warningColor
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.description: text
        }

        MyLed {
            id: rxLed

            objectName: "rxLed"
            anchors.right: parent.right
            anchors.rightMargin: 16
            y: 12
            radius: 8
            title: ""
            onText: ""
            offText: ""
            disableText: ""
            onColor: "#00c957"
            ledState: true
            ledEnabled: ledTimer.running
            Accessible.name: qsTr("接收指示")
        }

        Flickable {
            id: infoArea

            objectName: "infoArea"
            readonly property bool scrolls: infoCard.height < itemFlow.height + 50
            readonly property real cellWidth: Rules.cellWidth(infoCard.width, width)
            readonly property int columns: Rules.columnCount(width, cellWidth)
            property Item lastItem: null

            y: 36
            width: parent.width
            height: Math.max(0, parent.height - 36)
            clip: true
            interactive: scrolls
            boundsBehavior: Flickable.StopAtBounds
            contentWidth: width
            contentHeight: lastItem ? lastItem.y + 64 : 0

            ScrollBar.vertical: ScrollBar {
                policy: infoArea.scrolls ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }

            Flow {
                id: itemFlow

                width: infoArea.width
                spacing: 2
                leftPadding: Rules.flowLeftPadding(infoArea.width, infoArea.cellWidth, infoArea.columns)

                move: Transition {
                    NumberAnimation {
                        properties: "x,y"
                        duration: 250
                    }
                }

                Repeater {
                    model: Rules.statusItems.length

                    ParamInfo {
                        id: statusItem

                        readonly property var rule: Rules.statusItems[index]

                        // The last item spans two cells; its place sets the
                        // scrollable height.
                        width: rule.wide ? Rules.wideCellWidth(infoArea.cellWidth, infoArea.columns)
                                         : infoArea.cellWidth
                        height: 52
                        title: qsTr(rule.title)
                        unit: rule.unit
                        values: Rules.itemValue(index, root.devInfo, root.tr)
                        textColor: rule.tone === "identity" ? Public.theme.paramNormalColor
                                                            : Public.theme.paramGoodColor
                        alarm: Rules.itemAlarm(index, root.devInfo)
                        alarmColor: Rules.itemAlarmColor(index, root.devInfo)
                        stale: root.liveText !== ""
                        Accessible.description: Rules.valueDescription(texts, root.liveText)
                        Component.onCompleted: {
                            if (index === Rules.statusItems.length - 1)
                                infoArea.lastItem = statusItem
                        }
                    }
                }
            }
        }
    }

    Card {
        id: intCtrl

        objectName: "intCtrl"
        // The next record with a non-zero peak power is copied into the inputs.
        property bool updateInfoFlag: true
        property var intCtrlParam: ({
                "intDac": 20,
                "intPwmDuty": 20,
                "intPwmFreq": 1000,
                "intLaserOnMs": 1000
            })
        property bool continuousMode: false

        x: 0
        y: infoCard.height + 20
        width: 400
        height: 174
        title: qsTr("激光内控")
        titleIcon: "qrc:/res/icons/card_icon/intControl.svg"
        headerInset: 150 // four buttons
        bgColor: Public.theme.intCtrlCardColor
        titleColor: Public.theme.intCtrlCardTextColor

        Row {
            anchors.right: parent.right
            anchors.rightMargin: 14
            y: 6
            spacing: 8
            layoutDirection: Qt.RightToLeft

            IconButton {
                id: intRefreshBtn

                objectName: "intRefreshBtn"
                width: 28
                height: 28
                btnIcon: "qrc:/res/icons/shuaxin.svg"
                tipText: qsTr("刷新")
                onClicked: {
                    intCtrl.updateInfoFlag = true
                    rotate360()
                }
            }

            IconButton {
                id: continueBtn

                objectName: "continueBtn"
                width: 28
                height: 28
                btnIcon: "qrc:/res/icons/chixu.svg"
                tipText: qsTr("持续出光模式")
                iconColor: intCtrl.continuousMode ? "#0CAEC7" : Public.theme.btnIconColor
                Accessible.checkable: true
                Accessible.checked: intCtrl.continuousMode
                onClicked: intCtrl.continuousMode = !intCtrl.continuousMode
            }

            IconButton {
                objectName: "externalBtn"
                width: 28
                height: 28
                btnIcon: "qrc:/res/icons/daochu.svg"
                tipText: qsTr("外控")
                iconColor: root.devInfo && root.devInfo.mode === 0 ? "#0CAEC7" : Public.theme.btnIconColor
                onClicked: root.setCtrlMode(false)
            }

            IconButton {
                objectName: "internalBtn"
                width: 28
                height: 28
                btnIcon: "qrc:/res/icons/daoru.svg"
                tipText: qsTr("内控")
                iconColor: root.devInfo && root.devInfo.mode === 1 ? "#0CAEC7" : Public.theme.btnIconColor
                onClicked: root.setCtrlMode(true)
            }
        }

        NumParamInput {
            id: intFreq

            objectName: "intFreq"
            x: 10
            y: 36
            width: 140
            dir: "col"
            type: "int"
            min: 1
            max: 10000
            title: qsTr("频率") + "(Hz):"
            errorTip: qsTr("错误:参数范围") + " 1~10000"
            titleColor: Public.theme.intCtrlCardTextColor
            value: Rules.inputText(intCtrl.intCtrlParam.intPwmFreq, min)
            onCorrectIllegalValue: root.rebindInput(intFreq, "intPwmFreq")
        }

        NumParamInput {
            id: intDuty

            objectName: "intDuty"
            x: 160
            y: 36
            width: 140
            dir: "col"
            type: "int"
            min: 0
            max: 100
            title: qsTr("占空比") + "(%):"
            errorTip: qsTr("错误:参数范围") + " 0~100"
            titleColor: Public.theme.intCtrlCardTextColor
            value: Rules.inputText(intCtrl.intCtrlParam.intPwmDuty, min)
            onCorrectIllegalValue: root.rebindInput(intDuty, "intPwmDuty")
        }

        NumParamInput {
            id: intDac

            objectName: "intDac"
            x: 10
            y: 104
            width: 140
            dir: "col"
            type: "int"
            min: 0
            max: 100
            title: qsTr("峰值功率") + "(%):"
            errorTip: qsTr("错误:参数范围") + " 0~100"
            titleColor: Public.theme.intCtrlCardTextColor
            value: Rules.inputText(intCtrl.intCtrlParam.intDac, min)
            onCorrectIllegalValue: root.rebindInput(intDac, "intDac")
        }

        NumParamInput {
            id: intLaserOnMs

            objectName: "intLaserOnMs"
            x: 160
            y: 104
            width: 140
            dir: "col"
            type: "int"
            min: 1
            max: 60000
            // Continuous emission ignores the on-time.
            enabled: !intCtrl.continuousMode
            title: qsTr("出光时间") + "(mS):"
            errorTip: qsTr("错误:参数范围") + " 1~60000"
            titleColor: Public.theme.intCtrlCardTextColor
            value: Rules.inputText(intCtrl.intCtrlParam.intLaserOnMs, min)
            onCorrectIllegalValue: root.rebindInput(intLaserOnMs, "intLaserOnMs")
        }

        TxtButton {
            objectName: "onBtn"
            x: 314
            y: 56
            width: 74
            text: qsTr("出光")
            onClicked: root.laserOn()
        }

        TxtButton {
            objectName: "offBtn"
            x: 314
            y: 124
            width: 74
            text: qsTr("关光")
            onClicked: root.laserOff()
        }
    }

    Card {
        id: alarmCard

        objectName: "alarmCard"
        x: 0
        y: intCtrl.y + intCtrl.height + 20
        width: 400
        height: Rules.alarmCardHeight(root.height, infoCard.height)
        title: qsTr("运行信息")
        titleIcon: "qrc:/res/icons/card_icon/alarm.svg"
        headerInset: 78 // two buttons

        Row {
            anchors.right: parent.right
            anchors.rightMargin: 14
            y: 6
            spacing: 8
            layoutDirection: Qt.RightToLeft

            IconButton {
                objectName: "clearBtn"
                width: 28
                height: 28
                btnIcon: "qrc:/res/icons/clear.svg"
                tipText: qsTr("清空")
                onClicked: msgLines.clear()
            }

            IconButton {
                objectName: "msgRefreshBtn"
                width: 28
                height: 28
                btnIcon: "qrc:/res/icons/shuaxin.svg"
                tipText: qsTr("刷新")
                onClicked: root.refreshInfo()
            }
        }

        // The list keeps every line; the view creates only the visible ones,
        // so it stays quick however long the program runs.
        ListView {
            id: alarmListView

            objectName: "alarmListView"
            x: 8
            y: 40
            width: parent.width - 16
            height: Math.max(0, parent.height - 48)
            clip: true
            spacing: 4
            reuseItems: true
            boundsBehavior: Flickable.StopAtBounds
            // The lines survive a restart through the session journal; after
            // one, the earlier lines come first, then a line that marks it.
            model: MessageLog {
                id: msgLines

                journalKey: "messages"
                resumeLine: Rules.listLine(new Date(), qsTr("—— 程序重新启动 ——"))
                onLoaded: alarmListView.positionViewAtEnd()
            }

            Accessible.role: Accessible.List
            Accessible.name: qsTr("运行信息")

            delegate: Text {
                width: alarmListView.width - 8
                text: model.line
                // Device text: never interpreted as markup.
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.pixelSize: 16
                color: Public.theme.textMainColor
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            ScrollBar.vertical: ScrollBar {
                policy: alarmListView.contentHeight > alarmListView.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }
        }
    }

    // Slot 1: photodiode signals or temperatures.
    NormalChart {
        id: chartPD

        objectName: "chartPD"
        journalKey: "chartPD"
        x: 420
        y: 0
        width: root.width - 430
        height: (root.height - 20) / 2
        visible: d.showOptical
        msgBox: root.msgBox
        title: qsTr("光感曲线")
        titleIcon: "qrc:/res/icons/card_icon/lightIntensity.svg"
        seriesList: [{ "name": qsTr("光感") + "1" }, { "name": qsTr("光感") + "2" }]

        IconButton {
            objectName: "switchBtn"
            anchors.right: parent.right
            anchors.rightMargin: 88
            y: 6
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/qiehuan.svg"
            tipText: qsTr("显示温度曲线")
            onClicked: d.showOptical = false
        }
    }

    NormalChart {
        id: chartTemp

        objectName: "chartTemp"
        journalKey: "chartTemp"
        x: chartPD.x
        y: chartPD.y
        width: chartPD.width
        height: chartPD.height
        visible: !d.showOptical
        msgBox: root.msgBox
        title: qsTr("温度曲线")
        titleIcon: "qrc:/res/icons/card_icon/temp.svg"
        unit: "℃"
        seriesList: [{ "name": qsTr("环境温度") }, { "name": qsTr("进水温度") }, { "name": qsTr("出水温度") }]

        IconButton {
            objectName: "switchBtn"
            anchors.right: parent.right
            anchors.rightMargin: 88
            y: 6
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/qiehuan.svg"
            tipText: qsTr("显示光感曲线")
            onClicked: d.showOptical = true
        }
    }

    // Slot 2: pump currents or modulation power.
    NormalChart {
        id: chartPump

        objectName: "chartPump"
        journalKey: "chartPump"
        x: 420
        y: chartPD.height + 20
        width: chartPD.width
        height: chartPD.height
        visible: d.showPump
        msgBox: root.msgBox
        title: qsTr("泵浦电流曲线")
        titleIcon: "qrc:/res/icons/card_icon/current.svg"
        unit: "A"
        seriesList: [
            { "name": qsTr("电流") + "1" },
            { "name": qsTr("电流") + "2" },
            { "name": qsTr("电流") + "3" },
            { "name": qsTr("电流") + "4" }
        ]

        IconButton {
            objectName: "switchBtn"
            anchors.right: parent.right
            anchors.rightMargin: 88
            y: 6
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/qiehuan.svg"
            tipText: qsTr("显示功率曲线")
            onClicked: d.showPump = false
        }
    }

    NormalChart {
        id: chartPower

        objectName: "chartPower"
        journalKey: "chartPower"
        x: chartPump.x
        y: chartPump.y
        width: chartPump.width
        height: chartPump.height
        visible: !d.showPump
        msgBox: root.msgBox
        title: qsTr("激光功率曲线")
        titleIcon: "qrc:/res/icons/card_icon/power.svg"
        unit: "W"
        seriesList: [{ "name": qsTr("调制功率") }]

        IconButton {
            objectName: "switchBtn"
            anchors.right: parent.right
            anchors.rightMargin: 88
            y: 6
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/qiehuan.svg"
            tipText: qsTr("显示电流曲线")
            onClicked: d.showPump = true
        }
    }

    Component.onCompleted: {
        insertMsg("Rev:" + QmlPublic.buildDateTime())
        reportJournalProblem()
        d.ready = true
    }
}
