.pragma library
.import "content_rules.js" as Rules

// The items of the status card as a table of rules, apart from the card so
// that they can be checked on their own. Alarm conditions read the codes by
// their names from the table passed in (the Public singleton's alarm codes),
// and alarm colours are named by their theme role, so both have one
// definition. Texts are marked for the context "Content".

// "----" for a missing flag, else one of the two texts by truthiness.
function flagText(val, trueText, falseText) {
    if (Rules.isMissing(val))
        return "----"
    return val ? trueText : falseText
}

// Fixed-point text, "--" for a missing value.
function fixedText(val, decimals) {
    return Rules.isMissing(val) ? "--" : Number(val).toFixed(decimals)
}

// A list of n values (each through format), or n times "--" when the list is
// missing or not a list.
function listText(val, n, format) {
    var out = []
    for (var i = 0; i < n; ++i) {
        var ok = Array.isArray(val) && i < val.length && !Rules.isMissing(val[i])
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
    return "alarmColor"
}

// A flag item that is alarmed while its flag is falsy (missing included).
function falsyAlarm(key) {
    return function (r) {
        return !r[key]
    }
}

// The effective bit of an alarm code: the code without the stop bit.
function effectiveBit(codes, name) {
    return codes[name] & codes.ALARM_IMPORTANT_MASK
}

// Alarmed while a stopping alarm of one of the named codes is set.
function bitAlarm(names) {
    return function (r, codes) {
        var bits = 0
        for (var i = 0; i < names.length; ++i)
            bits |= effectiveBit(codes, names[i])
        return (Rules.alarmWord(r.alarmState) & codes.ALARM_IMPORTANT_MASK & bits) !== 0
    }
}

// The water temperatures: too cold shows in the cold colour, too hot in red.
function waterColor(coldName) {
    return function (r, codes) {
        var cold = (Rules.alarmWord(r.alarmState) & effectiveBit(codes, coldName)) !== 0
        return cold ? "coldAlarmColor" : "alarmColor"
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
        "alarmColor": function () { return "emittingColor" }
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
        "alarm": bitAlarm(["ALARM_EMERGENCY_STOP"]), "alarmColor": red
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
        "alarm": bitAlarm(["ALARM_WATER_LINK"]), "alarmColor": red
    },
    {
        "key": "qbhLink", "title": QT_TRANSLATE_NOOP("Content", "QBH状态"), "unit": "",
        "tone": "health",
        "value": function (r, tr) {
            return flagText(r.qbhLink, tr(QT_TRANSLATE_NOOP("Content", "正常")),
                            tr(QT_TRANSLATE_NOOP("Content", "断开")))
        },
        "alarm": bitAlarm(["ALARM_QBH_LINK"]), "alarmColor": red
    },
    {
        "key": "inletWaterTemp", "title": QT_TRANSLATE_NOOP("Content", "进水温度"), "unit": "℃",
        "tone": "health", "value": function (r) { return fixedText(r.inletWaterTemp, 1) },
        "alarm": bitAlarm(["ALARM_IN_WATER_H", "ALARM_IN_WATER_L"]),
        "alarmColor": waterColor("ALARM_IN_WATER_L")
    },
    {
        "key": "outletWaterTemp", "title": QT_TRANSLATE_NOOP("Content", "出水温度"), "unit": "℃",
        "tone": "health", "value": function (r) { return fixedText(r.outletWaterTemp, 1) },
        "alarm": bitAlarm(["ALARM_OUT_WATER_H", "ALARM_OUT_WATER_L"]),
        "alarmColor": waterColor("ALARM_OUT_WATER_L")
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
        "alarm": function (r, codes) {
            return (Rules.alarmWord(r.alarmState) & codes.ALARM_HUMI_OVERHIGH) !== 0
        },
        "alarmColor": function () { return "coldAlarmColor" }
    },
    {
        "key": "redCurrent", "title": QT_TRANSLATE_NOOP("Content", "红光电流"), "unit": "mA",
        "tone": "health",
        "value": function (r) { return Rules.isMissing(r.redCurrent) ? "--" : r.redCurrent },
        "alarm": never, "alarmColor": red
    },
    {
        "key": "opticalVals", "title": QT_TRANSLATE_NOOP("Content", "光电信号"), "unit": "",
        "tone": "health", "value": function (r) { return listText(r.opticalVals, 2, same) },
        "alarm": bitAlarm(["ALARM_PD_ERROR"]), "alarmColor": red
    },
    {
        "key": "pumpCurrent", "title": QT_TRANSLATE_NOOP("Content", "泵浦电流"), "unit": "A",
        "tone": "health", "wide": true,
        "value": function (r) {
            return listText(r.pumpCurrent, 4, function (v) { return Number(v).toFixed(1) })
        },
        "alarm": bitAlarm(["ALARM_DRV_CURRENT_ERROR"]), "alarmColor": red
    }
]

function itemIndex(key) {
    for (var i = 0; i < statusItems.length; ++i) {
        if (statusItems[i].key === key)
            return i
    }
    return -1
}

function untranslated(text) {
    return text
}

// What item i shows for record r; tr translates the marked texts.
function itemValue(i, r, tr) {
    return statusItems[i].value(Rules.record(r), tr === undefined ? untranslated : tr)
}

// codes: the alarm codes by name (the Public singleton).
function itemAlarm(i, r, codes) {
    return statusItems[i].alarm(Rules.record(r), codes)
}

// The theme's colour role for item i's alarm.
function itemAlarmColorRole(i, r, codes) {
    return statusItems[i].alarmColor(Rules.record(r), codes)
}
