import QtQuick 2.15
import QtTest 1.15
import "../../../qml/value_format.js" as ValueFormat
import "../../../qml/control_rules.js" as Rules

TestCase {
    name: "ValueFormat"

    function test_format_data() {
        return [
            // The sliders' own formats.
            { tag: "tenths, one decimal", fmt: "${v*0.1f1}${u}", val: 55, unit: "A", out: "5.5A" },
            { tag: "tenths, no decimals", fmt: "${v*0.1f0}${u}", val: 100, unit: "A", out: "10A" },
            { tag: "tenths at zero", fmt: "${v*0.1f0}${u}", val: 0, unit: "A", out: "0A" },
            { tag: "plain value and unit", fmt: "${v}${u}", val: 0, unit: "mA", out: "0mA" },
            { tag: "subtract, two decimals", fmt: "${v-5f2}", val: 10, unit: "", out: "5.00" },
            { tag: "add", fmt: "${v+3}", val: 4, unit: "", out: "7" },
            { tag: "divide", fmt: "${v/4f2}", val: 10, unit: "", out: "2.50" },
            { tag: "divide, rounded", fmt: "${v/3f3}", val: 1, unit: "", out: "0.333" },
            { tag: "negative operand", fmt: "${v+-5}", val: 3, unit: "", out: "-2" },
            { tag: "negative product", fmt: "${v*-2f1}", val: 2.5, unit: "", out: "-5.0" },
            { tag: "decimal operand", fmt: "${v*1.5f1}", val: 2, unit: "", out: "3.0" },
            { tag: "no f means no decimals", fmt: "${v*0.25}", val: 10, unit: "", out: "3" },
            { tag: "first f followed by a digit", fmt: "${v*2ff3}", val: 1, unit: "", out: "2.000" },
            { tag: "text around", fmt: "x=${v*10f0} mm", val: 1.5, unit: "", out: "x=15 mm" },
            { tag: "two computed", fmt: "${v*2}-${v+1}", val: 3, unit: "", out: "6-4" },
            { tag: "plain and computed", fmt: "${v}:${v*2}", val: 4, unit: "", out: "4:8" },
            // Only the first ${v} and ${u} are replaced.
            { tag: "second v stays", fmt: "${v}/${v}", val: 3, unit: "", out: "3/${v}" },
            { tag: "second u stays", fmt: "${u}${v}${u}", val: 1, unit: "A", out: "A1${u}" },
            // What the language does not know stays as written.
            { tag: "unknown operator", fmt: "${v%2}", val: 5, unit: "", out: "${v%2}" },
            { tag: "unknown operator caret", fmt: "${v^2f1}", val: 5, unit: "", out: "${v^2f1}" },
            { tag: "missing operand", fmt: "${v*}", val: 5, unit: "", out: "${v*}" },
            { tag: "operand not after operator", fmt: "${v*f1}", val: 5, unit: "", out: "${v*f1}" },
            { tag: "not starting with v", fmt: "${x*2}", val: 5, unit: "", out: "${x*2}" },
            { tag: "upper-case V", fmt: "${V*2}", val: 5, unit: "", out: "${V*2}" },
            { tag: "space inside", fmt: "${v *2}", val: 5, unit: "", out: "${v *2}" },
            { tag: "empty placeholder", fmt: "${}", val: 5, unit: "", out: "${}" },
            { tag: "no placeholder", fmt: "100%", val: 5, unit: "A", out: "100%" },
            // Replacement texts are literal.
            { tag: "dollar in unit", fmt: "${v}${u}", val: 5, unit: "$&", out: "5$&" },
            { tag: "missing unit", fmt: "${v}${u}", val: 5, unit: undefined, out: "5" },
            // An absurd decimal count is clamped instead of throwing.
            { tag: "huge decimals", fmt: "${v*1f99}", val: 1, unit: "", out: "1.00000000000000000000" }
        ]
    }

    function test_format(data) {
        compare(ValueFormat.formatValue(data.val, data.fmt, data.unit), data.out)
    }

    function test_rules_tipShift_data() {
        return [
            { tag: "same place", d: 0, w: 48, shift: 24 },
            { tag: "close", d: 20, w: 48, shift: 14 },
            { tag: "exactly a tip apart", d: 48, w: 48, shift: 0 },
            { tag: "further apart", d: 49, w: 48, shift: 0 },
            { tag: "far", d: 300, w: 48, shift: 0 }
        ]
    }

    function test_rules_tipShift(data) {
        compare(Rules.tipShift(data.d, data.w), data.shift)
    }

    function test_rules_nearerHandle_data() {
        return [
            { tag: "near first", p: 0.3, a: 0.2, b: 0.8, handle: 0 },
            { tag: "near second", p: 0.6, a: 0.2, b: 0.8, handle: 1 },
            { tag: "outside left", p: 0.0, a: 0.2, b: 0.8, handle: 0 },
            { tag: "outside right", p: 1.0, a: 0.2, b: 0.8, handle: 1 },
            { tag: "midway goes to second", p: 0.5, a: 0.25, b: 0.75, handle: 1 },
            { tag: "stacked, left of them", p: 0.25, a: 0.5, b: 0.5, handle: 0 },
            { tag: "stacked, right of them", p: 0.75, a: 0.5, b: 0.5, handle: 1 },
            { tag: "stacked, on them", p: 0.5, a: 0.5, b: 0.5, handle: 1 },
            { tag: "stacked at the start", p: 0.0, a: 0.0, b: 0.0, handle: 1 },
            { tag: "stacked at the end", p: 1.0, a: 1.0, b: 1.0, handle: 1 }
        ]
    }

    function test_rules_nearerHandle(data) {
        compare(Rules.nearerHandle(data.p, data.a, data.b), data.handle)
    }
}
