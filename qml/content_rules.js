.pragma library

// The rules of the status and control page, kept apart from the document so
// that they can be checked on their own. Nothing here touches the page: every
// function answers from its arguments. Texts are marked for the context
// "Content" and translated by the caller (the `tr` argument), so they follow
// the page's language.

// --- Alarm word ---------------------------------------------------------------

function isMissing(val) {
    return val === undefined || val === null
}

// A missing record reads as one without fields.
function record(r) {
    return r === undefined || r === null ? {} : r
}

// The alarm word of a record field: a missing word counts as 0.
function alarmWord(val) {
    if (isMissing(val))
        return 0
    var n = Number(val)
    return isNaN(n) ? 0 : n
}

function hexWord(val) {
    return alarmWord(val).toString(16)
}

// Whether the new word of a record adds an alarm-change line. prev is null
// until the first record. The words are compared as shown (missing as 0), so
// a record without a word after one with 0 does not add "[0->0]".
function alarmChangeDue(prev, next) {
    var n = alarmWord(next)
    if (prev === null || prev === undefined)
        return n !== 0
    return alarmWord(prev) !== n
}

// "[old->new] text", both words in lower-case hex without prefix or padding.
function alarmChangeLine(prev, next, text) {
    return "[" + hexWord(prev) + "->" + hexWord(next) + "] " + text
}

// The line of the message card's Refresh: the present word and its text.
function refreshLine(word, text) {
    return "[" + hexWord(word) + "] " + text
}

// --- Message list -------------------------------------------------------------

function pad2(n) {
    return n < 10 ? "0" + n : String(n)
}

// Local time of day, 24-hour HH:MM:SS.
function clockText(date) {
    return pad2(date.getHours()) + ":" + pad2(date.getMinutes()) + ":" + pad2(date.getSeconds())
}

function listLine(date, text) {
    return "[" + clockText(date) + "]> " + text
}

// --- Status card: flow ----------------------------------------------------------

var FLOW_SPACING = 2

// Two columns at the card width; a narrower area gets one cell of its width.
function cellWidth(cardWidth, areaWidth) {
    return areaWidth < cardWidth ? areaWidth - 24 : cardWidth / 2 - 10
}

function columnCount(areaWidth, cell) {
    return Math.max(1, Math.floor(areaWidth / (cell + FLOW_SPACING)))
}

// The pump-current item spans two cells; with a single column it spans one,
// or it would stick out of the area.
function wideCellWidth(cell, columns) {
    return columns >= 2 ? 2 * cell + FLOW_SPACING : cell
}

function flowLeftPadding(areaWidth, cell, columns) {
    var margin = (areaWidth - (columns * cell + (columns - 1) * FLOW_SPACING)) / 2
    return margin > 16 ? margin - 8 : 8
}

function infoCardHeight(pageHeight, flowHeight) {
    return Math.min(pageHeight - 334, flowHeight + 50)
}

function alarmCardHeight(pageHeight, infoHeight) {
    return pageHeight - infoHeight - 214
}

// --- Live state -------------------------------------------------------------------

var OFFLINE_TEXT = QT_TRANSLATE_NOOP("Content", "离线")
var WAITING_TEXT = QT_TRANSLATE_NOOP("Content", "等待数据")

// The word that marks the shown values as not live, or "" while they are.
// With the port closed nothing can arrive: the values are old ones or the
// window's stand-ins. A port just opened has not yet heard the device; what
// is shown is not from this connection. After that the values are live
// while the device is online.
function liveStateText(portOpen, recordSinceOpen, online) {
    if (!portOpen)
        return OFFLINE_TEXT
    if (!recordSinceOpen)
        return WAITING_TEXT
    return online ? "" : OFFLINE_TEXT
}

// What a screen reader hears of a status item: its values, then the word
// that marks them as not live, if any.
function valueDescription(texts, word) {
    var text = texts.join(" ")
    return word === "" ? text : text + " (" + word + ")"
}

// --- Internal-control card --------------------------------------------------------

// The on-time that tells the device to emit until told to stop.
var CONTINUOUS_ON_MS = 0xFAAA

// What an input shows: the captured value, or the input's minimum when that
// value is 0 or missing.
function inputText(val, min) {
    if (isMissing(val) || val === "" || isNaN(Number(val)) || Number(val) === 0)
        return String(min)
    return String(val)
}

// Whether a record is captured into the inputs: only while armed, and only a
// record with a non-zero peak power (a device that has not loaded its
// settings reports 0 there).
function captureDue(armed, r) {
    if (!armed || r === undefined || r === null)
        return false
    var dac = Number(r.intDac)
    return !isNaN(dac) && dac !== 0
}

// The values a capture takes. A device told to emit continuously reports the
// continuous on-time; taken into the on-time input it would be out of range
// there, and ON after leaving continuous mode would send it again and start
// an emission without end. The on-time input keeps its value instead.
function capturedParams(r, previous) {
    var onMs = r.intLaserOnMs
    if (Number(onMs) === CONTINUOUS_ON_MS)
        onMs = previous ? previous.intLaserOnMs : undefined
    return {
        "intDac": r.intDac,
        "intLaserOnMs": onMs,
        "intPwmDuty": r.intPwmDuty,
        "intPwmFreq": r.intPwmFreq
    }
}

// The integer value of an input's text; fallback when it holds no number.
function intOf(text, fallback) {
    var n = parseInt(text, 10)
    return isNaN(n) ? fallback : n
}

// The arguments of ON: the inputs' integers, and in continuous mode the
// continuous on-time whatever the on-time input holds.
function onArguments(dacText, dutyText, freqText, onMsText, continuous) {
    return {
        "power": intOf(dacText, 0),
        "duty": intOf(dutyText, 0),
        "freq": intOf(freqText, 1),
        "openMs": continuous ? CONTINUOUS_ON_MS : intOf(onMsText, 1)
    }
}

// --- Charts -----------------------------------------------------------------------

// The samples a record gives each chart, or null for a chart it gives none:
// the photodiode record feeds slot 1, the pump record slot 2.
function chartSamples(r) {
    r = record(r)
    var out = { "optical": null, "temps": null, "pumps": null, "power": null }
    if (!isMissing(r.opticalVals)) {
        out.optical = r.opticalVals
        out.temps = [r.ambientTemp, r.inletWaterTemp, r.outletWaterTemp]
    }
    if (!isMissing(r.pumpCurrent)) {
        out.pumps = r.pumpCurrent
        // No analogue demand reported (internal mode sends 0; a record
        // without it has none): no modulation power.
        var maxPower = isMissing(r.maxPower) ? 0 : Number(r.maxPower)
        var db25 = isMissing(r.db25Power) ? 0 : Number(r.db25Power)
        out.power = [maxPower * db25 / 100]
    }
    return out
}
