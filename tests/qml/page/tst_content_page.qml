import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.2
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// The status and control page with the real message box, and against the
// controller simulator for the commands: alarm-change lines, the capture of
// the internal-control values, input correction, the commands and their
// refusal on a closed port, the receive lamp, the message list and the
// chart slots.
Item {
    id: scene

    width: 1280
    height: 720

    SimPeer {
        id: sim
    }

    Model {
        id: box

        anchors.fill: parent
    }

    SignalSpy {
        id: captures

        signalName: "intCtrlParamChanged"
    }

    // Off by default: most tests feed their own records.
    Connections {
        id: deviceRecords

        target: Communication
        enabled: false

        function onDataReceived(rxObj) {
            if (test.page)
                test.page.devInfo = rxObj
        }
    }

    // A record as the device sends it, with the given keys replaced (a key
    // given as undefined is left out).
    function record(changes) {
        var r = {
            "alarmState": 0, "ambientHumi": 45, "ambientTemp": 24.1, "bleState": 1,
            "chipShortId": "SN240403", "db25Power": 0, "emergencyStop": 0, "framGood": 1,
            "humiHigh": 80, "inletWaterTemp": 21.5, "inletWaterTempHigh": 35,
            "inletWaterTempLow": 15, "intDac": 20, "intLaserOnMs": 1000, "intPwmDuty": 50,
            "intPwmFreq": 1000, "laserOutputting": 0, "maxPower": 1500, "mode": 1,
            "opticalVals": [0, 0], "outletWaterTemp": 22.1, "outletWaterTempHigh": 40,
            "outletWaterTempLow": 15, "pdAlarmThes": 30, "pumpCurrent": [0, 0, 0, 0],
            "pumpCurrentAlarmThes": 10, "qbhLink": 1, "qcwDuty": 50, "qcwEnable": 0,
            "qcwFreq": 1000, "redCurrent": 15, "redPowerLevel": 50, "rtcGood": 1,
            "rtcTime": [24, 4, 3, 10, 0, 0], "waterLink": 1
        }
        for (var key in changes) {
            if (changes[key] === undefined)
                delete r[key]
            else
                r[key] = changes[key]
        }
        return r
    }

    TestCase {
        id: test

        name: "ContentPage"
        when: windowShown

        property var page: null
        property bool chartAvailable: false

        function initTestCase() {
            var chart = Qt.createComponent(Qt.resolvedUrl("../../../qml/NormalChart.qml"))
            chartAvailable = chart.status === Component.Ready
            verify(sim.start(["--period", "60000"]) !== "")
        }

        function cleanupTestCase() {
            Communication.close()
            sim.stop()
        }

        function init() {
            // The page holds four charts: without the chart document it cannot load.
            if (!chartAvailable)
                skip("NormalChart.qml is not there yet")
            Communication.close()
            Language.loadChinese()
            box.visible = false
            var component = Qt.createComponent(Qt.resolvedUrl("../../../qml/Content.qml"))
            compare(component.status, Component.Ready, component.errorString())
            page = component.createObject(scene, { "x": 330, "y": 10, "width": 950, "height": 700,
                                                   "msgBox": box })
            verify(page)
        }

        function cleanup() {
            deviceRecords.enabled = false
            Communication.close()
            Language.loadChinese()
            box.visible = false
            if (page)
                page.destroy()
            page = null
        }

        function child(name, parentItem) {
            var found = findChild(parentItem === undefined ? page : parentItem, name)
            verify(found, name)
            return found
        }

        function feed(changes) {
            page.devInfo = scene.record(changes)
        }

        // The list's lines without their time stamps.
        function lines() {
            var model = child("alarmListView").model
            var out = []
            for (var i = 0; i < model.count; ++i) {
                var line = model.get(i).line
                var m = /^\[\d\d:\d\d:\d\d\]> ([\s\S]*)$/.exec(line)
                verify(m, line)
                out.push(m[1])
            }
            return out
        }

        function statusItem(title) {
            var found = []
            collect(page, function (o) {
                return o.title === title && o.texts !== undefined
            }, found)
            compare(found.length, 1, title)
            return found[0]
        }

        function collect(item, match, out) {
            for (var i = 0; i < item.children.length; ++i) {
                var c = item.children[i]
                if (match(c))
                    out.push(c)
                collect(c, match, out)
            }
        }

        function inputOf(name) {
            // NumParamInput > MyInput > TextInput, all named "input" below it.
            return child("input", child("input", child(name)))
        }

        function openPort() {
            verify(Communication.open(sim.port))
        }

        function sentSince(from, n) {
            tryVerify(function () { return sim.commands().length >= from + n }, 3000)
            wait(100)
            var all = sim.commands()
            compare(all.length, from + n, "exactly " + n + " commands: " + JSON.stringify(all.slice(from)))
            return all.slice(from)
        }

        function recorded(chart) {
            var waves = chart.recordWaves
            return waves.count !== undefined ? waves.count : waves.length
        }

        // --- Message list ------------------------------------------------------

        function test_revisionLineFirst() {
            var l = lines()
            compare(l.length, 1)
            compare(l[0], "Rev:" + QmlPublic.buildDateTime())
        }

        function test_insertMsgAppendsAndScrolls() {
            var view = child("alarmListView")
            page.insertMsg("hello")
            compare(lines()[1], "hello")
            for (var i = 0; i < 300; ++i)
                page.insertMsg("line " + i + " with some words so that a few of them wrap across the width")
            compare(view.count, 302)
            waitForRendering(view)
            verify(view.atYEnd, "at the end after each new line")
            compare(view.ScrollBar.vertical.policy, Qt.ScrollBarAlwaysOn)
            child("clearBtn").clicked()
            compare(view.count, 0)
            tryCompare(view.ScrollBar.vertical, "policy", Qt.ScrollBarAlwaysOff)
        }

        function test_linesArePlainAndReadable() {
            var markup = "<b>bold</b><img src=\"file:///tmp/none.png\">"
            page.insertMsg(markup)
            var view = child("alarmListView")
            compare(view.Accessible.role, Accessible.List)
            compare(view.Accessible.name, "运行信息")
            waitForRendering(view)
            var shown = []
            collect(view.contentItem, function (o) {
                return o.textFormat !== undefined && String(o.text).indexOf(markup) !== -1
            }, shown)
            compare(shown.length, 1)
            compare(shown[0].textFormat, Text.PlainText)
            compare(shown[0].Accessible.role, Accessible.StaticText)
            compare(shown[0].Accessible.name, shown[0].text)
            compare(shown[0].wrapMode, Text.Wrap)
        }

        // --- Alarm-change lines ------------------------------------------------

        function test_alarmChangeLines_data() {
            return [
                { tag: "0, 0x8010, 0", words: [0, 0x8010, 0], lines: ["[0->8010] QBH断开", "[8010->0] 报警解除"] },
                { tag: "first record non-zero", words: [0x8530],
                  lines: ["[0->8530] QBH断开, 水冷断开, 进水温度高, 出水温度高"] },
                { tag: "steady word", words: [0x8020, 0x8020, 0x8020], lines: ["[0->8020] 水冷断开"] },
                { tag: "record without a word", words: [0x8010, undefined, 0], lines: ["[0->8010] QBH断开", "[8010->0] 报警解除"] }
            ]
        }

        function test_alarmChangeLines(data) {
            compare(page.prevAlarmState, null)
            for (var i = 0; i < data.words.length; ++i)
                feed({ "alarmState": data.words[i] })
            compare(lines().slice(1), data.lines)
            compare(page.prevAlarmState, 0 + (data.words[data.words.length - 1] || 0))
        }

        // --- Status card -------------------------------------------------------

        function test_missingDeviceIdShowsDashes() {
            feed({ "chipShortId": "SN1" })
            compare(statusItem("设备编号").texts, ["SN1"])
            feed({ "chipShortId": undefined })
            compare(statusItem("设备编号").texts, ["----"])
        }

        function test_statusItemsFollowTheRecord() {
            feed({ "alarmState": 0x8200, "laserOutputting": 1, "pumpCurrent": [12, 12.06, 0, 1] })
            var inlet = statusItem("进水温度")
            compare(inlet.texts, ["21.5℃"])
            verify(inlet.alarm)
            compare(String(inlet.alarmColor), "#1dddff")
            var laser = statusItem("出光状态")
            compare(laser.texts, ["使能开启"])
            verify(laser.alarm)
            compare(String(laser.alarmColor), "#ffa500")
            compare(statusItem("泵浦电流").texts, ["12.0A", "12.1A", "0.0A", "1.0A"])
            compare(statusItem("设备型号").texts, ["1500W"])
            compare(String(statusItem("设备型号").textColor), String(Public.theme.paramNormalColor))
            compare(String(inlet.textColor), String(Public.theme.paramGoodColor))
            feed({ "alarmState": 0 })
            verify(!statusItem("进水温度").alarm)
        }

        function test_layout() {
            compare(child("infoCard").height, 366)
            compare(child("intCtrl").y, 386)
            compare(child("intCtrl").height, 174)
            compare(child("alarmCard").y, 580)
            compare(child("alarmCard").height, 120)
            var area = child("infoArea")
            compare(area.ScrollBar.vertical.policy, Qt.ScrollBarAlwaysOn)
            verify(area.interactive)
            var model = statusItem("设备型号")
            var id = statusItem("设备编号")
            var pumps = statusItem("泵浦电流")
            compare(model.width, 190)
            compare(model.x, 8)
            compare(id.x, 200)
            compare(id.y, model.y)
            compare(pumps.width, 382)
            compare(pumps.x, 8)
            compare(area.contentHeight, pumps.y + 64)
            var pd = child("chartPD")
            compare([pd.x, pd.y, pd.width, pd.height], [420, 0, 520, 340])
            var pump = child("chartPump")
            compare([pump.x, pump.y, pump.width, pump.height], [420, 360, 520, 340])
            // A tall page holds the whole flow: no scrolling.
            page.height = 1200
            compare(child("infoCard").height, 534)
            compare(area.ScrollBar.vertical.policy, Qt.ScrollBarAlwaysOff)
            verify(!area.interactive)
        }

        // --- Live state --------------------------------------------------------

        // Values that are not live keep showing, marked: a word in the status
        // card's title line, clear of the title and the lamp, and every item's
        // values dimmed (titles not), the word following them for a screen
        // reader. Marks that are no longer due go.
        function test_liveStateMarks_data() {
            return [
                { tag: "live", states: [""], word: "", laser: "使能开启", pumps: "12.0A 12.1A 0.0A 1.0A" },
                { tag: "offline", states: ["离线"], word: "离线", laser: "使能开启 (离线)",
                  pumps: "12.0A 12.1A 0.0A 1.0A (离线)" },
                { tag: "waiting", states: ["等待数据"], word: "等待数据", laser: "使能开启 (等待数据)",
                  pumps: "12.0A 12.1A 0.0A 1.0A (等待数据)" },
                { tag: "waiting, then live", states: ["等待数据", ""], word: "", laser: "使能开启",
                  pumps: "12.0A 12.1A 0.0A 1.0A" }
            ]
        }

        function test_liveStateMarks(data) {
            feed({ "laserOutputting": 1, "pumpCurrent": [12, 12.06, 0, 1] })
            for (var i = 0; i < data.states.length; ++i)
                page.liveState = data.states[i]
            var card = child("infoCard")
            var word = child("liveWord")
            var title = child("cardTitle", card)
            compare(word.visible, data.word !== "")
            compare(word.text, data.word)
            compare(title.width, title.implicitWidth, "the title is whole")
            if (data.word !== "") {
                compare(word.Accessible.name, data.word)
                compare(word.Accessible.description, data.word)
                compare(String(word.color), String(Public.theme.warningColor))
                var lamp = child("rxLed")
                var titleEnd = title.mapToItem(card, title.width, 0).x
                verify(titleEnd + 8 <= word.x, "clear of the title: " + titleEnd + " / " + word.x)
                verify(word.x + word.width <= lamp.x, "clear of the lamp")
                verify(word.y >= 0 && word.y + word.height <= child("infoArea").y, "in the title line")
            }
            compare(statusItem("出光状态").Accessible.description, data.laser)
            compare(statusItem("泵浦电流").Accessible.description, data.pumps)
            // Dimmed, not recoloured: the laser item keeps its alarm colour.
            compare(String(statusItem("出光状态").alarmColor), "#ffa500")
            var dim = data.word === "" ? 1 : Public.theme.staleOpacity
            var items = []
            collect(page, function (o) { return o.texts !== undefined && o.stale !== undefined }, items)
            compare(items.length, 17)
            for (i = 0; i < items.length; ++i) {
                compare(child("boxes", items[i]).opacity, dim, items[i].title)
                compare(child("title", items[i]).opacity, 1, items[i].title)
            }
        }

        // --- Internal-control capture and inputs -------------------------------

        function values() {
            return [child("intFreq").value, child("intDuty").value, child("intDac").value,
                    child("intLaserOnMs").value]
        }

        function test_capture() {
            var ctrl = child("intCtrl")
            compare(values(), ["1000", "20", "20", "1000"])
            feed({ "intDac": 0, "intPwmFreq": 5000, "intPwmDuty": 70, "intLaserOnMs": 900 })
            compare(values(), ["1000", "20", "20", "1000"], "a zero peak power never captures")
            verify(ctrl.updateInfoFlag, "the capture stays armed")
            feed({ "intDac": 40, "intPwmFreq": 2500, "intPwmDuty": 30, "intLaserOnMs": 800 })
            compare(values(), ["2500", "30", "40", "800"])
            verify(!ctrl.updateInfoFlag)
            feed({ "intDac": 60, "intPwmFreq": 3000, "intPwmDuty": 10, "intLaserOnMs": 700 })
            compare(values(), ["2500", "30", "40", "800"], "no capture until re-armed")
            child("intRefreshBtn").clicked()
            verify(ctrl.updateInfoFlag)
            feed({ "intDac": 60, "intPwmFreq": 3000, "intPwmDuty": 10, "intLaserOnMs": 700 })
            compare(values(), ["3000", "10", "60", "700"])
        }

        function test_zeroOrMissingShowsTheMinimum() {
            feed({ "intDac": 5, "intPwmFreq": 0, "intPwmDuty": undefined, "intLaserOnMs": 0 })
            compare(values(), ["1", "0", "5", "1"])
        }

        function test_recordsDoNotOverwriteTyping() {
            var input = inputOf("intFreq")
            input.forceActiveFocus()
            input.selectAll()
            keyClick(Qt.Key_2)
            keyClick(Qt.Key_0)
            compare(input.text, "20")
            feed({ "intDac": 40, "intPwmFreq": 2500 })
            feed({ "intDac": 40, "intPwmFreq": 2600 })
            compare(input.text, "2500", "the armed capture takes the first record")
            input.selectAll()
            keyClick(Qt.Key_7)
            feed({ "intDac": 40, "intPwmFreq": 2700 })
            compare(input.text, "7")
        }

        function test_illegalEntryShowsDeviceValue_data() {
            return [
                { tag: "20000 after a capture", capture: 1500, text: "20000", shown: "1500" },
                { tag: "empty after a capture", capture: 1500, text: "", shown: "1500" },
                { tag: "captured 0 shows 1", capture: 0, text: "20000", shown: "1" },
                { tag: "before any capture", capture: null, text: "20000", shown: "1000" }
            ]
        }

        function test_illegalEntryShowsDeviceValue(data) {
            if (data.capture !== null)
                feed({ "intDac": 40, "intPwmFreq": data.capture })
            var input = inputOf("intFreq")
            input.forceActiveFocus()
            // Text that no key stroke could produce past the validator, as a
            // paste or an input method may leave it.
            input.text = data.text
            verify(!input.acceptableInput)
            // Leaving the input: a click on the card's free surface.
            mouseClick(child("intCtrl"), 200, 20)
            verify(!input.activeFocus)
            compare(input.text, data.shown)
            compare(child("intFreq").value, data.shown)
            // Bound again: the next capture shows through.
            child("intRefreshBtn").clicked()
            feed({ "intDac": 40, "intPwmFreq": 4321 })
            compare(input.text, "4321")
        }

        function test_continuousModeDisablesOnTime() {
            var btn = child("continueBtn")
            verify(child("intLaserOnMs").enabled)
            mouseClick(btn)
            verify(child("intCtrl").continuousMode)
            verify(!child("intLaserOnMs").enabled)
            compare(String(btn.iconColor), "#0caec7")
            mouseClick(btn)
            verify(!child("intCtrl").continuousMode)
            compare(String(btn.iconColor), String(Public.theme.btnIconColor))
        }

        function test_modeButtonsShowTheMode() {
            feed({ "mode": 0 })
            compare(String(child("externalBtn").iconColor), "#0caec7")
            compare(String(child("internalBtn").iconColor), String(Public.theme.btnIconColor))
            feed({ "mode": 1 })
            compare(String(child("internalBtn").iconColor), "#0caec7")
            compare(String(child("externalBtn").iconColor), String(Public.theme.btnIconColor))
            feed({ "mode": undefined })
            compare(String(child("internalBtn").iconColor), String(Public.theme.btnIconColor))
            compare(String(child("externalBtn").iconColor), String(Public.theme.btnIconColor))
        }

        // --- Commands ----------------------------------------------------------

        function test_commandsRefusedWhenClosed_data() {
            var rows = []
            var buttons = ["externalBtn", "internalBtn", "onBtn", "offBtn"]
            var languages = [{ code: "cn", text: "请连接设备" }, { code: "en", text: "Please connect deviece" }]
            for (var l = 0; l < languages.length; ++l) {
                for (var b = 0; b < buttons.length; ++b)
                    rows.push({ tag: buttons[b] + " " + languages[l].code, button: buttons[b],
                                lang: languages[l].code, text: languages[l].text })
            }
            return rows
        }

        function test_commandsRefusedWhenClosed(data) {
            if (data.lang === "en")
                Language.loadEnglish()
            var before = sim.commands().length
            verify(!Communication.isOpen())
            mouseClick(child(data.button))
            verify(box.visible)
            compare(box.msg, data.text)
            wait(200)
            compare(sim.commands().length, before, "nothing sent")
            wait(600)
            verify(child("intCtrl").updateInfoFlag)
        }

        function test_onSendsParametersThenStarts_data() {
            return [
                { tag: "timed", continuous: false, openMs: 1500 },
                { tag: "continuous sends 0xFAAA", continuous: true, openMs: 0xFAAA }
            ]
        }

        function test_onSendsParametersThenStarts(data) {
            feed({ "intDac": 35, "intPwmDuty": 40, "intPwmFreq": 2000, "intLaserOnMs": 1500 })
            openPort()
            if (data.continuous)
                mouseClick(child("continueBtn"))
            var before = sim.commands().length
            mouseClick(child("onBtn"))
            verify(!box.visible)
            var sent = sentSince(before, 2)
            compare(sent[0].name, "setIntCtrlParam")
            compare(sent[0].args, { "power": 35, "duty": 40, "freq": 2000, "openMs": data.openMs })
            compare(sent[1].name, "setLaserState")
            compare(sent[1].args, { "state": true })
        }

        // The device in continuous emission reports the continuous on-time;
        // the capture leaves the on-time input alone, so that ON after
        // leaving continuous mode is a timed emission again.
        function test_continuousThenTimedOn() {
            feed({ "intDac": 35, "intPwmDuty": 40, "intPwmFreq": 2000, "intLaserOnMs": 1500 })
            openPort()
            deviceRecords.enabled = true
            sim.console("period 100")
            var ctrl = child("intCtrl")
            mouseClick(child("continueBtn"))
            captures.target = ctrl
            captures.clear()
            mouseClick(child("onBtn"))
            tryVerify(function () {
                return page.devInfo.intLaserOnMs === 0xFAAA && page.devInfo.laserOutputting === 1
            }, 5000, "the device emits continuously")
            // Re-armed 600 ms after ON; the next record (100 ms apart) is taken.
            wait(1000)
            verify(!ctrl.updateInfoFlag)
            verify(captures.count >= 1, "captured after ON")
            compare(page.devInfo.intLaserOnMs, 0xFAAA)
            compare(values(), ["2000", "40", "35", "1500"])
            verify(inputOf("intLaserOnMs").acceptableInput)
            mouseClick(child("continueBtn"))
            var before = sim.commands().length
            mouseClick(child("offBtn"))
            sentSince(before, 1)
            before = sim.commands().length
            mouseClick(child("onBtn"))
            var sent = sentSince(before, 2)
            compare(sent[0].args.openMs, 1500)
            sim.console("period 60000")
            mouseClick(child("offBtn"))
        }

        function test_commandsSent_data() {
            return [
                { tag: "external", button: "externalBtn", name: "setCtrlMod", args: { "intCtrl": false } },
                { tag: "internal", button: "internalBtn", name: "setCtrlMod", args: { "intCtrl": true } },
                { tag: "off", button: "offBtn", name: "setLaserState", args: { "state": false } }
            ]
        }

        function test_commandsSent(data) {
            openPort()
            var before = sim.commands().length
            mouseClick(child(data.button))
            verify(!box.visible)
            var sent = sentSince(before, 1)
            compare(sent[0].name, data.name)
            compare(sent[0].args, data.args)
        }

        function test_commandRearmsCaptureAfter600ms() {
            feed({ "intDac": 40 })
            var ctrl = child("intCtrl")
            verify(!ctrl.updateInfoFlag)
            openPort()
            var clicked = Date.now()
            mouseClick(child("offBtn"))
            verify(!ctrl.updateInfoFlag)
            tryVerify(function () { return ctrl.updateInfoFlag }, 3000)
            verify(Date.now() - clicked >= 550, "re-armed after " + (Date.now() - clicked) + " ms")
        }

        function test_refresh_data() {
            return [
                { tag: "open port", open: true, word: 0x8010, line: "[8010] QBH断开" },
                { tag: "closed port still adds the line", open: false, word: 0, line: "[0] 报警解除" },
                { tag: "missing word", open: true, word: undefined, line: "[0] 报警解除" }
            ]
        }

        function test_refresh(data) {
            feed({ "alarmState": data.word })
            if (data.open)
                openPort()
            var before = sim.commands().length
            var count = lines().length
            mouseClick(child("msgRefreshBtn"))
            verify(!box.visible, "the port is not checked")
            compare(lines().length, count + 1)
            compare(lines()[count], data.line)
            if (data.open) {
                var sent = sentSince(before, 2)
                compare([sent[0].name, sent[1].name], ["queryVersion", "queryUseTime"])
            } else {
                wait(200)
                compare(sim.commands().length, before)
            }
        }

        // --- Receive lamp ------------------------------------------------------

        function test_lampDarkWithClosedPort() {
            var led = child("rxLed")
            feed({})
            verify(!led.ledEnabled)
            compare(led.Accessible.name, "接收指示")
            verify(!led.Accessible.checked)
            openPort()
            feed({})
            verify(led.Accessible.checked)
        }

        function test_lampFlashesButIsNotExtended() {
            var led = child("rxLed")
            openPort()
            feed({})
            verify(led.ledEnabled)
            compare(String(led.onColor), "#00c957")
            // Records 100 ms apart: each that finds the lamp dark lights it
            // for 250 ms, those while it is lit do not extend it, so at most
            // two records in a row find it lit. Counted in records, not in
            // time, and looked at just before each (the wait before it has
            // run any timer that was due), so a slow machine cannot hide the
            // dark spells.
            var darkened = 0
            for (var n = 0; n < 15; ++n) {
                var due = Date.now() + 100
                while (Date.now() < due)
                    wait(10)
                if (!led.ledEnabled)
                    ++darkened
                feed({})
            }
            verify(darkened >= 3, "found dark by " + darkened + " of 15 records")
            Communication.close()
            feed({})
            verify(!led.ledEnabled, "a record with the port closed turns it off")
        }

        // --- Charts ------------------------------------------------------------

        function test_chartsAndTheirSwitches() {
            var pd = child("chartPD"), temp = child("chartTemp")
            var pump = child("chartPump"), power = child("chartPower")
            verify(pd.visible && !temp.visible && pump.visible && !power.visible)
            compare(pd.seriesList.map(function (s) { return s.name }), ["光感1", "光感2"])
            compare(temp.seriesList.map(function (s) { return s.name }), ["环境温度", "进水温度", "出水温度"])
            compare(pump.seriesList.map(function (s) { return s.name }), ["电流1", "电流2", "电流3", "电流4"])
            compare(power.seriesList.map(function (s) { return s.name }), ["调制功率"])
            compare([pd.unit, temp.unit, pump.unit, power.unit], ["", "℃", "A", "W"])
            compare(pd.msgBox, box)
            compare(power.msgBox, box)
            mouseClick(child("switchBtn", pd))
            verify(!pd.visible && temp.visible)
            mouseClick(child("switchBtn", pump))
            verify(!pump.visible && power.visible)
            mouseClick(child("switchBtn", temp))
            mouseClick(child("switchBtn", power))
            verify(pd.visible && !temp.visible && pump.visible && !power.visible)
        }

        function test_hiddenChartKeepsRecording() {
            var pd = child("chartPD"), pump = child("chartPump")
            mouseClick(child("switchBtn", pd))
            mouseClick(child("switchBtn", pump))
            verify(!pd.visible && !pump.visible)
            var n = recorded(pd), m = recorded(pump)
            feed({ "opticalVals": [100, 92] })
            feed({ "opticalVals": [110, 101] })
            compare(recorded(pd), n + 2)
            compare(recorded(pump), m + 2)
        }

        // A click on an alarm line shows all four charts, hidden ones too,
        // ten minutes around the line's moment; a double-click on a chart
        // brings that one back alone.
        function test_lineClickLooksBack() {
            var charts = ["chartPD", "chartTemp", "chartPump", "chartPower"].map(function (n) { return child(n) })
            var first = Date.now() - 3600 * 1000
            charts.forEach(function (chart) {
                for (var i = 0; i < 7200; ++i)
                    chart.recordWaves.append(first + 500 * i, [i % 7, 1, 2, 3])
            })
            feed({ "alarmState": 0x8010 })
            var view = child("alarmListView")
            var at = view.model.timeMsAt(view.count - 1)
            verify(at >= first + 7199 * 500)
            waitForRendering(view)
            var shown = []
            collect(view.contentItem, function (o) {
                return o.textFormat !== undefined && String(o.text).indexOf("QBH断开") !== -1
            }, shown)
            compare(shown.length, 1)
            mouseClick(shown[0], 10, 5)
            charts.forEach(function (chart) {
                verify(chart.history, chart.objectName)
                verify(chart.viewFrom <= at && at <= chart.viewTo + 2000, chart.objectName)
                fuzzyCompare(chart.viewTo - chart.viewFrom, 600000, 1)
                verify(chart.historyText.indexOf("历史 ") === 0, chart.historyText)
            })
            var pump = charts[2]
            var area = pump.chartView.plotArea
            mouseDoubleClickSequence(pump.chartView, area.x + 20, area.y + 20)
            verify(!pump.history && charts[0].history && charts[3].history)
            // The pair's switch keeps each chart's own mode.
            mouseClick(child("switchBtn", pump))
            verify(charts[3].visible && charts[3].history)
            mouseClick(child("switchBtn", charts[3]))
            verify(pump.visible && !pump.history)
        }

        function test_recordsWithoutSamples_data() {
            return [
                { tag: "no optical values", changes: { "opticalVals": undefined }, slot1: 0, slot2: 1 },
                { tag: "no pump currents", changes: { "pumpCurrent": undefined }, slot1: 1, slot2: 0 },
                { tag: "neither", changes: { "opticalVals": undefined, "pumpCurrent": undefined }, slot1: 0, slot2: 0 },
                { tag: "both", changes: {}, slot1: 1, slot2: 1 }
            ]
        }

        function test_recordsWithoutSamples(data) {
            var charts = ["chartPD", "chartTemp", "chartPump", "chartPower"].map(function (n) { return child(n) })
            var before = charts.map(recorded)
            feed(data.changes)
            var after = charts.map(recorded)
            compare([after[0] - before[0], after[1] - before[1]], [data.slot1, data.slot1])
            compare([after[2] - before[2], after[3] - before[3]], [data.slot2, data.slot2])
        }

        function test_standInRecordIsNotProcessed() {
            // A page created with a record already bound (the main window's
            // stand-in) keeps its capture armed and adds no alarm line.
            var component = Qt.createComponent(Qt.resolvedUrl("../../../qml/Content.qml"))
            var other = component.createObject(scene, { "width": 950, "height": 700, "msgBox": box,
                                                        "devInfo": scene.record({ "alarmState": 0x8530, "intDac": 55 }) })
            verify(other)
            compare(findChild(other, "alarmListView").count, 1)
            verify(findChild(other, "intCtrl").updateInfoFlag)
            compare(other.prevAlarmState, null)
            other.destroy()
        }
    }
}
