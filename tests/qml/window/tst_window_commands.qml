import QtQuick 2.15
import QtTest 1.2
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// Every button of the real main window that talks to the device, clicked as
// the operator would, against the controller simulator: the commands that
// arrive (kind, decoded values and bytes), the device's answers in the
// message list, the buttons that must send nothing, the language button, and
// steady records keeping the device online without further version queries.
TestCase {
    id: test

    name: "WindowCommands"

    property var window: null
    property var sidebar: null
    property var box: null

    SimPeer {
        id: sim
    }

    TestHost {
        id: host
    }

    SignalSpy {
        id: onlineChanges

        signalName: "devOnlineChanged"
    }

    function item(name) {
        var found = findChild(window.contentItem, name)
        verify(found, name)
        return found
    }

    function countOf(name) {
        return sim.commandNames().filter(function (n) { return n === name }).length
    }

    // The message list's lines without their time stamps.
    function lines() {
        var model = item("alarmListView").model
        var out = []
        for (var i = 0; i < model.count; ++i) {
            var m = /^\[\d\d:\d\d:\d\d\]> ([\s\S]*)$/.exec(model.get(i).line)
            verify(m, model.get(i).line)
            out.push(m[1])
        }
        return out
    }

    function answer(name) {
        verify(box.visible, "a question is shown")
        tryCompare(findChild(box, "msgCard"), "scale", 1.0, 2000)
        mouseClick(findChild(box, name))
        verify(!box.visible)
    }

    function initTestCase() {
        // Offline, as at the program's start: an earlier suite's device may
        // still count as online for a moment.
        tryCompare(Communication, "deviceOnline", false, 3000)
        // The window's colours are not under test here: start from the default.
        host.setSetting("theme", "dark")
        host.setSetting("language", "cn")
        verify(sim.start(["--period", "200"]) !== "")
        sim.setExtraPorts([sim.port])
        var component = Qt.createComponent(Qt.resolvedUrl("../../../main.qml"))
        compare(component.status, Component.Ready, component.errorString())
        window = component.createObject(null)
        verify(window)
        waitForRendering(window.contentItem)
        sidebar = item("serialCard").parent
        box = findChild(window.contentItem, "msgCard").parent
        while (box && typeof box.showMsg !== "function")
            box = box.parent
        verify(box, "the message box")
    }

    function cleanupTestCase() {
        Communication.close()
        sim.stop()
        sim.setExtraPorts([])
        Language.loadChinese()
        window.destroy()
    }

    function init() {
        box.visible = false
    }

    function test_1_connectAsksTheVersionOnce() {
        mouseClick(item("refreshBtn"))
        mouseClick(item("connectBtn"))
        verify(Communication.isOpen())
        tryCompare(Public, "devOnline", true, 3000)
        // Both captures take the device's first record.
        tryVerify(function () { return sidebar.devInfoShow !== null && !item("intCtrl").updateInfoFlag }, 3000)
        tryVerify(function () { return lines().indexOf("设备版本:V2.3.1-QCW") !== -1 }, 3000,
                  JSON.stringify(lines()))
        verify(Public.devQcwEnable)
        compare(sim.commandNames().join(","), "queryVersion")
    }

    function test_2_steadyRecordsKeepItOnline() {
        onlineChanges.target = Public
        onlineChanges.clear()
        wait(3000)
        compare(onlineChanges.count, 0, "online throughout")
        verify(Public.devOnline)
        compare(countOf("queryVersion"), 1)
    }

    // Factory values of the simulator: internal control 20 %, 50 %, 1000 Hz,
    // 1000 ms; QCW off, 50 %, 1000 Hz; red 50, photodiode 30, humidity 80,
    // drive current 10, inlet 15..35 and outlet 15..40 °C. Payloads are the
    // bytes in order, 16-bit values big-endian, flags 0/1; the continuous
    // on-time is 0xFAAA.
    function test_3_buttons_data() {
        return [
            { tag: "external", button: "externalBtn",
              sent: [{ name: "setCtrlMod", args: { "intCtrl": false }, payload: "00" }] },
            { tag: "internal", button: "internalBtn",
              sent: [{ name: "setCtrlMod", args: { "intCtrl": true }, payload: "01" }] },
            { tag: "laser on", button: "onBtn",
              sent: [{ name: "setIntCtrlParam", args: { "power": 20, "duty": 50, "freq": 1000, "openMs": 1000 },
                       payload: "143203e803e8" },
                     { name: "setLaserState", args: { "state": true }, payload: "01" }] },
            { tag: "laser off", button: "offBtn",
              sent: [{ name: "setLaserState", args: { "state": false }, payload: "00" }] },
            { tag: "laser on, continuous", before: ["continueBtn"], button: "onBtn", after: ["continueBtn"],
              sent: [{ name: "setIntCtrlParam", args: { "power": 20, "duty": 50, "freq": 1000, "openMs": 0xFAAA },
                       payload: "143203e8faaa" },
                     { name: "setLaserState", args: { "state": true }, payload: "01" }] },
            { tag: "laser off again", button: "offBtn",
              sent: [{ name: "setLaserState", args: { "state": false }, payload: "00" }] },
            { tag: "message refresh", button: "msgRefreshBtn",
              sent: [{ name: "queryVersion", args: {}, payload: "" },
                     { name: "queryUseTime", args: {}, payload: "" }],
              lines: ["^\\[0\\] 报警解除$", "^设备版本:V2.3.1-QCW$", "^开机总时长:\\d+分钟 出光总时长:\\d+分钟$"] },
            { tag: "save", button: "saveBtn",
              sent: [{ name: "setAdvancedParam",
                       args: { "qcwDuty": 50, "qcwFreq": 1000, "qcwEnable": false, "redLevel": 50, "pdThes": 30,
                               "humiThes": 80, "pumpThes": 10, "inTempLow": 15, "inTempHigh": 35,
                               "outTempLow": 15, "outTempHigh": 40 },
                       payload: "3203e80032001e50000a0f230f28" }],
              lines: ["^高级参数设置成功$"] },
            { tag: "reset parameters", unlock: true, button: "resetParamBtn", answer: "okButton",
              sent: [{ name: "resetParam", args: {}, payload: "" }],
              lines: ["^重置参数完成$"] },
            { tag: "reset cancelled", unlock: true, button: "resetParamBtn", answer: "cancelButton", sent: [] },
            { tag: "active theme", button: "darkBtn", sent: [] },
            { tag: "advanced lock, reload", buttons: ["lockBtn", "reloadBtn"], sent: [] },
            { tag: "page refresh, continuous mode twice", buttons: ["intRefreshBtn", "continueBtn", "continueBtn"],
              sent: [] },
            { tag: "port list refresh while connected", button: "refreshBtn", sent: [] }
        ]
    }

    function test_3_buttons(data) {
        verify(Communication.isOpen())
        if (data.unlock) {
            item("advPassword").text = "52074913"
            mouseClick(item("unlockBtn"))
            verify(item("paramRect").visible)
        }
        var i
        var beforeSteps = data.before || []
        for (i = 0; i < beforeSteps.length; ++i)
            mouseClick(item(beforeSteps[i]))
        var from = sim.commands().length
        var lineFrom = lines().length
        var buttons = data.buttons || [data.button]
        for (i = 0; i < buttons.length; ++i)
            mouseClick(item(buttons[i]))
        if (data.answer)
            answer(data.answer)
        verify(!box.visible, "no message: " + box.msg)
        tryVerify(function () { return sim.commands().length >= from + data.sent.length }, 3000)
        // Anything more would come within this time.
        wait(900)
        var sent = sim.commands().slice(from)
        compare(sent.length, data.sent.length, JSON.stringify(sent))
        for (i = 0; i < sent.length; ++i) {
            var want = data.sent[i]
            compare(sent[i].name, want.name, "command " + i)
            verify(sent[i].ok, JSON.stringify(sent[i]))
            compare(sent[i].args, want.args, want.name)
            compare(sent[i].payload, want.payload, want.name)
        }
        var afterSteps = data.after || []
        for (i = 0; i < afterSteps.length; ++i)
            mouseClick(item(afterSteps[i]))
        if (data.lines) {
            var added = lines().slice(lineFrom)
            compare(added.length, data.lines.length, JSON.stringify(added))
            for (i = 0; i < added.length; ++i)
                verify(new RegExp(data.lines[i]).test(added[i]), added[i])
        }
        verify(Public.devOnline)
        verify(!Public.themeRestartPending)
        compare(Public.theme.name, "dark")
    }

    function test_4_languageButton() {
        var from = sim.commands().length
        mouseClick(item("languageBtn"))
        compare(Public.language, "en")
        compare(host.setting("language"), "en", "stored")
        sim.console("send Calibrate ok")
        tryVerify(function () { return lines().indexOf("Calibration completed") !== -1 }, 3000,
                  JSON.stringify(lines()))
        mouseClick(item("languageBtn"))
        compare(Public.language, "cn")
        compare(host.setting("language"), "cn")
        sim.console("send Calibrate ok")
        tryVerify(function () { return lines().indexOf("校准完成") !== -1 }, 3000, JSON.stringify(lines()))
        compare(sim.commands().length, from, "language switches send nothing")
    }
}
