import QtQuick 2.15
import QtTest 1.2
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// The shared rules: alarm words, device messages and value formatting, in
// both languages.
TestCase {
    name: "Public"

    TestHost {
        id: host
    }

    // Public reads the theme when it is first used: that is after this.
    function initTestCase() {
        host.setSetting("theme", "dark")
    }

    function useLanguage(code) {
        if (code === "en")
            Language.loadEnglish()
        else
            Language.loadChinese()
    }

    function cleanup() {
        useLanguage("cn")
        Public.devQcwEnable = false
    }

    function test_alarmWords_data() {
        return [
            { tag: "cleared", alarm: 0, cn: "报警解除", en: "AlarmCleared" },
            { tag: "four stopping alarms in table order", alarm: 0x8530,
              cn: "QBH断开, 水冷断开, 进水温度高, 出水温度高",
              en: "QBH_Disconnection, WaterCoolingDisconnection, InletWaterTemperatureHigh, OutletWaterTemperatureHigh" },
            { tag: "stop bit alone", alarm: 0x8000, cn: "未知错误", en: "UnknowError" },
            { tag: "bit no row holds", alarm: 0x0004, cn: "未知错误", en: "UnknowError" },
            { tag: "bits 2, 3, 6, 7 and 15", alarm: 0x80CC, cn: "未知错误", en: "UnknowError" },
            { tag: "emergency stop without the stop bit's text", alarm: 0xC000, cn: "急停", en: "EmergencyStop" },
            { tag: "warnings and the last row", alarm: 0x7003,
              cn: "湿度过高, 蓝牙未就绪, PD错误, 电流错误, 急停",
              en: "ExcessiveHumidity, BleNotReady, PD_Error, CurrentError, EmergencyStop" },
            { tag: "every bit", alarm: 0xFFFF,
              cn: "湿度过高, 蓝牙未就绪, QBH断开, 水冷断开, 进水温度高, 进水温度低, 出水温度高, 出水温度低, PD错误, 电流错误, 急停" }
        ]
    }

    function test_alarmWords(data) {
        compare(Public.getAlarmMsg(data.alarm), data.cn)
        if (data.en !== undefined) {
            useLanguage("en")
            compare(Public.getAlarmMsg(data.alarm), data.en)
        }
    }

    // Each alarm of the manual's table on its own, by its documented code.
    function test_eachAlarmAlone_data() {
        return [
            { tag: "0001", alarm: 0x0001, cn: "湿度过高", en: "ExcessiveHumidity" },
            { tag: "0002", alarm: 0x0002, cn: "蓝牙未就绪", en: "BleNotReady" },
            { tag: "8010", alarm: 0x8010, cn: "QBH断开", en: "QBH_Disconnection" },
            { tag: "8020", alarm: 0x8020, cn: "水冷断开", en: "WaterCoolingDisconnection" },
            { tag: "8100", alarm: 0x8100, cn: "进水温度高", en: "InletWaterTemperatureHigh" },
            { tag: "8200", alarm: 0x8200, cn: "进水温度低", en: "InletWaterTemperatureLow" },
            { tag: "8400", alarm: 0x8400, cn: "出水温度高", en: "OutletWaterTemperatureHigh" },
            { tag: "8800", alarm: 0x8800, cn: "出水温度低", en: "OutletWaterTemperatureLow" },
            { tag: "9000", alarm: 0x9000, cn: "PD错误", en: "PD_Error" },
            { tag: "A000", alarm: 0xA000, cn: "电流错误", en: "CurrentError" },
            { tag: "C000", alarm: 0xC000, cn: "急停", en: "EmergencyStop" },
            { tag: "two warnings", alarm: 0x0003, cn: "湿度过高, 蓝牙未就绪", en: "ExcessiveHumidity, BleNotReady" },
            { tag: "inlet low and outlet low", alarm: 0x8A00, cn: "进水温度低, 出水温度低",
              en: "InletWaterTemperatureLow, OutletWaterTemperatureLow" }
        ]
    }

    function test_eachAlarmAlone(data) {
        compare(Public.getAlarmMsg(data.alarm), data.cn)
        useLanguage("en")
        compare(Public.getAlarmMsg(data.alarm), data.en)
    }

    function test_alarmMasks() {
        compare(Public.ALARM_QBH_LINK, 0x8010)
        compare(Public.ALARM_EMERGENCY_STOP, 0xC000)
        compare(Public.ALARM_IMPORTANT_MASK, 0x7FF0)
        compare(Public.ALARM_OUT_WATER_L & Public.ALARM_IMPORTANT_MASK, 0x0800)
    }

    function test_keywordTable_data() {
        return [
            { tag: "advanced", msg: "Set advanced param success", cn: "高级参数设置成功", en: "Advanced parameters set successfully" },
            { tag: "calibrated", msg: "Calibrate ok", cn: "校准完成", en: "Calibration completed" },
            { tag: "calibration failed", msg: "Calibrate failed", cn: "校准失败", en: "Calibration failed" },
            { tag: "qcw on", msg: "Set qcw on", cn: "QCW模式启用", en: "QCW mode enabled" },
            { tag: "qcw off", msg: "Set qcw off", cn: "QCW模式禁用", en: "QCW mode disabled" },
            { tag: "pd lock keeps its number", msg: "PD ERROR LOCK(3)", cn: "光电报警锁定(3)", en: "PD ERROR LOCK(3)" },
            { tag: "reset", msg: "Reset param ok", cn: "重置参数完成", en: "Reset parameters completed" },
            { tag: "only the first occurrence", msg: "Calibrate ok, Calibrate ok", cn: "校准完成, Calibrate ok", en: "Calibration completed, Calibrate ok" },
            { tag: "first row wins", msg: "Reset param ok; Set qcw on", cn: "Reset param ok; QCW模式启用", en: "Reset param ok; QCW mode enabled" },
            { tag: "unknown stays as it came", msg: "hello <b>world</b>", cn: "hello <b>world</b>", en: "hello <b>world</b>" },
            { tag: "case-sensitive", msg: "calibrate OK", cn: "calibrate OK", en: "calibrate OK" },
            { tag: "running time", msg: "PwrOn:1260mins LasOn:312mins",
              cn: "开机总时长:1260分钟 出光总时长:312分钟", en: "TotalPowerOnTime:1260mins TotalLaserOnTime:312mins" }
        ]
    }

    function test_keywordTable(data) {
        compare(Public.msgKeywordToText(data.msg), data.cn)
        useLanguage("en")
        compare(Public.msgKeywordToText(data.msg), data.en)
    }

    function test_versionMessageSetsQcwCapability() {
        compare(Public.msgKeywordToText("DevVer:V2.3.1-QCW"), "设备版本:V2.3.1-QCW")
        verify(Public.devQcwEnable)
        compare(Public.msgKeywordToText("DevVer:V2.3.1"), "设备版本:V2.3.1")
        verify(!Public.devQcwEnable)
        useLanguage("en")
        compare(Public.msgKeywordToText("DevVer:QCW"), "DeviceVersion:QCW")
        verify(Public.devQcwEnable)
        // A keyword-table match ends the rules: the capability is untouched.
        compare(Public.msgKeywordToText("Set qcw off DevVer:V2"), "QCW mode disabled DevVer:V2")
        verify(Public.devQcwEnable)
        Public.msgKeywordToText("Calibrate ok DevVer:QCW")
        Public.devQcwEnable = false
        Public.msgKeywordToText("Set qcw on DevVer:QCW")
        verify(!Public.devQcwEnable)
    }

    function test_infoFormat() {
        compare(Public.infoFormat(undefined, "a", "b"), "----")
        compare(Public.infoFormat(null, "a", "b"), "----")
        compare(Public.infoFormat(0, "a", "b"), "b")
        compare(Public.infoFormat(2, "a", "b"), "a")
        compare(Public.infoFormat(true, "a", "b"), "a")
        compare(Public.infoFormat(false, "a", "b"), "b")
    }

    function test_numFormat() {
        compare(Public.numFormat(null, "--"), "--")
        compare(Public.numFormat(undefined, "--", 1), "--")
        compare(Public.numFormat(7, "--"), 7)
        compare(Public.numFormat(7, "--", -1), 7)
        compare(Public.numFormat(7, "--", 0), "7")
        compare(Public.numFormat(23.46, "--", 1), "23.5")
        compare(Public.numFormat(-0.04, "--", 2), "-0.04")
        compare(Public.numFormat(12, "--", 2), "12.00")
        var list = [1, 2.25]
        compare(Public.numFormat(list, "--"), list)
        compare(Public.numFormat([1, 12.34], "--", 1), ["1.0", "12.3"])
    }

    function test_numFormatEdges_data() {
        return [
            { tag: "zero with digits", val: 0, fix: 1, out: "0.0" },
            { tag: "zero as it is", val: 0, fix: undefined, out: 0 },
            { tag: "false is a value", val: false, fix: 0, out: "0" },
            { tag: "text rounded", val: "3.14159", fix: 2, out: "3.14" },
            { tag: "half rounds up", val: 2.5, fix: 0, out: "3" },
            { tag: "negative without decimals", val: -7.6, fix: 0, out: "-8" },
            { tag: "any negative digits leave it", val: 1.25, fix: -2, out: 1.25 },
            { tag: "text as it is", val: "abc", fix: undefined, out: "abc" },
            { tag: "missing, no digits", val: undefined, fix: -1, out: "--" },
            { tag: "missing list elements", val: [null, 2, undefined], fix: 1, out: ["--", "2.0", "--"] },
            { tag: "empty list", val: [], fix: 1, out: [] }
        ]
    }

    function test_numFormatEdges(data) {
        var out = data.fix === undefined ? Public.numFormat(data.val, "--") : Public.numFormat(data.val, "--", data.fix)
        compare(typeof out, typeof data.out)
        compare(out, data.out)
    }

    function test_infoFormatEdges_data() {
        return [
            { tag: "empty text", val: "", out: "off" },
            { tag: "NaN", val: NaN, out: "off" },
            { tag: "negative", val: -1, out: "on" },
            { tag: "text", val: "x", out: "on" },
            { tag: "zero", val: 0, out: "off" },
            { tag: "missing", val: undefined, out: "----" },
            { tag: "null", val: null, out: "----" }
        ]
    }

    function test_infoFormatEdges(data) {
        compare(Public.infoFormat(data.val, "on", "off"), data.out)
    }

    // Generous margins: the machine may be busy.
    function test_timeoutRunsOnceAfterItsDelay() {
        var fired = 0
        Public.setTimeout(function () { ++fired }, 600)
        compare(fired, 0, "never inside the call")
        wait(150)
        compare(fired, 0, "not before its delay")
        tryVerify(function () { return fired === 1 }, 3000)
        wait(1400)
        compare(fired, 1, "once")
        var zero = 0
        Public.setTimeout(function () { ++zero }, 0)
        compare(zero, 0, "a zero delay still runs later")
        tryVerify(function () { return zero === 1 }, 1000)
    }

    function test_intervalRepeatsAtItsPeriod() {
        var ticks = 0
        Public.setInterval(function () { ++ticks }, 500)
        compare(ticks, 0)
        wait(150)
        compare(ticks, 0, "not before its period")
        tryVerify(function () { return ticks >= 3 }, 5000, "ticks " + ticks)
    }

    function test_switchWhileARestartIsPendingDoesNothing() {
        var stored = Language.getTheme()
        Public.themeRestartPending = true
        Public.switchTheme("light")
        Public.switchTheme("dark")
        compare(Public.theme.name, "dark")
        compare(Language.getTheme(), stored)
        Public.themeRestartPending = false
    }

    function test_timers() {
        var fired = 0
        var ticks = 0
        Public.setTimeout(function () { ++fired }, 30)
        Public.setInterval(function () { ++ticks }, 20)
        compare(fired, 0)
        wait(200)
        compare(fired, 1)
        verify(ticks >= 3, "ticks " + ticks)
    }

    function test_themeTablesHaveTheSameKeys() {
        var dark = Public.theme
        compare(dark.name, "dark")
        var keys = ["bgColor", "cardBgColor", "cardTitleColor", "btnIconColor", "btnPressColor",
                    "btnEnterColor", "btnReleaseColor", "btnShadowLight", "btnShadowDark",
                    "textMainColor", "shadowTextBgColor", "shadowTextBorderWidth",
                    "shadowTextBorderColor", "shadowTextBorderRadius", "shadowTextShadowEnable",
                    "shadowTextShadowLight", "shadowTextShadowDark", "paramNormalColor",
                    "paramGoodColor", "chartTheme", "barTipTextColor", "barTipBgColor",
                    "barBgGradient", "barFrColor", "barBtnGradient", "barBtnBorderColor",
                    "tabBtnCheckedBgColor", "tabBtnCheckedTextColor", "tabBtnUncheckedBgColor",
                    "tabBtnUncheckedTextColor", "intCtrlCardColor", "intCtrlCardTextColor"]
        for (var i = 0; i < keys.length; ++i)
            verify(dark[keys[i]] !== undefined, keys[i])
        compare(String(dark.bgColor), "#1e1e1e")
        compare(String(dark.barTipBgColor), "#1e1e1e")
        compare(dark.barBgGradient.stops.length, 3)
    }

    function test_switchingToTheActiveThemeDoesNothing() {
        // A real switch would restart the test; the active one must not.
        Public.switchTheme(Public.theme.name)
        verify(!Public.themeRestartPending)
    }
}
