import QtQuick 2.15
import QtTest 1.2
import "../../../qml"
import "../../../qml/content_rules.js" as Rules
import "../../../qml/status_rules.js" as Items

// The page's rules on their own: list and alarm lines, the status items'
// values and colours, the flow geometry, the capture, ON and the chart
// samples.
TestCase {
    name: "ContentRules"

    function item(key) {
        var i = Items.itemIndex(key)
        verify(i >= 0, key)
        return i
    }

    function test_listLine_data() {
        return [
            { tag: "single digits padded", date: new Date(2024, 0, 2, 3, 4, 5), text: "abc", line: "[03:04:05]> abc" },
            { tag: "24-hour clock", date: new Date(2024, 11, 31, 23, 59, 59), text: "x", line: "[23:59:59]> x" },
            { tag: "midnight", date: new Date(2024, 5, 1, 0, 0, 0), text: "", line: "[00:00:00]> " },
            { tag: "markup kept as text", date: new Date(2024, 5, 1, 12, 30, 0), text: "<b>x</b>", line: "[12:30:00]> <b>x</b>" }
        ]
    }

    function test_listLine(data) {
        compare(Rules.listLine(data.date, data.text), data.line)
    }

    // Feeds a sequence of words as the page does and collects the lines.
    function alarmLines(words) {
        var prev = null
        var out = []
        for (var i = 0; i < words.length; ++i) {
            if (Rules.alarmChangeDue(prev, words[i]))
                out.push(Rules.alarmChangeLine(prev, words[i], "T"))
            prev = Rules.alarmWord(words[i])
        }
        return out
    }

    function test_alarmChange_data() {
        return [
            { tag: "0, 0x8010, 0", words: [0, 0x8010, 0], lines: ["[0->8010] T", "[8010->0] T"] },
            { tag: "first record non-zero", words: [0x8530], lines: ["[0->8530] T"] },
            { tag: "first record zero adds nothing", words: [0, 0, 0], lines: [] },
            { tag: "repeated word adds nothing", words: [0x8020, 0x8020], lines: ["[0->8020] T"] },
            { tag: "lower-case hex without padding", words: [0xABCD, 0x1], lines: ["[0->abcd] T", "[abcd->1] T"] },
            { tag: "missing word is 0", words: [0x8010, undefined], lines: ["[0->8010] T", "[8010->0] T"] },
            { tag: "missing then 0 is no change", words: [0x8010, undefined, 0], lines: ["[0->8010] T", "[8010->0] T"] },
            { tag: "first record without word", words: [undefined, 0x1], lines: ["[0->1] T"] },
            { tag: "first record null word", words: [null, 0], lines: [] }
        ]
    }

    function test_alarmChange(data) {
        compare(alarmLines(data.words), data.lines)
    }

    function test_refreshLine() {
        compare(Rules.refreshLine(0x8530, "T"), "[8530] T")
        compare(Rules.refreshLine(undefined, "T"), "[0] T")
        compare(Rules.refreshLine(0, "T"), "[0] T")
    }

    function tr(text) {
        return "<" + text + ">"
    }

    function test_itemValues_data() {
        return [
            { tag: "model as received", key: "maxPower", rec: { maxPower: 1500 }, value: 1500 },
            { tag: "device id", key: "chipShortId", rec: { chipShortId: "SN1" }, value: "SN1" },
            { tag: "laser on", key: "laserOutputting", rec: { laserOutputting: 1 }, value: "<使能开启>" },
            { tag: "laser off", key: "laserOutputting", rec: { laserOutputting: 0 }, value: "<使能关闭>" },
            { tag: "laser missing", key: "laserOutputting", rec: {}, value: "----" },
            { tag: "external", key: "mode", rec: { mode: 0 }, value: "<外控>" },
            { tag: "estop pressed", key: "emergencyStop", rec: { emergencyStop: 1 }, value: "<急停>" },
            { tag: "bluetooth not ready", key: "bleState", rec: { bleState: 0 }, value: "<未就绪>" },
            { tag: "chiller open", key: "waterLink", rec: { waterLink: 0 }, value: "<断开>" },
            { tag: "inlet one decimal", key: "inletWaterTemp", rec: { inletWaterTemp: 21.549999 }, value: "21.5" },
            { tag: "inlet negative", key: "inletWaterTemp", rec: { inletWaterTemp: -2.5 }, value: "-2.5" },
            { tag: "inlet missing", key: "inletWaterTemp", rec: {}, value: "--" },
            { tag: "humidity no decimals", key: "ambientHumi", rec: { ambientHumi: 45.6 }, value: "46" },
            { tag: "red current as received", key: "redCurrent", rec: { redCurrent: 15 }, value: 15 },
            { tag: "red current missing", key: "redCurrent", rec: {}, value: "--" },
            { tag: "optical", key: "opticalVals", rec: { opticalVals: [4000, 3680] }, value: [4000, 3680] },
            { tag: "optical missing", key: "opticalVals", rec: {}, value: ["--", "--"] },
            { tag: "optical short", key: "opticalVals", rec: { opticalVals: [7] }, value: [7, "--"] },
            { tag: "pumps one decimal", key: "pumpCurrent", rec: { pumpCurrent: [50, 12.345, 0, 0.05] },
              value: ["50.0", "12.3", "0.0", "0.1"] },
            { tag: "pumps missing", key: "pumpCurrent", rec: {}, value: ["--", "--", "--", "--"] }
        ]
    }

    function test_itemValues(data) {
        compare(Items.itemValue(item(data.key), data.rec, tr), data.value)
    }

    function test_itemValuesOfNoRecord() {
        compare(Items.itemValue(item("chipShortId"), null), undefined)
        compare(Items.itemValue(item("laserOutputting"), undefined), "----")
        compare(Items.itemValue(item("pumpCurrent"), null), ["--", "--", "--", "--"])
    }

    function test_itemAlarms_data() {
        return [
            { tag: "laser on is orange", key: "laserOutputting", rec: { laserOutputting: 1 }, alarm: true, color: "orange" },
            { tag: "laser off", key: "laserOutputting", rec: { laserOutputting: 0 }, alarm: false },
            { tag: "estop bit", key: "emergencyStop", rec: { alarmState: 0xC000 }, alarm: true, color: "red" },
            { tag: "estop flag alone is no alarm", key: "emergencyStop", rec: { emergencyStop: 1, alarmState: 0 }, alarm: false },
            { tag: "stop bit alone alarms nothing", key: "emergencyStop", rec: { alarmState: 0x8000 }, alarm: false },
            { tag: "storage bad", key: "framGood", rec: { framGood: 0 }, alarm: true, color: "red" },
            { tag: "storage good", key: "framGood", rec: { framGood: 1 }, alarm: false },
            { tag: "bluetooth bad", key: "bleState", rec: { bleState: 0 }, alarm: true, color: "red" },
            { tag: "chiller bit", key: "waterLink", rec: { alarmState: 0x8020, waterLink: 1 }, alarm: true, color: "red" },
            { tag: "chiller flag alone is no alarm", key: "waterLink", rec: { alarmState: 0, waterLink: 0 }, alarm: false },
            { tag: "qbh bit", key: "qbhLink", rec: { alarmState: 0x8010 }, alarm: true, color: "red" },
            { tag: "qbh other bit", key: "qbhLink", rec: { alarmState: 0x8020 }, alarm: false },
            { tag: "inlet hot is red", key: "inletWaterTemp", rec: { alarmState: 0x8100 }, alarm: true, color: "red" },
            { tag: "inlet cold is blue", key: "inletWaterTemp", rec: { alarmState: 0x8200 }, alarm: true, color: "#1dddff" },
            { tag: "inlet both is blue", key: "inletWaterTemp", rec: { alarmState: 0x8300 }, alarm: true, color: "#1dddff" },
            { tag: "inlet ignores outlet bits", key: "inletWaterTemp", rec: { alarmState: 0x8C00 }, alarm: false },
            { tag: "outlet cold", key: "outletWaterTemp", rec: { alarmState: 0x8800 }, alarm: true, color: "#1dddff" },
            { tag: "ambient never", key: "ambientTemp", rec: { alarmState: 0xFFFF }, alarm: false },
            { tag: "humidity warning", key: "ambientHumi", rec: { alarmState: 0x0001 }, alarm: true, color: "#1dddff" },
            { tag: "humidity not by bluetooth", key: "ambientHumi", rec: { alarmState: 0x0002 }, alarm: false },
            { tag: "photodiode", key: "opticalVals", rec: { alarmState: 0x9000 }, alarm: true, color: "red" },
            { tag: "pump current", key: "pumpCurrent", rec: { alarmState: 0xA000 }, alarm: true, color: "red" },
            { tag: "pump current not by estop", key: "pumpCurrent", rec: { alarmState: 0xC000 }, alarm: false },
            { tag: "model never", key: "maxPower", rec: { alarmState: 0xFFFF }, alarm: false }
        ]
    }

    function test_itemAlarms(data) {
        var i = item(data.key)
        compare(Items.itemAlarm(i, data.rec, Public), data.alarm)
        if (data.alarm)
            verify(Qt.colorEqual(Public.theme[Items.itemAlarmColorRole(i, data.rec, Public)], data.color),
                   data.tag)
    }

    function test_itemTable() {
        var keys = Items.statusItems.map(function (it) { return it.key })
        compare(keys, ["maxPower", "chipShortId", "laserOutputting", "mode", "emergencyStop",
                       "framGood", "rtcGood", "bleState", "waterLink", "qbhLink", "inletWaterTemp",
                       "outletWaterTemp", "ambientTemp", "ambientHumi", "redCurrent", "opticalVals",
                       "pumpCurrent"])
        var tones = Items.statusItems.map(function (it) { return it.tone })
        compare(tones.lastIndexOf("identity"), 3, "the first four are identity items")
        compare(tones.indexOf("health"), 4)
        // Only the last spans two cells.
        compare(Items.statusItems.filter(function (it) { return it.wide }).length, 1)
        verify(Items.statusItems[Items.statusItems.length - 1].wide)
    }

    function test_flowGeometry_data() {
        return [
            { tag: "card width", card: 400, area: 400, cell: 190, columns: 2, wide: 382, padding: 8 },
            { tag: "narrower area", card: 400, area: 300, cell: 276, columns: 1, wide: 276, padding: 8 },
            { tag: "wide area centres", card: 400, area: 1000, cell: 190, columns: 5, wide: 382, padding: 13 }
        ]
    }

    function test_flowGeometry(data) {
        var cell = Rules.cellWidth(data.card, data.area)
        compare(cell, data.cell)
        var columns = Rules.columnCount(data.area, cell)
        compare(columns, data.columns)
        compare(Rules.wideCellWidth(cell, columns), data.wide)
        compare(Rules.flowLeftPadding(data.area, cell, columns), data.padding)
        verify(data.padding + Rules.wideCellWidth(cell, columns) <= data.area, "the wide item fits")
    }

    function test_cardHeights() {
        // Eight rows of two and the wide row: 9 * 52 + 8 * 2.
        compare(Rules.infoCardHeight(700, 484), 366)
        compare(Rules.infoCardHeight(1200, 484), 534)
        compare(Rules.alarmCardHeight(700, 366), 120)
        compare(366 + 20 + 174 + 20 + Rules.alarmCardHeight(700, 366), 700)
    }

    // Every combination: a closed port is offline whatever the online flag
    // still says; an open one waits for its own first record, even while the
    // flag still holds from the connection before.
    function test_liveState_data() {
        return [
            { tag: "closed, never a record", open: false, since: false, online: false, word: "离线" },
            { tag: "closed just now, still online", open: false, since: true, online: true, word: "离线" },
            { tag: "closed, online from an earlier port", open: false, since: false, online: true, word: "离线" },
            { tag: "closed after silence", open: false, since: true, online: false, word: "离线" },
            { tag: "open, nothing yet", open: true, since: false, online: false, word: "等待数据" },
            { tag: "reopened within the timeout", open: true, since: false, online: true, word: "等待数据" },
            { tag: "open and answering", open: true, since: true, online: true, word: "" },
            { tag: "open, fell silent", open: true, since: true, online: false, word: "离线" }
        ]
    }

    function test_liveState(data) {
        compare(Rules.liveStateText(data.open, data.since, data.online), data.word)
    }

    function test_inputText_data() {
        return [
            { tag: "value", val: 1500, min: 1, text: "1500" },
            { tag: "zero shows the minimum", val: 0, min: 1, text: "1" },
            { tag: "missing shows the minimum", val: undefined, min: 1, text: "1" },
            { tag: "null shows the minimum", val: null, min: 0, text: "0" },
            { tag: "not a number shows the minimum", val: "x", min: 1, text: "1" }
        ]
    }

    function test_inputText(data) {
        compare(Rules.inputText(data.val, data.min), data.text)
    }

    function test_capture_data() {
        return [
            { tag: "armed", armed: true, rec: { intDac: 20 }, due: true },
            { tag: "zero peak power never captures", armed: true, rec: { intDac: 0 }, due: false },
            { tag: "missing peak power", armed: true, rec: {}, due: false },
            { tag: "not armed", armed: false, rec: { intDac: 20 }, due: false },
            { tag: "no record", armed: true, rec: null, due: false }
        ]
    }

    function test_capture(data) {
        compare(Rules.captureDue(data.armed, data.rec), data.due)
    }

    function test_capturedParams() {
        var rec = { intDac: 30, intLaserOnMs: 800, intPwmDuty: 40, intPwmFreq: 2500, alarmState: 1, mode: 1 }
        compare(Rules.capturedParams(rec, null), { intDac: 30, intLaserOnMs: 800, intPwmDuty: 40, intPwmFreq: 2500 })
    }

    // A device in continuous emission reports the continuous on-time; the
    // on-time input keeps its value, so that ON after leaving continuous mode
    // sends a timed emission.
    function test_capturedContinuousOnTime() {
        var previous = { intDac: 20, intLaserOnMs: 1500, intPwmDuty: 20, intPwmFreq: 1000 }
        var rec = { intDac: 30, intLaserOnMs: 0xFAAA, intPwmDuty: 40, intPwmFreq: 2500 }
        compare(Rules.capturedParams(rec, previous), { intDac: 30, intLaserOnMs: 1500, intPwmDuty: 40, intPwmFreq: 2500 })
        // Nothing to keep: the input shows its minimum.
        compare(Rules.capturedParams(rec, null).intLaserOnMs, undefined)
        rec.intLaserOnMs = 0xFAA9
        compare(Rules.capturedParams(rec, previous).intLaserOnMs, 0xFAA9)
    }

    function test_onArguments_data() {
        return [
            { tag: "timed", continuous: false, onMs: "1500", openMs: 1500 },
            { tag: "continuous ignores the on-time", continuous: true, onMs: "1500", openMs: 64170 },
            { tag: "continuous with an empty on-time", continuous: true, onMs: "", openMs: 0xFAAA }
        ]
    }

    function test_onArguments(data) {
        var a = Rules.onArguments("35", "40", "2000", data.onMs, data.continuous)
        compare(a, { power: 35, duty: 40, freq: 2000, openMs: data.openMs })
    }

    function test_onArgumentsAreIntegers() {
        var a = Rules.onArguments("7.9", "08", "x", "", false)
        compare(a.power, 7)
        compare(a.duty, 8)
        compare(a.freq, 1, "no number: the frequency's minimum")
        compare(a.openMs, 1)
    }

    function test_chartSamples_data() {
        var full = { opticalVals: [4000, 3680], ambientTemp: 24, inletWaterTemp: 21.5, outletWaterTemp: 22.1,
                     pumpCurrent: [12, 12.1, 11.9, 12], maxPower: 1500, db25Power: 40 }
        return [
            { tag: "full record", rec: full, optical: [4000, 3680], temps: [24, 21.5, 22.1],
              pumps: [12, 12.1, 11.9, 12], power: [600] },
            { tag: "no optical", rec: { pumpCurrent: [1, 2, 3, 4], maxPower: 1000, db25Power: 50 },
              optical: null, temps: null, pumps: [1, 2, 3, 4], power: [500] },
            { tag: "no pumps", rec: { opticalVals: [1, 2], ambientTemp: 3, inletWaterTemp: 4, outletWaterTemp: 5 },
              optical: [1, 2], temps: [3, 4, 5], pumps: null, power: null },
            { tag: "no analogue demand", rec: { pumpCurrent: [0, 0, 0, 0], maxPower: 1500 },
              optical: null, temps: null, pumps: [0, 0, 0, 0], power: [0] },
            { tag: "empty record", rec: {}, optical: null, temps: null, pumps: null, power: null },
            { tag: "no record", rec: null, optical: null, temps: null, pumps: null, power: null }
        ]
    }

    function test_chartSamples(data) {
        var s = Rules.chartSamples(data.rec)
        compare(s.optical, data.optical)
        compare(s.temps, data.temps)
        compare(s.pumps, data.pumps)
        compare(s.power, data.power)
    }
}
