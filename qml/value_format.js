.pragma library

// The small formatting language of the slider tips and range labels.
//
// "${v}" and "${u}" (first occurrence each) become the value and the unit.
// A placeholder "${v<op><number>[...f<decimals>]}" with <op> one of + - * /
// becomes the value combined with the number, written with that many
// decimals. Anything else inside "${...}" is left exactly as written, so a
// mistyped format shows up on screen instead of silently vanishing.

// Content of a placeholder: a run of non-space characters up to the first "}".
var placeholderPattern = /\$\{([^\s}]+)\}/g
// The operand follows the operator directly: "${v*f1}" has none.
var operandPattern = /^-?\d+(?:\.\d+)?/
var decimalsPattern = /f(\d+)/

// toFixed() throws beyond this; a format asking for more is clamped rather
// than breaking the whole label.
var maxDecimals = 20

function computePlaceholder(content, val) {
    if (content.charAt(0) !== "v")
        return null
    var op = content.charAt(1)
    if (op !== "+" && op !== "-" && op !== "*" && op !== "/")
        return null
    var operandMatch = operandPattern.exec(content.substring(2))
    if (operandMatch === null)
        return null
    var operand = parseFloat(operandMatch[0])
    var decimalsMatch = decimalsPattern.exec(content)
    var decimals = decimalsMatch === null ? 0 : Math.min(parseInt(decimalsMatch[1], 10), maxDecimals)
    var v = Number(val)
    var result
    switch (op) {
    case "+": result = v + operand; break
    case "-": result = v - operand; break
    case "*": result = v * operand; break
    default: result = v / operand; break
    }
    return result.toFixed(decimals)
}

// Formats `val` with `fmtStr`, `unit` standing for "${u}".
function formatValue(val, fmtStr, unit) {
    var out = String(fmtStr === undefined || fmtStr === null ? "" : fmtStr)
    var valText = String(val)
    var unitText = unit === undefined || unit === null ? "" : String(unit)
    // Function replacements: a "$" in the value or unit must stay literal.
    out = out.replace("${v}", function () { return valText })
    out = out.replace("${u}", function () { return unitText })
    return out.replace(placeholderPattern, function (whole, content) {
        var computed = computePlaceholder(content, val)
        return computed === null ? whole : computed
    })
}
