import QtQuick 2.15
import QtTest 1.2
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// The power panel and the advanced card against the controller simulator:
// the capture of the device's values, the access code, the QCW texts, Save
// and Reset with their questions, and what reaches the device.
Item {
    id: scene

    width: 1280
    height: 720

    property double flagRaisedAt: 0

    Sidebar {
        id: sidebar

        width: 320
        height: scene.height
        msgBox: box
        onUpdateInfoFlagChanged: if (updateInfoFlag) scene.flagRaisedAt = Date.now()
    }

    Model {
        id: box

        anchors.fill: parent
    }

    SimPeer {
        id: sim
    }

    // What the main window does with each record.
    Connections {
        target: Communication

        function onDataReceived(rxObj) {
            sidebar.devInfo = rxObj
        }
    }

    TestCase {
        id: test

        name: "SidebarAdvanced"
        when: windowShown

        function item(name) {
            var found = findChild(sidebar, name)
            verify(found, name)
            return found
        }

        function click(name) {
            mouseClick(item(name))
        }

        // Answers the message box once it has popped in.
        function answer(name) {
            var button = findChild(box, name)
            verify(button, name)
            verify(button.visible, name)
            tryCompare(findChild(box, "msgCard"), "scale", 1.0, 1000)
            mouseClick(button)
            verify(!box.visible)
        }

        function textInputOf(numParam) {
            var myInput = findChild(numParam, "input")
            var inner = findChild(myInput, "input")
            return inner ? inner : myInput
        }

        function sent(name) {
            return sim.commands().filter(function (c) { return c.name === name })
        }

        function connectSim() {
            sidebar.updateInfoFlag = true
            sim.setExtraPorts([sim.port])
            click("refreshBtn")
            click("connectBtn")
            verify(Communication.isOpen())
            tryVerify(function () { return sidebar.devInfoShow && !sidebar.updateInfoFlag }, 3000, "captured")
        }

        // External control with the DB25 gate: the device emits while it is on.
        function setEmitting(on) {
            sim.console("mode external")
            sim.console(on ? "gate on" : "gate off")
            tryVerify(function () { return !!sidebar.devInfo.laserOutputting === on }, 3000)
        }

        function unlock() {
            item("advPassword").text = "52074913"
            click("unlockBtn")
            verify(item("paramRect").visible)
        }

        function showPage(index) {
            var bar = item("tabBar")
            mouseClick(bar.itemAt(index))
            compare(bar.currentIndex, index)
        }

        function initTestCase() {
            verify(sim.start(["--period", "200", "--mode", "external", "--analog", "40", "--gate",
                              "--max-power", "1234"]) !== "")
        }

        function cleanupTestCase() {
            Communication.close()
            sim.stop()
            sim.setExtraPorts([])
            Public.devQcwEnable = false
        }

        function init() {
            box.visible = false
        }

        function cleanup() {
            box.visible = false
            if (Communication.isOpen())
                click("connectBtn")
            if (item("paramRect").visible) {
                click("lockBtn")
                tryVerify(function () { return !item("paramRect").visible }, 1000)
            }
            Public.devQcwEnable = false
            showPage(0)
        }

        // --- Before any record ---

        function test_1_startsLockedWithStandInValues() {
            verify(!item("paramRect").visible)
            verify(item("lockOverlay").visible)
            var password = item("advPassword")
            compare(password.echoMode, TextInput.Password)
            compare(password.maximumLength, 10)
            compare(password.Accessible.name, "输入密码解锁")
            // No record yet: every control sits at its end.
            compare(item("redPowerLevel").value, 0)
            compare(item("inletWaterThes").first.value, 10)
            compare(item("inletWaterThes").second.value, 50)
            compare(item("qcwDuty").value, "0")
            compare(item("qcwFreq").value, "1")
            compare(item("powerValue").text, "0")
            compare(item("powerValue").Accessible.name, "功率 0")
        }

        function test_accessCode_data() {
            return [
                { tag: "the code", text: "52074913", viaButton: false, ok: true },
                { tag: "the code by OK", text: "52074913", viaButton: true, ok: true },
                { tag: "trailing space", text: "52074913 ", viaButton: false, ok: false },
                { tag: "trailing space by OK", text: "52074913 ", viaButton: true, ok: false },
                { tag: "leading zero", text: "052074913", viaButton: false, ok: false },
                { tag: "empty", text: "", viaButton: true, ok: false }
            ]
        }

        function test_accessCode(data) {
            var password = item("advPassword")
            password.text = data.text
            if (data.viaButton) {
                click("unlockBtn")
            } else {
                textInputOf(password).forceActiveFocus()
                keyClick(Qt.Key_Return)
            }
            compare(item("paramRect").visible, data.ok)
            compare(item("lockOverlay").visible, !data.ok)
            compare(box.visible, !data.ok)
            if (!data.ok) {
                compare(box.titleText, "警告")
                compare(box.msg, "密码错误")
            }
        }

        function test_lockHidesTheFormAgain() {
            unlock()
            click("lockBtn")
            compare(item("advPassword").text, "", "the code is emptied at once")
            tryVerify(function () { return !item("paramRect").visible }, 500)
            verify(item("lockOverlay").visible)
        }

        function test_pulseTexts_data() {
            return [
                { tag: "50% at 1 kHz", duty: "50", freq: "1000", width: "脉宽:  500.00uS", period: "周期:    1.00mS" },
                { tag: "100% at 1 Hz", duty: "100", freq: "1", width: "脉宽:     1.00S", period: "周期:     1.00S" },
                { tag: "duty 0", duty: "0", freq: "2000", width: "脉宽:    0.00uS", period: "周期:  500.00uS" },
                { tag: "duty being typed past 100", duty: "150", freq: "1000", width: "脉宽:", period: "周期:" },
                { tag: "frequency emptied", duty: "50", freq: "", width: "脉宽:", period: "周期:" }
            ]
        }

        function test_pulseTexts(data) {
            showPage(1)
            item("qcwDuty").value = data.duty
            item("qcwFreq").value = data.freq
            compare(item("pulseWidthText").text, data.width)
            compare(item("periodText").text, data.period)
            compare(item("pulseWidthText").Accessible.name, data.width)
        }

        function test_qcwControlsFollowTheCapability() {
            showPage(1)
            Public.devQcwEnable = false
            verify(!item("qcwDuty").enabled)
            verify(!item("qcwFreq").enabled)
            verify(!item("qcwEnable").enabled)
            item("qcwDuty").value = "20"
            item("qcwFreq").value = "100"
            compare(item("pulseWidthText").text, "脉宽:    2.00mS", "the texts still follow")
            Public.devQcwEnable = true
            verify(item("qcwDuty").enabled)
            verify(item("qcwFreq").enabled)
            verify(item("qcwEnable").enabled)
        }

        function test_commandsNeedAConnection() {
            var before = sim.commands().length
            click("saveBtn")
            verify(box.visible)
            compare(box.msg, "请连接设备")
            compare(box.titleText, "提示")
            box.visible = false
            unlock()
            click("resetParamBtn")
            compare(box.msg, "请连接设备")
            compare(box.cancelShown, false)
            wait(300)
            compare(sim.commands().length, before)
        }

        // --- With the device ---

        function test_powerFromTheDevice() {
            connectSim()
            setEmitting(true)
            // 1234 W rated, 40 % on the DB25 input: 493.6 W, shown whole.
            tryCompare(item("powerValue"), "text", "493", 2000)
            compare(sidebar.nowPower, 493)
            compare(item("powerValue").Accessible.name, "功率 493")
        }

        function test_captureShowsTheDevicesValues() {
            connectSim()
            var shown = sidebar.devInfoShow
            compare(Object.keys(shown).length, 11)
            // The simulator's factory values.
            compare(item("redPowerLevel").value, 50)
            compare(item("pdAlarmThes").value, 30)
            compare(item("pumpThes").value, 10)
            compare(item("pumpThes").tipText, "1.0A")
            compare(item("humiThes").value, 80)
            compare(item("inletWaterThes").first.value, 15)
            compare(item("inletWaterThes").second.value, 35)
            compare(item("outletWaterThes").first.value, 15)
            compare(item("outletWaterThes").second.value, 40)
            compare(item("qcwDuty").value, "50")
            compare(item("qcwFreq").value, "1000")
            compare(item("qcwEnable").checked, false)
        }

        function test_recordsDoNotMoveTheFormUntilRefresh() {
            connectSim()
            unlock()
            item("redPowerLevel").value = 20
            item("inletWaterThes").setValues(11, 44)
            wait(800)
            compare(item("redPowerLevel").value, 20)
            compare(item("inletWaterThes").second.value, 44)
            click("reloadBtn")
            tryCompare(item("redPowerLevel"), "value", 50, 1500)
            compare(item("inletWaterThes").first.value, 15)
            compare(item("inletWaterThes").second.value, 35)
        }

        function test_illegalQcwEntryReturnsToTheDeviceValue() {
            connectSim()
            showPage(1)
            Public.devQcwEnable = true
            var duty = item("qcwDuty")
            textInputOf(duty).forceActiveFocus()
            duty.value = "150"
            // Focus elsewhere: corrected, then back to the held device value.
            sidebar.forceActiveFocus()
            compare(duty.value, "50")
        }

        function test_saveWhileEmittingAsksAndCancelSendsNothing() {
            connectSim()
            setEmitting(true)
            var before = sent("setAdvancedParam").length
            click("saveBtn")
            verify(box.visible)
            compare(box.titleText, "确认操作")
            compare(box.msg, "您正在出光时修改参数,按确定继续!")
            answer("cancelButton")
            wait(700)
            compare(sent("setAdvancedParam").length, before)
            verify(!sidebar.updateInfoFlag, "nothing saved, nothing to re-capture")
        }

        function test_saveSendsTheElevenValuesInOrder() {
            connectSim()
            setEmitting(true)
            unlock()
            showPage(1)
            Public.devQcwEnable = true
            item("qcwDuty").value = "55"
            item("qcwFreq").value = "2345"
            item("qcwEnable").checked = true
            item("redPowerLevel").value = 61
            item("pdAlarmThes").value = 42
            item("humiThes").value = 73
            item("pumpThes").value = 24
            item("inletWaterThes").setValues(12, 38)
            item("outletWaterThes").setValues(17, 44)
            var before = sent("setAdvancedParam").length
            click("saveBtn")
            compare(box.titleText, "确认操作")
            answer("okButton")
            tryVerify(function () { return sent("setAdvancedParam").length === before + 1 }, 2000)
            var command = sent("setAdvancedParam")[before]
            verify(command.ok)
            compare(command.args, {
                "qcwDuty": 55, "qcwFreq": 2345, "qcwEnable": true, "redLevel": 61, "pdThes": 42,
                "humiThes": 73, "pumpThes": 24, "inTempLow": 12, "inTempHigh": 38,
                "outTempLow": 17, "outTempHigh": 44
            })
            // 600 ms later the form takes the device's answer.
            tryVerify(function () { return sidebar.devInfoShow.redPowerLevel === 61 }, 2000)
            compare(sidebar.devInfoShow.outletWaterTempHigh, 44)
            compare(sidebar.devInfoShow.qcwFreq, 2345)
            compare(item("humiThes").value, 73)
        }

        function test_saveWithoutEmissionSendsAtOnce() {
            connectSim()
            setEmitting(false)
            var before = sent("setAdvancedParam").length
            click("saveBtn")
            verify(!box.visible, "no question")
            tryVerify(function () { return sent("setAdvancedParam").length === before + 1 }, 2000)
            // The form was locked: the alarm values are the device's own.
            var args = sent("setAdvancedParam")[before].args
            compare(args.redLevel, sidebar.devInfoShow.redPowerLevel)
            compare(args.inTempHigh, sidebar.devInfoShow.inletWaterTempHigh)
        }

        function test_resetAsksSendsAndRecapturesAfterASecond() {
            connectSim()
            unlock()
            click("resetParamBtn")
            compare(box.titleText, "确认操作")
            compare(box.msg, "确定要重置参数吗?")
            answer("cancelButton")
            wait(300)
            compare(sent("resetParam").length, 0)

            item("redPowerLevel").value = 3
            click("resetParamBtn")
            scene.flagRaisedAt = 0
            answer("okButton")
            var okAt = Date.now()
            tryVerify(function () { return sent("resetParam").length === 1 }, 2000)
            tryVerify(function () { return scene.flagRaisedAt > 0 }, 2000)
            var delay = scene.flagRaisedAt - okAt
            verify(delay >= 950 && delay < 1400, "re-captured after " + delay + " ms")
            tryCompare(item("redPowerLevel"), "value", 50, 1000)
            compare(item("outletWaterThes").second.value, 40)
        }

        function test_wheelBesideTheSlidersIsSwallowed() {
            unlock()
            var view = item("alarmView")
            var flick = view.contentItem
            verify(flick.contentHeight > flick.height, "the form is taller than the view")
            flick.contentY = 0
            var reset = item("resetParamBtn")
            // Beside the reset button, inside the form.
            mouseWheel(reset.parent, 2, 20, 0, -120)
            mouseWheel(reset.parent, 2, 20, 0, -120)
            wait(300)
            compare(flick.contentY, 0)
            // Over a slider the wheel moves the slider and nothing else.
            var red = item("redPowerLevel")
            red.value = 40
            mouseWheel(red, red.width / 2, red.height - 4, 0, -120)
            compare(red.value, 39)
            wait(300)
            compare(flick.contentY, 0)
        }
    }
}
