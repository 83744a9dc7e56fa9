import QtQuick 2.15
import QtTest 1.2
import "../../../qml/sidebar_rules.js" as Rules

// The sidebar's rules on their own: QCW pulse texts, output power, access
// code, slider values, the device values the sliders cannot show, what Save
// sends and the order of the advanced parameters.
TestCase {
    name: "SidebarRules"

    function test_pulsePeriod_data() {
        return [
            { tag: "50% at 1 kHz", duty: "50", freq: "1000", width: "  500.00uS", period: "    1.00mS" },
            { tag: "100% at 1 Hz", duty: "100", freq: "1", width: "     1.00S", period: "     1.00S" },
            { tag: "duty 0", duty: "0", freq: "1000", width: "    0.00uS", period: "    1.00mS" },
            { tag: "duty 1 at 1 Hz", duty: "1", freq: "1", width: "   10.00mS", period: "     1.00S" },
            { tag: "highest frequency", duty: "100", freq: "65535", width: "   15.26uS", period: "   15.26uS" },
            { tag: "just below a unit", duty: "100", freq: "999", width: "    1.00mS", period: "    1.00mS" },
            { tag: "1 ms exactly", duty: "50", freq: "500", width: "    1.00mS", period: "    2.00mS" },
            { tag: "1 ms from thirds", duty: "30", freq: "300", width: "    1.00mS", period: "    3.33mS" },
            { tag: "just below a second", duty: "99", freq: "1", width: "  990.00mS", period: "     1.00S" },
            { tag: "integer part of the text", duty: "50.9", freq: "1000.7", width: "  500.00uS", period: "    1.00mS" },
            { tag: "numbers, not texts", duty: 50, freq: 1000, width: "  500.00uS", period: "    1.00mS" }
        ]
    }

    function test_pulsePeriod(data) {
        var texts = Rules.calculatePulsePeriod(data.duty, data.freq)
        compare(texts.pulseWidth, data.width)
        compare(texts.period, data.period)
        compare(texts.pulseWidth.length, 10)
        compare(texts.period.length, 10)
    }

    function test_pulsePeriodRefused_data() {
        return [
            { tag: "duty above 100", duty: "101", freq: "1000" },
            { tag: "negative duty", duty: "-1", freq: "1000" },
            { tag: "frequency 0", duty: "50", freq: "0" },
            { tag: "frequency above 65535", duty: "50", freq: "65536" },
            { tag: "empty duty", duty: "", freq: "1000" },
            { tag: "empty frequency", duty: "50", freq: "" },
            { tag: "letters", duty: "abc", freq: "1000" },
            { tag: "missing", duty: undefined, freq: null }
        ]
    }

    function test_pulsePeriodRefused(data) {
        var texts = Rules.calculatePulsePeriod(data.duty, data.freq)
        compare(texts.pulseWidth, "")
        compare(texts.period, "")
    }

    function test_nowPower_data() {
        return [
            { tag: "share of the rated power", info: { maxPower: 1500, db25Power: 40 }, power: 600 },
            { tag: "fraction dropped", info: { maxPower: 1234, db25Power: 33 }, power: 407 },
            { tag: "just below a watt", info: { maxPower: 99, db25Power: 1 }, power: 0 },
            { tag: "input 0", info: { maxPower: 1500, db25Power: 0 }, power: 0 },
            { tag: "db25Power missing", info: { maxPower: 1500 }, power: 0 },
            { tag: "maxPower missing", info: { db25Power: 40 }, power: 0 },
            { tag: "not a number", info: { maxPower: 1500, db25Power: "40" }, power: 0 },
            { tag: "null value", info: { maxPower: 1500, db25Power: null }, power: 0 },
            { tag: "NaN", info: { maxPower: NaN, db25Power: 40 }, power: 0 },
            { tag: "no record", info: null, power: 0 }
        ]
    }

    function test_nowPower(data) {
        compare(Rules.nowPower(data.info), data.power)
    }

    function test_accessCode_data() {
        return [
            { tag: "the code", text: "52074913", ok: true },
            { tag: "trailing space", text: "52074913 ", ok: false },
            { tag: "leading space", text: " 52074913", ok: false },
            { tag: "one digit short", text: "5207491", ok: false },
            { tag: "one digit more", text: "520749130", ok: false },
            { tag: "as a number", text: 52074913, ok: false },
            { tag: "empty", text: "", ok: false }
        ]
    }

    function test_accessCode(data) {
        compare(Rules.accessCodeAccepted(data.text), data.ok)
    }

    function test_sliderValue_data() {
        return [
            { tag: "value", value: 37, upper: false, shown: 37 },
            { tag: "zero shows the lower end", value: 0, upper: false, shown: 10 },
            { tag: "missing shows the lower end", value: undefined, upper: false, shown: 10 },
            { tag: "null shows the lower end", value: null, upper: false, shown: 10 },
            { tag: "high handle at zero shows the upper end", value: 0, upper: true, shown: 50 },
            { tag: "high handle missing shows the upper end", value: undefined, upper: true, shown: 50 },
            { tag: "high handle value", value: 35, upper: true, shown: 35 },
            { tag: "not a number", value: "35", upper: false, shown: 10 },
            { tag: "below the range shows the lower end", value: 5, upper: false, shown: 10 },
            { tag: "high handle below the range", value: 9, upper: true, shown: 10 },
            { tag: "above the range shows the upper end", value: 51, upper: false, shown: 50 },
            { tag: "the ends themselves", value: 50, upper: false, shown: 50 },
            { tag: "negative", value: -3, upper: true, shown: 10 }
        ]
    }

    function test_sliderValue(data) {
        compare(Rules.sliderValue(data.value, 10, 50, data.upper), data.shown)
    }

    // A range slider from 10 to 50: where its handles sit for a device window
    // and which of the two device values they cannot show.
    function test_window_data() {
        return [
            { tag: "inside", low: 15, high: 35, shown: [15, 35], unshown: [undefined, undefined] },
            { tag: "at the ends", low: 10, high: 50, shown: [10, 50], unshown: [undefined, undefined] },
            { tag: "closed", low: 30, high: 30, shown: [30, 30], unshown: [undefined, undefined] },
            { tag: "low below the range", low: 5, high: 35, shown: [10, 35], unshown: [5, undefined] },
            { tag: "high above the range", low: 15, high: 60, shown: [15, 50], unshown: [undefined, 60] },
            { tag: "low 0", low: 0, high: 35, shown: [10, 35], unshown: [0, undefined] },
            { tag: "high 0", low: 15, high: 0, shown: [15, 50], unshown: [undefined, 0] },
            { tag: "low below, high 0", low: 5, high: 0, shown: [10, 50], unshown: [5, 0] },
            { tag: "inverted", low: 45, high: 20, shown: [20, 20], unshown: [45, undefined] },
            { tag: "inverted by one", low: 21, high: 20, shown: [20, 20], unshown: [21, undefined] },
            { tag: "inverted across the range", low: 60, high: 5, shown: [10, 10], unshown: [60, 5] },
            { tag: "both out on one side", low: 55, high: 60, shown: [50, 50], unshown: [55, 60] },
            { tag: "low missing", low: undefined, high: 35, shown: [10, 35], unshown: [undefined, undefined] },
            { tag: "high missing", low: 15, high: null, shown: [15, 50], unshown: [undefined, undefined] }
        ]
    }

    function test_window(data) {
        compare(Rules.windowValues(data.low, data.high, 10, 50), data.shown)
        compare(Rules.unshownWindowValue(data.low, data.high, 10, 50, false), data.unshown[0], "low")
        compare(Rules.unshownWindowValue(data.low, data.high, 10, 50, true), data.unshown[1], "high")
    }

    // Sliders from 0 to 100 unless told: 0 is such a slider's lower end,
    // so it shows 0 as it is.
    function test_unshownSliderValue_data() {
        return [
            { tag: "inside", value: 37, unshown: undefined },
            { tag: "0 at the lower end", value: 0, unshown: undefined },
            { tag: "0 below a raised range", value: 0, from: 10, to: 50, unshown: 0 },
            { tag: "the raised lower end", value: 10, from: 10, to: 50, unshown: undefined },
            { tag: "the upper end", value: 100, unshown: undefined },
            { tag: "just above", value: 101, unshown: 101 },
            { tag: "placeholder", value: 500, unshown: 500 },
            { tag: "negative", value: -1, unshown: -1 },
            { tag: "missing", value: undefined, unshown: undefined },
            { tag: "null", value: null, unshown: undefined },
            { tag: "not a number", value: "500", unshown: undefined }
        ]
    }

    function test_unshownSliderValue(data) {
        var from = data.from !== undefined ? data.from : 0
        var to = data.to !== undefined ? data.to : 100
        compare(Rules.unshownSliderValue(data.value, from, to), data.unshown)
    }

    function test_valueToSend_data() {
        var shown = { "inletWaterTempLow": 5, "inletWaterTempHigh": 0, "pdAlarmThes": 500,
                      "outletWaterTempLow": 35, "outletWaterTempHigh": 50, "redPowerLevel": 100,
                      "humiHigh": 101, "pumpCurrentAlarmThes": 65535 }
        return [
            { tag: "untouched: the device's", name: "inletWaterTempLow", shown: shown, control: 10,
              moved: false, sent: 5 },
            { tag: "moved: the control's", name: "inletWaterTempLow", shown: shown, control: 11, moved: true,
              sent: 11 },
            { tag: "moved back onto the shown value", name: "inletWaterTempLow", shown: shown, control: 10,
              moved: true, sent: 10 },
            { tag: "untouched 0 shown as an end", name: "inletWaterTempHigh", shown: shown, control: 50,
              moved: false, sent: 0 },
            { tag: "untouched placeholder", name: "pdAlarmThes", shown: shown, control: 100, moved: false,
              sent: 500 },
            { tag: "untouched in range", name: "outletWaterTempLow", shown: shown, control: 35, moved: false,
              sent: 35 },
            { tag: "largest water limit the command carries", name: "outletWaterTempHigh", shown: shown,
              control: 50, moved: false, sent: 50 },
            { tag: "largest level the command carries", name: "redPowerLevel", shown: shown, control: 100,
              moved: false, sent: 100 },
            { tag: "largest 16-bit threshold", name: "pumpCurrentAlarmThes", shown: shown, control: 100,
              moved: false, sent: 65535 },
            { tag: "a level the command cannot carry", name: "humiHigh", shown: shown, control: 100,
              moved: false, sent: 100 },
            { tag: "a water limit the command cannot carry", name: "inletWaterTempHigh",
              shown: { "inletWaterTempHigh": 51 }, control: 50, moved: false, sent: 50 },
            { tag: "negative", name: "inletWaterTempLow", shown: { "inletWaterTempLow": -1 }, control: 10,
              moved: false, sent: 10 },
            { tag: "device value missing", name: "humiHigh", shown: { "pdAlarmThes": 30 }, control: 80,
              moved: false, sent: 80 },
            { tag: "device value null", name: "humiHigh", shown: { "humiHigh": null }, control: 80,
              moved: false, sent: 80 },
            { tag: "device value not a number", name: "humiHigh", shown: { "humiHigh": "7" }, control: 80,
              moved: false, sent: 80 },
            { tag: "no capture", name: "humiHigh", shown: null, control: 80, moved: false, sent: 80 },
            { tag: "moved, no capture", name: "humiHigh", shown: null, control: 12, moved: true, sent: 12 }
        ]
    }

    function test_valueToSend(data) {
        compare(Rules.valueToSend(data.name, data.shown, data.control, data.moved), data.sent)
    }

    // Every alarm field has its limit: a missing one would send the
    // control's value in place of every device value.
    function test_sendMaxCoversTheAlarmFields() {
        var alarmFields = Rules.advancedFields.filter(function (f) { return f.indexOf("qcw") !== 0 })
        compare(Object.keys(Rules.sendMax).sort(), alarmFields.sort())
    }

    function test_selectedPort_data() {
        var ports = [{ "port": "/dev/a" }, { "port": "/dev/b" }]
        return [
            { tag: "not connected: the first", ports: ports, open: "", index: 0 },
            { tag: "the open port", ports: ports, open: "/dev/b", index: 1 },
            { tag: "open port not listed: the first", ports: ports, open: "/dev/c", index: 0 },
            { tag: "empty list: none", ports: [], open: "/dev/a", index: -1 }
        ]
    }

    function test_selectedPort(data) {
        compare(Rules.selectedPort(data.ports, data.open), data.index)
    }

    function test_inputText() {
        compare(Rules.inputText(70, 0), "70")
        compare(Rules.inputText(0, 1), "0")
        compare(Rules.inputText(undefined, 1), "1")
        compare(Rules.inputText(null, 0), "0")
    }

    function test_capture() {
        var record = { qcwFreq: 2000, qcwDuty: 30, qcwEnable: 1, redPowerLevel: 7, humiHigh: 80,
                       pdAlarmThes: 30, pumpCurrentAlarmThes: 10, inletWaterTempLow: 15,
                       inletWaterTempHigh: 35, outletWaterTempLow: 16, outletWaterTempHigh: 40,
                       maxPower: 1500, alarmState: 0 }
        var shown = Rules.captureAdvanced(record)
        compare(Object.keys(shown).sort(), Rules.advancedFields.slice().sort())
        compare(Object.keys(shown).length, 11)
        compare(shown.qcwFreq, 2000)
        compare(shown.outletWaterTempLow, 16)
        verify(shown !== record)

        verify(Rules.captureWanted(true, shown))
        verify(!Rules.captureWanted(false, shown))
        verify(Rules.captureWanted(false, null))
        verify(Rules.captureWanted(false, Rules.captureAdvanced({})))
    }

    function test_advancedParamArgs() {
        var args = Rules.advancedParamArgs({
            qcwDuty: "55", qcwFreq: "2345", qcwEnable: true, redPowerLevel: 61, pdAlarmThes: 42,
            humiThes: 73, pumpThes: 24.7, inTempLow: 12, inTempHigh: 38, outTempLow: 17, outTempHigh: 44
        })
        compare(args, [55, 2345, true, 61, 42, 73, 24, 12, 38, 17, 44])
        compare(typeof args[2], "boolean")

        args = Rules.advancedParamArgs({
            qcwDuty: "0", qcwFreq: "1", qcwEnable: 0, redPowerLevel: 0, pdAlarmThes: 0, humiThes: 0,
            pumpThes: 0, inTempLow: 10, inTempHigh: 50, outTempLow: 10, outTempHigh: 50
        })
        compare(args, [0, 1, false, 0, 0, 0, 0, 10, 50, 10, 50])
    }

    function test_advancedParamArgsRefuseNonNumbers() {
        var form = { qcwDuty: "", qcwFreq: "1000", qcwEnable: false, redPowerLevel: 1, pdAlarmThes: 1,
                     humiThes: 1, pumpThes: 1, inTempLow: 10, inTempHigh: 50, outTempLow: 10, outTempHigh: 50 }
        compare(Rules.advancedParamArgs(form), null)
        form.qcwDuty = "50"
        form.qcwFreq = "x"
        compare(Rules.advancedParamArgs(form), null)
    }
}
