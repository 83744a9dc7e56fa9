import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import CppSingletonClass 1.0
import "sidebar_rules.js" as Rules

// The advanced card: the alarm thresholds and the red-light level (behind an
// access code) and the QCW parameters, with Save, Reset and Refresh. The
// form shows a copy of the device's values: records arriving while the
// operator edits never move the controls.
// Its texts keep the sidebar's translation context: the catalogues and
// everything that reads them know them there.
Card {
    id: root

    property var msgBox: null
    property var devInfo: null
    // The advanced fields the form shows, captured from a record.
    property var devInfoShow: null
    property bool updateInfoFlag: true
    // The alarm form is locked at every start.
    property bool unlocked: false

    // The controls of the two pages, for the capture and for Save.
    readonly property Item redPowerLevel: alarmPage.redPowerLevel
    readonly property Item pdAlarmThes: alarmPage.pdAlarmThes
    readonly property Item pumpThes: alarmPage.pumpThes
    readonly property Item humiThes: alarmPage.humiThes
    readonly property Item inletWaterThes: alarmPage.inletWaterThes
    readonly property Item outletWaterThes: alarmPage.outletWaterThes
    readonly property Item advPassword: alarmPage.advPassword
    readonly property Item qcwDuty: qcwPage.qcwDuty
    readonly property Item qcwFreq: qcwPage.qcwFreq
    readonly property Item qcwEnable: qcwPage.qcwEnable

    objectName: "advanceCard"
    width: 300
    title: qsTranslate("Sidebar", "高级设置")
    titleIcon: "qrc:/res/icons/card_icon/advanced.svg"
    headerInset: 116 // lock, reload, save

    QtObject {
        id: d

        // Values present while the document is created are the window's
        // stand-ins, not a device record: the capture stays armed for the
        // device's first record.
        property bool completed: false
    }

    onDevInfoChanged: {
        if (!d.completed || !devInfo)
            return
        if (Rules.captureWanted(updateInfoFlag, devInfoShow)) {
            updateInfoFlag = false
            devInfoShow = Rules.captureAdvanced(devInfo)
        }
    }

    onDevInfoShowChanged: showAdvanced()

    Component.onCompleted: {
        showAdvanced()
        d.completed = true
    }

    function showMsg(text, type, cb) {
        if (root.msgBox)
            root.msgBox.showMsg(text, type, cb)
    }

    function field(name) {
        return root.devInfoShow ? root.devInfoShow[name] : undefined
    }

    // Puts the held values into every control of the advanced card. Each
    // value is the device's again until the operator moves its control.
    function showAdvanced() {
        redPowerLevel.value = Rules.sliderValue(field("redPowerLevel"), redPowerLevel.from, redPowerLevel.to)
        pdAlarmThes.value = Rules.sliderValue(field("pdAlarmThes"), pdAlarmThes.from, pdAlarmThes.to)
        pumpThes.value = Rules.sliderValue(field("pumpCurrentAlarmThes"), pumpThes.from, pumpThes.to)
        humiThes.value = Rules.sliderValue(field("humiHigh"), humiThes.from, humiThes.to)
        var inlet = Rules.windowValues(field("inletWaterTempLow"), field("inletWaterTempHigh"),
                                       inletWaterThes.from, inletWaterThes.to)
        inletWaterThes.setValues(inlet[0], inlet[1])
        var outlet = Rules.windowValues(field("outletWaterTempLow"), field("outletWaterTempHigh"),
                                        outletWaterThes.from, outletWaterThes.to)
        outletWaterThes.setValues(outlet[0], outlet[1])
        redPowerLevel.touched = pdAlarmThes.touched = pumpThes.touched = humiThes.touched = false
        inletWaterThes.firstTouched = inletWaterThes.secondTouched = false
        outletWaterThes.firstTouched = outletWaterThes.secondTouched = false
        showQcwDuty()
        showQcwFreq()
        qcwEnable.checked = !!field("qcwEnable")
    }

    function showQcwDuty() {
        qcwDuty.value = Rules.inputText(field("qcwDuty"), qcwDuty.min)
    }

    function showQcwFreq() {
        qcwFreq.value = Rules.inputText(field("qcwFreq"), qcwFreq.min)
    }

    function delayReloadInfo() {
        reloadTimer.restart()
    }

    function tryUnlock(text) {
        if (Rules.accessCodeAccepted(text))
            unlocked = true
        else
            showMsg(qsTranslate("Sidebar", "密码错误"), "error")
    }

    function lock() {
        advPassword.text = ""
        lockTimer.restart()
    }

    function saveStep() {
        if (!Communication.isOpen()) {
            showMsg(qsTranslate("Sidebar", "请连接设备"))
            return
        }
        // The QCW texts and the switch hold the device's values until edited.
        var a = Rules.advancedParamArgs({
            "qcwDuty": qcwDuty.value,
            "qcwFreq": qcwFreq.value,
            "qcwEnable": qcwEnable.checked,
            "redPowerLevel": Rules.valueToSend("redPowerLevel", devInfoShow, redPowerLevel.value,
                                               redPowerLevel.touched),
            "pdAlarmThes": Rules.valueToSend("pdAlarmThes", devInfoShow, pdAlarmThes.value, pdAlarmThes.touched),
            "humiThes": Rules.valueToSend("humiHigh", devInfoShow, humiThes.value, humiThes.touched),
            "pumpThes": Rules.valueToSend("pumpCurrentAlarmThes", devInfoShow, pumpThes.value, pumpThes.touched),
            "inTempLow": Rules.valueToSend("inletWaterTempLow", devInfoShow, inletWaterThes.first.value,
                                           inletWaterThes.firstTouched),
            "inTempHigh": Rules.valueToSend("inletWaterTempHigh", devInfoShow, inletWaterThes.second.value,
                                            inletWaterThes.secondTouched),
            "outTempLow": Rules.valueToSend("outletWaterTempLow", devInfoShow, outletWaterThes.first.value,
                                            outletWaterThes.firstTouched),
            "outTempHigh": Rules.valueToSend("outletWaterTempHigh", devInfoShow, outletWaterThes.second.value,
                                             outletWaterThes.secondTouched)
        })
        if (a === null)
            return
        Communication.setAdvancedParam(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10])
        delayReloadInfo()
    }

    function save() {
        // An input still being edited commits or corrects its text first.
        root.forceActiveFocus()
        if (!Communication.isOpen()) {
            showMsg(qsTranslate("Sidebar", "请连接设备"))
            return
        }
        if (root.devInfo && root.devInfo.laserOutputting)
            showMsg(qsTranslate("Sidebar", "您正在出光时修改参数,按确定继续") + "!", "confirm", function () { root.saveStep() })
        else
            saveStep()
    }

    function resetParams() {
        if (!Communication.isOpen()) {
            showMsg(qsTranslate("Sidebar", "请连接设备"))
            return
        }
        showMsg(qsTranslate("Sidebar", "确定要重置参数吗") + "?", "confirm", function () {
            if (!Communication.isOpen()) {
                root.showMsg(qsTranslate("Sidebar", "请连接设备"))
                return
            }
            Communication.resetParam()
            resetReloadTimer.restart()
        })
    }

    // A record shortly after a command carries its effect: capture that one.
    Timer {
        id: reloadTimer

        interval: 600
        onTriggered: root.updateInfoFlag = true
    }

    Timer {
        id: resetReloadTimer

        interval: 400
        onTriggered: root.delayReloadInfo()
    }

    Timer {
        id: lockTimer

        interval: 50
        onTriggered: root.unlocked = false
    }

    IconButton {
        objectName: "lockBtn"
        width: 28
        height: 28
        y: 6
        anchors.right: parent.right
        anchors.rightMargin: 88
        btnIcon: "qrc:/res/icons/suoding.svg"
        tipText: qsTranslate("Sidebar", "锁定")
        onClicked: root.lock()
    }

    IconButton {
        id: reloadBtn

        objectName: "reloadBtn"
        width: 28
        height: 28
        y: 6
        anchors.right: parent.right
        anchors.rightMargin: 52
        btnIcon: "qrc:/res/icons/shuaxin.svg"
        tipText: qsTranslate("Sidebar", "刷新")
        onClicked: {
            root.updateInfoFlag = true
            reloadBtn.rotate360()
        }
    }

    IconButton {
        objectName: "saveBtn"
        width: 28
        height: 28
        y: 6
        anchors.right: parent.right
        anchors.rightMargin: 16
        onClicked: root.save()
    }

    TabBar {
        id: tabBar

        objectName: "tabBar"
        y: 48
        width: parent.width - 32
        anchors.horizontalCenter: parent.horizontalCenter
        contentHeight: 32
        background: Item {}

        MyTabButton {
            text: qsTranslate("Sidebar", "报警参数")
            font.pixelSize: 16
        }

        MyTabButton {
            text: qsTranslate("Sidebar", "QCW参数")
            font.pixelSize: 16
        }
    }

    StackLayout {
        id: pages

        y: tabBar.y + tabBar.height + 12
        width: parent.width
        height: Math.max(0, parent.height - 96)
        currentIndex: tabBar.currentIndex

        AlarmParamsPage {
            id: alarmPage

            form: root
        }

        QcwParamsPage {
            id: qcwPage

            form: root
        }
    }
}
