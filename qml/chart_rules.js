.pragma library

// The rules of the live chart, kept apart from its documents so that they can
// be checked on their own. Nothing here touches a chart: every function
// answers from its arguments. Texts arrive translated from the caller.

// --- Time ---------------------------------------------------------------------

// The time rounded to the nearest multiple of 500 ms, plus offset seconds.
function getDateRound(time, offset) {
    var ms = Math.round(new Date(time).getTime() / 500) * 500
    return new Date(ms + (offset === undefined ? 0 : offset) * 1000)
}

// pointsNum points of value 0, 1 s apart, the last 1 s before end (ms).
function zeroPoints(end, pointsNum) {
    var zeros = []
    for (var n = pointsNum; n >= 1; --n)
        zeros.push(Qt.point(end - n * 1000, 0))
    return zeros
}

// --- Samples and the value axis -----------------------------------------------

// A series drops a point whose y is not a finite number: only such a y is a
// sample a curve can show.
function isSample(y) {
    return typeof y === "number" && isFinite(y)
}

// The value axis' range { min, max } once it holds 1.2 × y; it never narrows,
// and a range of 0 .. 0 opens to 0 .. 1. Not a sample: the range unchanged.
function widenedRange(min, max, y) {
    if (!isSample(y))
        return { "min": min, "max": max }
    var wider = { "min": Math.min(min, 1.2 * y), "max": Math.max(max, 1.2 * y) }
    if (wider.min === 0 && wider.max === 0)
        wider.max = 1
    return wider
}

// --- History ----------------------------------------------------------------------

// What the curves show of count recorded pushes: the last pointsNum of them,
// after zeros 1 s apart when there are fewer (as at the start). timeAt(k)
// and valuesAt(k) give push k's time (ms) and values. A value that is not a
// sample holds the curve's previous one, as on a push. Answers { points,
// min, max }: each curve's points and the value axis' range over them.
function restoredCurves(count, pointsNum, curveCount, timeAt, valuesAt) {
    var shown = Math.min(pointsNum, count)
    var first = count - shown
    var start = timeAt(first)
    var points = []
    var last = []
    for (var i = 0; i < curveCount; ++i) {
        points.push(zeroPoints(start, pointsNum - shown))
        last.push(0)
    }
    var range = { "min": 0, "max": 1 }
    for (var k = first; k < count; ++k) {
        var time = timeAt(k)
        var vals = valuesAt(k)
        for (i = 0; i < curveCount; ++i) {
            if (isSample(vals[i])) {
                last[i] = vals[i]
                range = widenedRange(range.min, range.max, vals[i])
            }
            points[i].push(Qt.point(time, last[i]))
        }
    }
    return { "points": points, "min": range.min, "max": range.max }
}

// --- Nearest point ----------------------------------------------------------------

// The index of the point nearest to target between start and end, for
// points in increasing x order; xAt(i) gives point i's x. The middle
// point is weighed against its next point first, and a tie there goes to
// the earlier one; a middle point as near as its previous one is kept.
function nearestIndex(xAt, target, start, end) {
    if (end <= start)
        return start
    var mid = start + Math.floor((end - start) / 2)
    var dMid = Math.abs(xAt(mid) - target)
    var dNext = Math.abs(xAt(mid + 1) - target)
    if (mid === start)
        return dMid <= dNext ? mid : mid + 1
    if (dMid <= dNext && dMid <= Math.abs(xAt(mid - 1) - target))
        return mid
    if (dMid >= dNext)
        return nearestIndex(xAt, target, mid, end)
    return nearestIndex(xAt, target, start, mid)
}

// --- Tooltip ----------------------------------------------------------------------

// The tooltip's offset from the mouse along one axis: to the far side
// near either edge of span, otherwise unchanged.
function tipOffset(mouse, tipSize, span, lastOffset) {
    if (mouse < tipSize + 4)
        return 4
    if (mouse > span - (tipSize + 4))
        return -(tipSize + 4)
    return lastOffset
}

// The time of a sample as the export writes it: local time in the long
// format, ".", the milliseconds unpadded. (The long format is the default:
// a library does not see the Locale type that names it.)
function timeText(date) {
    return date.toLocaleTimeString(Qt.locale()) + "." + date.getMilliseconds()
}

// The tooltip's lines, each ended by a line break: timeLabel and the time,
// then each curve's name and value ("—" for a sample that is not a number,
// which a look back can meet in the recording).
function toolTipText(timeLabel, date, names, values, unit) {
    var text = timeLabel + ": " + timeText(date) + "\n"
    for (var i = 0; i < names.length; ++i) {
        var value = Number(values[i])
        text += names[i] + ": " + (isFinite(value) ? value.toFixed(1) + unit : "—") + "\n"
    }
    return text
}

// The tooltip's size for its text and number of curves.
function toolTipSize(text, curveCount) {
    var longest = 0
    var lines = text.split("\n")
    for (var i = 0; i < lines.length; ++i)
        longest = Math.max(longest, lines[i].length)
    return Qt.size(longest * 14 / 2 + 20, (curveCount + 1) * 20 + 12)
}

// --- Looking back -------------------------------------------------------------

function sameDay(a, b) {
    return a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth()
            && a.getDate() === b.getDate()
}

// The label of a look back over [fromMs, toMs]: word, then the range as
// times of day; with the date when the range crosses midnight, and once
// before both times when it lies on another day than nowMs.
function historyText(word, fromMs, toMs, nowMs) {
    var from = new Date(fromMs)
    var to = new Date(toMs)
    var dated = "yyyy-MM-dd hh:mm:ss"
    if (!sameDay(from, to))
        return word + " " + Qt.formatDateTime(from, dated) + "–" + Qt.formatDateTime(to, dated)
    var start = sameDay(from, new Date(nowMs)) ? "hh:mm:ss" : dated
    return word + " " + Qt.formatDateTime(from, start) + "–" + Qt.formatDateTime(to, "hh:mm:ss")
}

// The time axis' labels over [fromMs, toMs]: the date too once it crosses
// midnight (three labels of the time of day alone could name two days).
function historyAxisFormat(fromMs, toMs) {
    return sameDay(new Date(fromMs), new Date(toMs)) ? "hh:mm:ss" : "MM-dd hh:mm"
}

// The pixel columns a look back draws in, for a plot plotWidth wide, having
// drawn `drawn`: the plot's width, except that the width's change by a few
// pixels keeps the drawing. A new range on the value axis can widen or
// narrow its labels, moving the plot's edge; drawing again for that would
// draw every range twice.
function drawColumns(plotWidth, drawn) {
    var width = Math.max(1, Math.round(plotWidth))
    return drawn > 0 && Math.abs(width - drawn) <= 0.05 * drawn ? drawn : width
}

// A drag of `pixels` over a plot `width` pixels wide showing spanMs: the
// time the view moves by (a drag to the right shows earlier samples).
function dragMs(pixels, width, spanMs) {
    return width > 0 ? -pixels * spanMs / width : 0
}
