.pragma library

// The sidebar's rules, kept out of the document so that they can be checked
// on their own: the QCW pulse texts, the output power, the access code, what
// the advanced form shows for a device value and what Save sends.

// --- QCW pulse width and period ---------------------------------------------

var pulseUnits = ["S", "mS", "uS"]
var pulseTextWidth = 10
// Largest frequency the device's 16-bit field can carry.
var maxQcwFreq = 65535

function padLeft(text, width) {
    while (text.length < width)
        text = " " + text
    return text
}

// Seconds written with two decimals in S, mS or uS: scaled down a unit while
// the value is below 1, uS being the last.
function timeText(seconds) {
    var value = seconds
    var unit = 0
    while (value < 1 && unit < pulseUnits.length - 1) {
        value *= 1000
        ++unit
    }
    return padLeft(value.toFixed(2) + pulseUnits[unit], pulseTextWidth)
}

function parseInteger(text) {
    if (text === undefined || text === null)
        return NaN
    return parseInt(String(text), 10)
}

// The pulse width and period texts of a QCW duty (percent) and frequency
// (hertz), both given as the inputs' texts. Anything out of range or not a
// number gives two empty texts.
function calculatePulsePeriod(dutyText, freqText) {
    var duty = parseInteger(dutyText)
    var freq = parseInteger(freqText)
    if (isNaN(duty) || isNaN(freq) || duty < 0 || duty > 100 || freq < 1 || freq > maxQcwFreq)
        return { "pulseWidth": "", "period": "" }
    return {
        "pulseWidth": timeText(duty / (100 * freq)),
        "period": timeText(1 / freq)
    }
}

// --- Output power -----------------------------------------------------------

function isNumber(v) {
    return typeof v === "number" && isFinite(v)
}

// Present output power in whole watts: the rated power times the analogue
// power setting in percent; 0 when either is missing or not a number.
function nowPower(info) {
    if (!info || !isNumber(info.maxPower) || !isNumber(info.db25Power))
        return 0
    var power = Math.trunc(info.maxPower * info.db25Power / 100)
    return isNumber(power) ? power : 0
}

// --- Access code ------------------------------------------------------------

var accessCode = "52074913"

function accessCodeAccepted(text) {
    return text === accessCode
}

// --- Advanced form ----------------------------------------------------------

// The eleven advanced fields of a status record, under the record's names.
var advancedFields = ["humiHigh", "inletWaterTempHigh", "inletWaterTempLow", "outletWaterTempHigh",
                      "outletWaterTempLow", "pdAlarmThes", "pumpCurrentAlarmThes", "qcwDuty",
                      "qcwEnable", "qcwFreq", "redPowerLevel"]

// A new object with the eleven advanced fields of `info`.
function captureAdvanced(info) {
    var shown = {}
    for (var i = 0; i < advancedFields.length; ++i)
        shown[advancedFields[i]] = info ? info[advancedFields[i]] : undefined
    return shown
}

// Whether the next record must be copied into the form: when asked to, or
// while the held copy is not a real capture yet.
function captureWanted(updateFlag, shown) {
    return updateFlag || !shown || shown.qcwFreq === undefined || shown.qcwFreq === null
}

// What a slider shows for a device value: the value kept within the
// slider's range, or the slider's end when the value is 0 or missing (the
// lower end, or the upper end for a range slider's high handle).
function sliderValue(value, from, to, upperHandle) {
    if (!isNumber(value) || value === 0)
        return upperHandle ? to : from
    return Math.min(Math.max(value, from), to)
}

// What the two handles of a range slider show for the device's window
// [low, high]: each as sliderValue(), the low one stopping at the high one
// since the handles cannot cross.
function windowValues(low, high, from, to) {
    var top = sliderValue(high, from, to, true)
    return [Math.min(sliderValue(low, from, to, false), top), top]
}

// A device value that a control shows as `shown` instead; undefined when
// it shows the value as it is, or when the device reported none.
function unshown(value, shown) {
    return isNumber(value) && value !== shown ? value : undefined
}

// The device value a slider cannot show (out of its range, or 0 shown as
// its end), for its tip to tell; undefined when the slider shows it.
function unshownSliderValue(value, from, to) {
    return unshown(value, sliderValue(value, from, to, false))
}

// The same for one handle of a range slider showing the window [low, high].
function unshownWindowValue(low, high, from, to, upperHandle) {
    var i = upperHandle ? 1 : 0
    return unshown([low, high][i], windowValues(low, high, from, to)[i])
}

// The largest value the set command carries for each alarm value (under
// the record's names): the encoder wraps anything above, so that a water
// limit of 60 would arrive as 9.
var sendMax = {
    "redPowerLevel": 100, "pdAlarmThes": 65535, "humiHigh": 100, "pumpCurrentAlarmThes": 65535,
    "inletWaterTempLow": 50, "inletWaterTempHigh": 50, "outletWaterTempLow": 50, "outletWaterTempHigh": 50
}

// What Save sends for the alarm value `name` of the form: the control's
// value once the operator has moved the control since the capture,
// otherwise exactly what the device reported (`shown` is the capture), even
// where the control cannot show it: saving the QCW duty must not quietly
// change a protection threshold. The control's value when the device
// reported none, or one the command cannot carry.
function valueToSend(name, shown, controlValue, moved) {
    var value = shown ? shown[name] : undefined
    if (moved || !isNumber(value) || value < 0 || !(value <= sendMax[name]))
        return controlValue
    return value
}

// The text a QCW input shows: the device value, or `fallback` when missing.
function inputText(value, fallback) {
    return String(value === undefined || value === null ? fallback : value)
}

// The arguments of setAdvancedParam, in its order, from the form's state:
// integer parts of the QCW texts and of the alarm values, and the switch.
// Null when a QCW text is not a number: nothing sensible can be sent.
function advancedParamArgs(form) {
    var duty = parseInteger(form.qcwDuty)
    var freq = parseInteger(form.qcwFreq)
    if (isNaN(duty) || isNaN(freq))
        return null
    return [duty, freq, !!form.qcwEnable,
            Math.trunc(form.redPowerLevel), Math.trunc(form.pdAlarmThes),
            Math.trunc(form.humiThes), Math.trunc(form.pumpThes),
            Math.trunc(form.inTempLow), Math.trunc(form.inTempHigh),
            Math.trunc(form.outTempLow), Math.trunc(form.outTempHigh)]
}

// The entry of the port list to select after a refresh: the open port's,
// else the first, or -1 for an empty list.
function selectedPort(ports, openPort) {
    for (var i = 0; i < ports.length; ++i) {
        if (ports[i].port === openPort)
            return i
    }
    return ports.length > 0 ? 0 : -1
}
