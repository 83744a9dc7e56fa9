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
    // A test has given the simulator other advanced values than its own.
    property bool deviceAltered: false

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

        // The simulator's factory values, under setAdvancedParam's names.
        readonly property var factory: ({
            "qcwDuty": 50, "qcwFreq": 1000, "qcwEnable": false, "redLevel": 50, "pdThes": 30,
            "humiThes": 80, "pumpThes": 10, "inTempLow": 15, "inTempHigh": 35,
            "outTempLow": 15, "outTempHigh": 40
        })

        // Each handle of the alarm form: its slider (and which handle of a
        // range slider), its tip, the setAdvancedParam argument and the
        // record field it stands for.
        readonly property var handles: [
            { slider: "redPowerLevel", tip: "tipLabel", arg: "redLevel", field: "redPowerLevel" },
            { slider: "pdAlarmThes", tip: "tipLabel", arg: "pdThes", field: "pdAlarmThes" },
            { slider: "humiThes", tip: "tipLabel", arg: "humiThes", field: "humiHigh" },
            { slider: "pumpThes", tip: "tipLabel", arg: "pumpThes", field: "pumpCurrentAlarmThes" },
            { slider: "inletWaterThes", node: "first", tip: "firstTipLabel", arg: "inTempLow",
              field: "inletWaterTempLow" },
            { slider: "inletWaterThes", node: "second", tip: "secondTipLabel", arg: "inTempHigh",
              field: "inletWaterTempHigh" },
            { slider: "outletWaterThes", node: "first", tip: "firstTipLabel", arg: "outTempLow",
              field: "outletWaterTempLow" },
            { slider: "outletWaterThes", node: "second", tip: "secondTipLabel", arg: "outTempHigh",
              field: "outletWaterTempHigh" }
        ]

        function handleOf(arg) {
            var found = handles.filter(function (h) { return h.arg === arg })[0]
            verify(found, arg)
            return found
        }

        function settings(changes) {
            var out = {}
            for (var key in factory)
                out[key] = changes[key] !== undefined ? changes[key] : factory[key]
            return out
        }

        // The setAdvancedParam arguments that would keep what a record holds.
        function argsOf(record) {
            var args = { "qcwDuty": record.qcwDuty, "qcwFreq": record.qcwFreq, "qcwEnable": !!record.qcwEnable }
            handles.forEach(function (h) { args[h.arg] = record[h.field] })
            return args
        }

        function holds(record, values) {
            if (!record || record.qcwDuty !== values.qcwDuty || record.qcwFreq !== values.qcwFreq)
                return false
            return handles.every(function (h) { return record[h.field] === values[h.arg] })
        }

        function setDevice(v) {
            Communication.setAdvancedParam(v.qcwDuty, v.qcwFreq, v.qcwEnable, v.redLevel, v.pdThes,
                                           v.humiThes, v.pumpThes, v.inTempLow, v.inTempHigh,
                                           v.outTempLow, v.outTempHigh)
            tryVerify(function () { return holds(sidebar.devInfo, v) }, 3000, "reported")
        }

        // The simulator keeps what setAdvancedParam carries without a range
        // check, so it then reports values the form's sliders cannot show.
        // The form captures them with Refresh.
        function deviceReports(changes) {
            var v = settings(changes)
            scene.deviceAltered = true
            setDevice(v)
            click("reloadBtn")
            tryVerify(function () { return !sidebar.updateInfoFlag }, 3000, "captured")
            verify(holds(sidebar.devInfoShow, v))
            return v
        }

        // The operator moves a handle with the arrow keys, a step a press.
        function operatorSets(h, value) {
            var slider = item(h.slider)
            var node = h.node ? slider[h.node] : slider
            if (h.node)
                node.handle.forceActiveFocus()
            else
                slider.forceActiveFocus()
            for (var i = 0; i < 100 && node.value !== value; ++i)
                keyClick(node.value < value ? Qt.Key_Right : Qt.Key_Left)
            compare(node.value, value, h.arg)
        }

        // Each tip in the warning colour with the given text where `warnings`
        // names its argument, otherwise in the tip colour with its handle's
        // value.
        function checkTips(warnings) {
            handles.forEach(function (h) {
                var slider = item(h.slider)
                var label = findChild(slider, h.tip)
                verify(label, h.tip)
                if (warnings[h.arg] !== undefined) {
                    compare(label.text, warnings[h.arg], h.arg)
                    compare(String(label.color), String(Public.theme.warningColor), h.arg)
                } else {
                    var value = h.node ? slider[h.node].value : slider.value
                    compare(label.text, slider.format(value, slider.tipFormat), h.arg)
                    compare(String(label.color), String(Public.theme.barTipTextColor), h.arg)
                }
            })
        }

        // Save without emission (no question), and what it sent. The form
        // takes the device's answer before the next step.
        function saveAndRead() {
            var before = sent("setAdvancedParam").length
            scene.flagRaisedAt = 0
            click("saveBtn")
            verify(!box.visible, "no question")
            tryVerify(function () { return sent("setAdvancedParam").length === before + 1 }, 2000)
            var command = sent("setAdvancedParam")[before]
            verify(command.ok)
            tryVerify(function () { return scene.flagRaisedAt > 0 && !sidebar.updateInfoFlag }, 2000,
                      "re-captured")
            return command.args
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
            if (scene.deviceAltered && Communication.isOpen()) {
                setDevice(factory)
                scene.deviceAltered = false
            }
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
            var moves = { "redLevel": 61, "pdThes": 42, "humiThes": 73, "pumpThes": 24,
                          "inTempLow": 12, "inTempHigh": 38, "outTempLow": 17, "outTempHigh": 44 }
            for (var arg in moves)
                operatorSets(handleOf(arg), moves[arg])
            showPage(1)
            Public.devQcwEnable = true
            item("qcwDuty").value = "55"
            item("qcwFreq").value = "2345"
            item("qcwEnable").checked = true
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

        // --- Device values the sliders cannot show ---

        function test_saveKeepsTheDeviceValues_data() {
            return [
                { tag: "inlet low below the range, high 0", changes: { "inTempLow": 5, "inTempHigh": 0 },
                  warnings: { "inTempLow": "5", "inTempHigh": "0" } },
                { tag: "outlet window inverted", changes: { "outTempLow": 45, "outTempHigh": 20 },
                  warnings: { "outTempLow": "45" } },
                { tag: "outlet low 0, high below the range", changes: { "outTempLow": 0, "outTempHigh": 8 },
                  warnings: { "outTempLow": "0", "outTempHigh": "8" } },
                { tag: "photodiode placeholder", changes: { "pdThes": 500 }, warnings: { "pdThes": "500" } },
                { tag: "drive current above the range", changes: { "pumpThes": 150 },
                  warnings: { "pumpThes": "15.0A" } },
                { tag: "photodiode just above the range", changes: { "pdThes": 101 }, warnings: { "pdThes": "101" } },
                { tag: "0 at the sliders' lower ends", changes: { "redLevel": 0, "pdThes": 0, "humiThes": 0,
                                                                  "pumpThes": 0 }, warnings: {} },
                { tag: "in range, at the ends", changes: { "redLevel": 100, "inTempLow": 10, "inTempHigh": 50,
                                                           "outTempLow": 30, "outTempHigh": 30 }, warnings: {} }
            ]
        }

        // The alarm form stays locked: only the QCW duty is edited.
        function test_saveKeepsTheDeviceValues(data) {
            connectSim()
            setEmitting(false)
            var expected = deviceReports(data.changes)
            checkTips(data.warnings)
            item("qcwDuty").value = "55"
            expected.qcwDuty = 55
            compare(saveAndRead(), expected)
        }

        function test_movingAHandleChangesOnlyItsValue_data() {
            // From the device below: 0 shown as 0, 500 as 100, 150 as 100,
            // the inlet window 5..0 as 10..50, the outlet window 45..20 as 20..20.
            return [
                { tag: "red level up from 0", arg: "redLevel", to: 1 },
                { tag: "photodiode threshold down from the placeholder", arg: "pdThes", to: 99 },
                { tag: "humidity up from 0", arg: "humiThes", to: 1 },
                { tag: "drive current down", arg: "pumpThes", to: 99 },
                { tag: "inlet low up", arg: "inTempLow", to: 11 },
                { tag: "inlet high down", arg: "inTempHigh", to: 49 },
                { tag: "low of an inverted window down", arg: "outTempLow", to: 19 },
                { tag: "high of an inverted window up", arg: "outTempHigh", to: 21 }
            ]
        }

        function test_movingAHandleChangesOnlyItsValue(data) {
            connectSim()
            setEmitting(false)
            var expected = deviceReports({ "redLevel": 0, "pdThes": 500, "humiThes": 0, "pumpThes": 150,
                                           "inTempLow": 5, "inTempHigh": 0, "outTempLow": 45, "outTempHigh": 20 })
            var warnings = { "pdThes": "500", "pumpThes": "15.0A", "inTempLow": "5", "inTempHigh": "0",
                             "outTempLow": "45" }
            checkTips(warnings)
            unlock()
            operatorSets(handleOf(data.arg), data.to)
            // Only the moved handle's warning goes; the other handle of a
            // window keeps its own.
            delete warnings[data.arg]
            checkTips(warnings)
            expected[data.arg] = data.to
            compare(saveAndRead(), expected)
        }

        // Values above what the set command carries (it would wrap them) can
        // only come from another device: such a record is captured here as
        // if it had arrived. Save sends the nearest value it carries.
        function test_saveSendsTheNearestValueTheCommandCarries() {
            connectSim()
            setEmitting(false)
            scene.deviceAltered = true
            var record = JSON.parse(JSON.stringify(sidebar.devInfo))
            record.redPowerLevel = 101
            record.humiHigh = 255
            record.inletWaterTempHigh = 51
            record.outletWaterTempHigh = 255
            sidebar.updateInfoFlag = true
            sidebar.devInfo = record
            checkTips({ "redLevel": "101", "humiThes": "255", "inTempHigh": "51", "outTempHigh": "255" })
            var expected = argsOf(record)
            expected.redLevel = 100
            expected.humiThes = 100
            expected.inTempHigh = 50
            expected.outTempHigh = 50
            compare(saveAndRead(), expected)
        }

        // A new capture forgets the moves: the form holds the device's
        // values again, and so does Save.
        function test_refreshForgetsTheMoves() {
            connectSim()
            setEmitting(false)
            var device = deviceReports({ "pdThes": 500, "inTempLow": 5, "inTempHigh": 0 })
            unlock()
            operatorSets(handleOf("pdThes"), 98)
            operatorSets(handleOf("inTempLow"), 12)
            operatorSets(handleOf("inTempHigh"), 47)
            checkTips({})
            click("reloadBtn")
            tryVerify(function () { return !sidebar.updateInfoFlag }, 3000, "captured")
            checkTips({ "pdThes": "500", "inTempLow": "5", "inTempHigh": "0" })
            compare(item("inletWaterThes").first.value, 10)
            compare(saveAndRead(), device)
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
