.pragma library

// Small layout and input rules of the control library, kept apart from the
// documents so that they can be checked on their own.

// --- Range slider -----------------------------------------------------------

// How far each of the two value tips moves away from its handle so that the
// tips never overlap: d is the second handle's x less the first handle's x.
function tipShift(d, tipWidth) {
    return d <= tipWidth ? (tipWidth - d) / 2 : 0
}

// Which handle a wheel turn at p (0..1 along the groove) moves: 0 for the
// first, 1 for the second. The nearer one wins; on a tie the first when p
// lies left of it, else the second, so that turning at either side of two
// stacked handles pulls them apart.
function nearerHandle(p, firstPos, secondPos) {
    var dFirst = Math.abs(p - firstPos)
    var dSecond = Math.abs(p - secondPos)
    if (dFirst < dSecond)
        return 0
    if (dSecond < dFirst)
        return 1
    return p < firstPos ? 0 : 1
}

// --- Sliders ----------------------------------------------------------------

// Number of decimals of a step size (1 -> 0, 0.5 -> 1, 0.25 -> 2).
function stepDecimals(step) {
    var s = String(step)
    var dot = s.indexOf(".")
    return dot < 0 ? 0 : s.length - dot - 1
}

// The value a tip shows: while a handle is dragged the slider's value is not
// yet snapped, so it is rounded to the precision of the step. Without a step
// the value is shown as it is.
function displayValue(value, step) {
    if (!(step > 0) || String(step).indexOf("e") >= 0)
        return value
    return Number(Number(value).toFixed(stepDecimals(step)))
}

// --- ParamInfo --------------------------------------------------------------

function isList(values) {
    return values !== null && typeof values === "object" && typeof values.length === "number"
}

function missing(v) {
    return v === undefined || v === null
}

// Texts of the value boxes: one per element of a non-empty list, otherwise
// one; a missing value shows as "----"; every text carries the unit.
function boxTexts(values, unit) {
    var u = missing(unit) ? "" : String(unit)
    if (isList(values) && values.length > 0) {
        var out = []
        for (var i = 0; i < values.length; ++i)
            out.push((missing(values[i]) ? "----" : String(values[i])) + u)
        return out
    }
    if (missing(values) || isList(values))
        return ["----" + u]
    return [String(values) + u]
}

// Width of one box when `count` boxes share `rowWidth` with `spacing` between.
function boxWidth(rowWidth, spacing, count) {
    if (count <= 1)
        return rowWidth
    return (rowWidth + spacing) / count - spacing
}

// --- MyInput ----------------------------------------------------------------

// The text an unacceptable numeric input is corrected to when it loses the
// focus: not a number or below min gives min, above max gives max.
function correctedNumber(text, type, min, max) {
    var n = type === "double" ? parseFloat(text) : parseInt(text, 10)
    if (isNaN(n) || n < min)
        n = min
    else if (n > max)
        n = max
    return String(n)
}
