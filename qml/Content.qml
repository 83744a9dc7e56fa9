import QtQuick 2.15
import CppSingletonClass 1.0
import OrrindelJournal 1.0
import "content_rules.js" as Rules

// The page right of the sidebar: the status card, the internal-control card
// and the message card in a column, and two chart slots beside them. Every
// status record lights the receive lamp, may refresh the internal-control
// inputs, feeds the charts and notes a change of the alarm word in the list.
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
        alarmCard.append(Rules.listLine(new Date(), msg))
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
        intCtrl.rearmSoon()
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
            var t = intCtrl.inputTexts()
            var a = Rules.onArguments(t.intDac, t.intPwmDuty, t.intPwmFreq, t.intLaserOnMs,
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

    function takeRecord(r) {
        infoCard.noteRecord(Communication.isOpen())
        intCtrl.capture(r)

        var samples = Rules.chartSamples(r)
        if (samples.optical !== null)
            opticalSlot.push(samples.optical, samples.temps)
        if (samples.pumps !== null)
            pumpSlot.push(samples.pumps, samples.power)

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
        property bool journalProblemShown: false
    }

    Connections {
        target: SessionJournal

        function onProblemChanged() {
            root.reportJournalProblem()
        }
    }

    // --- The column of cards, 400 wide and 20 apart -------------------------------

    StatusCard {
        id: infoCard

        objectName: "infoCard"
        anchors.left: parent.left
        anchors.top: parent.top
        width: 400
        height: Rules.infoCardHeight(root.height, infoCard.flowHeight)
        devInfo: root.devInfo
        liveText: root.liveText
    }

    IntCtrlCard {
        id: intCtrl

        objectName: "intCtrl"
        anchors.left: infoCard.left
        anchors.right: infoCard.right
        anchors.top: infoCard.bottom
        anchors.topMargin: 20
        height: 174
        deviceMode: root.devInfo ? root.devInfo.mode : undefined
        onCtrlModeRequested: root.setCtrlMode(internal)
        onLaserOnRequested: root.laserOn()
        onLaserOffRequested: root.laserOff()
    }

    MessageCard {
        id: alarmCard

        objectName: "alarmCard"
        anchors.left: infoCard.left
        anchors.right: infoCard.right
        anchors.top: intCtrl.bottom
        anchors.topMargin: 20
        height: Rules.alarmCardHeight(root.height, infoCard.height)
        onRefreshRequested: root.refreshInfo()
        // The operator looks at the curves around a line's moment.
        onLineChosen: {
            opticalSlot.lookAround(timeMs)
            pumpSlot.lookAround(timeMs)
        }
    }

    // --- Two chart slots right of the column, 20 apart ----------------------------

    // Slot 1: photodiode signals or temperatures.
    ChartSlot {
        id: opticalSlot

        anchors.left: infoCard.right
        anchors.leftMargin: 20
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.top: parent.top
        height: (root.height - 20) / 2
        msgBox: root.msgBox
        first: ({ "name": "chartPD", "title": qsTr("光感曲线"), "unit": "",
                  "titleIcon": "qrc:/res/icons/card_icon/lightIntensity.svg",
                  "series": [qsTr("光感") + "1", qsTr("光感") + "2"], "switchTip": qsTr("显示温度曲线") })
        second: ({ "name": "chartTemp", "title": qsTr("温度曲线"), "unit": "℃",
                   "titleIcon": "qrc:/res/icons/card_icon/temp.svg",
                   "series": [qsTr("环境温度"), qsTr("进水温度"), qsTr("出水温度")],
                   "switchTip": qsTr("显示光感曲线") })
    }

    // Slot 2: pump currents or modulation power.
    ChartSlot {
        id: pumpSlot

        anchors.left: opticalSlot.left
        anchors.right: opticalSlot.right
        anchors.top: opticalSlot.bottom
        anchors.topMargin: 20
        height: opticalSlot.height
        msgBox: root.msgBox
        first: ({ "name": "chartPump", "title": qsTr("泵浦电流曲线"), "unit": "A",
                  "titleIcon": "qrc:/res/icons/card_icon/current.svg",
                  "series": [qsTr("电流") + "1", qsTr("电流") + "2", qsTr("电流") + "3", qsTr("电流") + "4"],
                  "switchTip": qsTr("显示功率曲线") })
        second: ({ "name": "chartPower", "title": qsTr("激光功率曲线"), "unit": "W",
                   "titleIcon": "qrc:/res/icons/card_icon/power.svg", "series": [qsTr("调制功率")],
                   "switchTip": qsTr("显示电流曲线") })
    }

    Component.onCompleted: {
        insertMsg("Rev:" + QmlPublic.buildDateTime())
        reportJournalProblem()
        d.ready = true
    }
}
