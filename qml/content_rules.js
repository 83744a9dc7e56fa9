.pragma library

// The rules of the status and control page, kept apart from the document so
// that they can be checked on their own. Nothing here touches the page: every
// function answers from its arguments. Texts are marked for the context
// "Content" and translated by the caller (the `tr` argument), so they follow
// the page's language.

// --- Alarm word ---------------------------------------------------------------

// Effective bits of the alarm codes. A stopping alarm's code carries bit 15
// as well; the page tests a word ANDed with the important mask, so bit 15
// never counts as an alarm of its own.
var IMPORTANT_MASK = 0x7FF0
var BIT_HUMI_OVERHIGH = 0x0001
var BIT_QBH_LINK = 0x0010
var BIT_WATER_LINK = 0x0020
var BIT_IN_WATER_H = 0x0100
var BIT_IN_WATER_L = 0x0200
var BIT_OUT_WATER_H = 0x0400
var BIT_OUT_WATER_L = 0x0800
var BIT_PD_ERROR = 0x1000
var BIT_DRV_CURRENT_ERROR = 0x2000
var BIT_EMERGENCY_STOP = 0x4000

// The colour of a water temperature below its window.
var COLD_COLOR = "#1dddff"

function isMissing(val) {
    return val === undefined || val === null
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

function importantBits(word) {
    return alarmWord(word) & IMPORTANT_MASK
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

// --- Status card: items ---------------------------------------------------------

// "----" for a missing flag, else one of the two texts by truthiness.
function flagText(val, trueText, falseText) {
    if (isMissing(val))
        return "----"
    return val ? trueText : falseText
}

// Fixed-point text, "--" for a missing value.
function fixedText(val, decimals) {
    return isMissing(val) ? "--" : Number(val).toFixed(decimals)
}

// A list of n values (each through format), or n times "--" when the list is
// missing or not a list.
function listText(val, n, format) {
    var out = []
    for (var i = 0; i < n; ++i) {
        var ok = Array.isArray(val) && i < val.length && !isMissing(val[i])
        out.push(ok ? format(val[i]) : "--")
    }
    return out
}

function same(v) {
    return v
}

function never() {
    return false
}

function red() {
    return "red"
}

// A flag item that is alarmed while its flag is falsy (missing included).
function falsyAlarm(key) {
    return function (r) {
        return !r[key]
    }
}

function bitAlarm(bits) {
    return function (r) {
        return (importantBits(r.alarmState) & bits) !== 0
    }
}

// The water temperatures: too cold shows in the cold colour, too hot in red.
function waterColor(coldBit) {
    return function (r) {
        return (importantBits(r.alarmState) & coldBit) !== 0 ? COLD_COLOR : "red"
    }
}

// The items of the status card in flow order. tone "identity" takes the
// theme's normal colour, "health" its good colour. value(r, tr) answers what
// the item shows (a text, a number or a list of them, one box each).
var statusItems = [
    {
        "key": "maxPower", "title": QT_TRANSLATE_NOOP("Content", "设备型号"), "unit": "W",
        "tone": "identity", "value": function (r) { return r.maxPower },
        "alarm": never, "alarmColor": red
    },
    {
        "key": "chipShortId", "title": QT_TRANSLATE_NOOP("Content", "设备编号"), "unit": "",
        "tone": "identity", "value": function (r) { return r.chipShortId },
        "alarm": never, "alarmColor": red
    },
    {
        "key": "laserOutputting", "title": QT_TRANSLATE_NOOP("Content", "出光状态"), "unit": "",
        "tone": "identity",
        "value": function (r, tr) {
            return flagText(r.laserOutputting, tr(QT_TRANSLATE_NOOP("Content", "使能开启")),
                            tr(QT_TRANSLATE_NOOP("Content", "使能关闭")))
        },
        "alarm": function (r) { return !!r.laserOutputting },
        "alarmColor": function () { return "orange" }
    },
    {
        "key": "mode", "title": QT_TRANSLATE_NOOP("Content", "控制状态"), "unit": "",
        "tone": "identity",
        "value": function (r, tr) {
            return flagText(r.mode, tr(QT_TRANSLATE_NOOP("Content", "内控")),
                            tr(QT_TRANSLATE_NOOP("Content", "外控")))
        },
        "alarm": never, "alarmColor": red
    },
    {
        "key": "emergencyStop", "title": QT_TRANSLATE_NOOP("Content", "急停状态"), "unit": "",
        "tone": "health",
        "value": function (r, tr) {
            return flagText(r.emergencyStop, tr(QT_TRANSLATE_NOOP("Content", "急停")),
                            tr(QT_TRANSLATE_NOOP("Content", "正常")))
        },
        "alarm": bitAlarm(BIT_EMERGENCY_STOP), "alarmColor": red
    },
    {
        "key": "framGood", "title": QT_TRANSLATE_NOOP("Content", "存储状态"), "unit": "",
        "tone": "health",
        "value": function (r, tr) {
            return flagText(r.framGood, tr(QT_TRANSLATE_NOOP("Content", "正常")),
                            tr(QT_TRANSLATE_NOOP("Content", "错误")))
        },
        "alarm": falsyAlarm("framGood"), "alarmColor": red
    },
    {
        "key": "rtcGood", "title": QT_TRANSLATE_NOOP("Content", "时钟状态"), "unit": "",
        "tone": "health",
        "value": function (r, tr) {
            return flagText(r.rtcGood, tr(QT_TRANSLATE_NOOP("Content", "正常")),
                            tr(QT_TRANSLATE_NOOP("Content", "错误")))
        },
        "alarm": falsyAlarm("rtcGood"), "alarmColor": red
    },
    {
        "key": "bleState", "title": QT_TRANSLATE_NOOP("Content", "蓝牙状态"), "unit": "",
        "tone": "health",
        "value": function (r, tr) {
            return flagText(r.bleState, tr(QT_TRANSLATE_NOOP("Content", "正常")),
                            tr(QT_TRANSLATE_NOOP("Content", "未就绪")))
        },
        "alarm": falsyAlarm("bleState"), "alarmColor": red
    },
    {
        "key": "waterLink", "title": QT_TRANSLATE_NOOP("Content", "水冷状态"), "unit": "",
        "tone": "health",
        "value": function (r, tr) {
            return flagText(r.waterLink, tr(QT_TRANSLATE_NOOP("Content", "正常")),
                            tr(QT_TRANSLATE_NOOP("Content", "断开")))
        },
        "alarm": bitAlarm(BIT_WATER_LINK), "alarmColor": red
    },
    {
        "key": "qbhLink", "title": QT_TRANSLATE_NOOP("Content", "QBH状态"), "unit": "",
        "tone": "health",
        "value": function (r, tr) {
            return flagText(r.qbhLink, tr(QT_TRANSLATE_NOOP("Content", "正常")),
                            tr(QT_TRANSLATE_NOOP("Content", "断开")))
        },
        "alarm": bitAlarm(BIT_QBH_LINK), "alarmColor": red
    },
    {
        "key": "inletWaterTemp", "title": QT_TRANSLATE_NOOP("Content", "进水温度"), "unit": "℃",
        "tone": "health", "value": function (r) { return fixedText(r.inletWaterTemp, 1) },
        "alarm": bitAlarm(BIT_IN_WATER_H | BIT_IN_WATER_L),
        "alarmColor": waterColor(BIT_IN_WATER_L)
    },
    {
        "key": "outletWaterTemp", "title": QT_TRANSLATE_NOOP("Content", "出水温度"), "unit": "℃",
        "tone": "health", "value": function (r) { return fixedText(r.outletWaterTemp, 1) },
        "alarm": bitAlarm(BIT_OUT_WATER_H | BIT_OUT_WATER_L),
        "alarmColor": waterColor(BIT_OUT_WATER_L)
    },
    {
        "key": "ambientTemp", "title": QT_TRANSLATE_NOOP("Content", "环境温度"), "unit": "℃",
        "tone": "health", "value": function (r) { return fixedText(r.ambientTemp, 1) },
        "alarm": never, "alarmColor": red
    },
    {
        // Humidity is a warning (no stop bit): its own bit is tested.
        "key": "ambientHumi", "title": QT_TRANSLATE_NOOP("Content", "环境湿度"), "unit": "%Rh",
        "tone": "health", "value": function (r) { return fixedText(r.ambientHumi, 0) },
        "alarm": function (r) { return (alarmWord(r.alarmState) & BIT_HUMI_OVERHIGH) !== 0 },
        "alarmColor": function () { return COLD_COLOR }
    },
    {
        "key": "redCurrent", "title": QT_TRANSLATE_NOOP("Content", "红光电流"), "unit": "mA",
        "tone": "health",
        "value": function (r) { return isMissing(r.redCurrent) ? "--" : r.redCurrent },
        "alarm": never, "alarmColor": red
    },
    {
        "key": "opticalVals", "title": QT_TRANSLATE_NOOP("Content", "光电信号"), "unit": "",
        "tone": "health", "value": function (r) { return listText(r.opticalVals, 2, same) },
        "alarm": bitAlarm(BIT_PD_ERROR), "alarmColor": red
    },
    {
        "key": "pumpCurrent", "title": QT_TRANSLATE_NOOP("Content", "泵浦电流"), "unit": "A",
        "tone": "health", "wide": true,
        "value": function (r) {
            return listText(r.pumpCurrent, 4, function (v) { return Number(v).toFixed(1) })
        },
        "alarm": bitAlarm(BIT_DRV_CURRENT_ERROR), "alarmColor": red
    }
]

function itemIndex(key) {
    for (var i = 0; i < statusItems.length; ++i) {
        if (statusItems[i].key === key)
            return i
    }
    return -1
}

function record(r) {
    return r === undefined || r === null ? {} : r
}

function untranslated(text) {
    return text
}

// What item i shows for record r; tr translates the marked texts.
function itemValue(i, r, tr) {
    return statusItems[i].value(record(r), tr === undefined ? untranslated : tr)
}

function itemAlarm(i, r) {
    return statusItems[i].alarm(record(r))
}

function itemAlarmColor(i, r) {
    return statusItems[i].alarmColor(record(r))
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
