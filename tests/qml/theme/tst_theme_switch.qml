import QtQuick 2.15
import QtTest 1.2
import QtCharts 2.15
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// The theme in the real main window: the one config.ini names is the one the
// window shows at start, the button of the active theme does nothing, and
// the other one stores the choice and restarts the program once.
//
// The restart starts this runner again with the same arguments, so this file
// also runs in the restarted copies. A copy only reports what it came up with
// into the probe log named by the first run; the first copy then switches
// back with the dark button, the second one stops the chain.
TestCase {
    id: test

    name: "ThemeSwitch"

    property var window: null
    property bool copy: false
    property string probeLog: ""

    readonly property var tables: ({
        "dark": {
            "bgColor": "#1e1e1e", "cardBgColor": "#494949", "cardTitleColor": "#f8f8f8",
            "btnIconColor": "#f8f8f8", "textMainColor": "#f8f8f8", "paramNormalColor": "#ffffff",
            "paramGoodColor": "#00ff00", "barTipTextColor": "#ffffff", "tabBtnCheckedBgColor": "#f8f8f8",
            "intCtrlCardColor": "#494949", "chartTheme": ChartView.ChartThemeBrownSand
        },
        "light": {
            "bgColor": "#f8f9ff", "cardBgColor": "#e9ebf4", "cardTitleColor": "#283155",
            "btnIconColor": "#283155", "textMainColor": "#283155", "paramNormalColor": "#283155",
            "paramGoodColor": "#283155", "barTipTextColor": "#000000", "tabBtnCheckedBgColor": "#505080",
            "intCtrlCardColor": "#e9ebf4", "chartTheme": ChartView.ChartThemeLight
        }
    })

    TestHost {
        id: host
    }

    function item(name) {
        var found = findChild(window.contentItem, name)
        verify(found, name)
        return found
    }

    // What the window shows of the theme, as one flat object.
    function shown() {
        var state = {
            "theme": Public.theme.name,
            "stored": host.setting("theme"),
            "window": String(window.color),
            "card": String(item("serialCard").bgColor),
            "pending": Public.themeRestartPending
        }
        var keys = Object.keys(tables.dark)
        for (var i = 0; i < keys.length; ++i)
            state[keys[i]] = typeof Public.theme[keys[i]] === "number" ? Public.theme[keys[i]]
                                                                       : String(Public.theme[keys[i]])
        return state
    }

    function compareWithTable(state, name, where) {
        compare(state.theme, name, where)
        var table = tables[name]
        for (var key in table)
            compare(state[key], table[key], where + ": " + key)
        compare(state.window, table.bgColor, where + ": window colour")
        compare(state.card, table.cardBgColor, where + ": card colour")
    }

    function probeLines() {
        return host.readLines(probeLog).map(function (l) { return JSON.parse(l) })
    }

    function initTestCase() {
        copy = host.isRestartedCopy()
        probeLog = host.env("ORRINDEL_THEME_PROBE_LOG")
        if (!copy) {
            // Values are case-sensitive: this one is unknown and means dark.
            host.setSetting("theme", "Light")
            probeLog = host.tempPath("orrindel-theme-probe-" + host.processId() + ".jsonl")
            host.removeFile(probeLog)
            host.setEnv("ORRINDEL_THEME_PROBE_LOG", probeLog)
            host.setEnv("ORRINDEL_THEME_PROBE_STEP", "1")
        }
        // Public is first used here, after the settings file is written.
        var component = Qt.createComponent(Qt.resolvedUrl("../../../main.qml"))
        compare(component.status, Component.Ready, component.errorString())
        window = component.createObject(null)
        verify(window)
        waitForRendering(window.contentItem)
        if (copy)
            runAsCopy()
    }

    // The restarted program: report the start, check the active theme's
    // button, and on the first restart switch back to dark.
    function runAsCopy() {
        // Its output joins the first run's: say whose it is.
        console.log("restarted copy " + host.env("ORRINDEL_THEME_PROBE_STEP") + ", reporting to the first run")
        var state = shown()
        state.step = host.env("ORRINDEL_THEME_PROBE_STEP")
        state.pid = host.processId()
        state.portOpen = Communication.isOpen()
        mouseClick(item(state.theme === "light" ? "lightBtn" : "darkBtn"))
        wait(900)
        state.activeButtonIgnored = !Public.themeRestartPending && host.setting("theme") === state.theme
        host.appendLine(probeLog, JSON.stringify(state))
        if (state.step === "1") {
            host.setEnv("ORRINDEL_THEME_PROBE_STEP", "2")
            mouseClick(item("darkBtn"))
        }
    }

    function cleanupTestCase() {
        if (!copy) {
            host.setSetting("theme", "dark")
            host.setEnv("ORRINDEL_THEME_PROBE_LOG", "")
            host.setEnv("ORRINDEL_THEME_PROBE_STEP", "")
            host.removeFile(probeLog)
        }
        if (window)
            window.destroy()
    }

    function test_1_unknownStoredThemeStartsDark() {
        if (copy)
            return
        compareWithTable(shown(), "dark", "at start")
        // The unknown value is replaced by the default and written back.
        compare(host.setting("theme"), "dark")
        verify(!Public.themeRestartPending)
    }

    function test_2_activeThemeButtonDoesNothing() {
        if (copy)
            return
        mouseClick(item("darkBtn"))
        Public.switchTheme("dark")
        // Longer than the restart's delay.
        wait(1000)
        verify(!Public.themeRestartPending)
        compareWithTable(shown(), "dark", "after the dark button")
        compare(probeLines().length, 0, "no copy started")
    }

    function test_3_otherThemeRestartsOnceInIt() {
        if (copy)
            return
        mouseClick(item("lightBtn"))
        verify(Public.themeRestartPending)
        compare(Public.theme.name, "light")
        compare(host.setting("theme"), "light", "stored before the restart")
        tryVerify(function () { return String(window.color) === tables.light.bgColor }, 3000,
                  "the colours change")

        // While the restart is under way, neither button changes anything.
        mouseClick(item("darkBtn"))
        Public.switchTheme("dark")
        mouseClick(item("lightBtn"))
        compare(Public.theme.name, "light")
        compare(host.setting("theme"), "light")

        // The first copy comes up light and switches back; the second, dark.
        tryVerify(function () { return probeLines().length >= 2 }, 90000, "both restarted copies reported")
        wait(3000)
        var lines = probeLines()
        compare(lines.length, 2, "one copy per switch: " + JSON.stringify(lines))
        compare(lines[0].step, "1")
        compareWithTable(lines[0], "light", "first copy")
        compare(lines[0].stored, "light")
        verify(!lines[0].portOpen, "a fresh start with the port closed")
        verify(lines[0].activeButtonIgnored, "the light button in the light theme")
        compare(lines[1].step, "2")
        compareWithTable(lines[1], "dark", "second copy")
        compare(lines[1].stored, "dark")
        verify(lines[1].activeButtonIgnored, "the dark button in the dark theme")
        verify(lines[0].pid !== lines[1].pid && lines[0].pid !== host.processId())
    }
}
