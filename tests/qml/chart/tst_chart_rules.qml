import QtQuick 2.15
import QtTest 1.2
import "../../../qml/chart_rules.js" as Rules

// The chart's rules on their own: the pre-fill, the value axis, the history
// the curves show, the nearest point and the tooltip. (The chart's own suite
// checks the same rules through a chart.)
TestCase {
    name: "ChartRules"

    function test_zeroPoints() {
        var zeros = Rules.zeroPoints(10000, 3)
        compare(zeros.length, 3)
        compare(zeros[0], Qt.point(7000, 0))
        compare(zeros[1], Qt.point(8000, 0))
        compare(zeros[2], Qt.point(9000, 0))
        compare(Rules.zeroPoints(10000, 0).length, 0)
    }

    function test_isSample_data() {
        return [
            { tag: "number", y: 1.5, sample: true },
            { tag: "zero", y: 0, sample: true },
            { tag: "negative", y: -3, sample: true },
            { tag: "NaN", y: NaN, sample: false },
            { tag: "infinite", y: Infinity, sample: false },
            { tag: "undefined", y: undefined, sample: false },
            { tag: "null", y: null, sample: false },
            { tag: "text", y: "2", sample: false }
        ]
    }

    function test_isSample(data) {
        compare(Rules.isSample(data.y), data.sample)
    }

    function test_widenedRange_data() {
        return [
            { tag: "above", min: 0, max: 1, y: 50, result: { "min": 0, "max": 60 } },
            { tag: "below", min: 0, max: 60, y: -10, result: { "min": -12, "max": 60 } },
            { tag: "inside", min: -12, max: 60, y: 3, result: { "min": -12, "max": 60 } },
            { tag: "zero range opens", min: 0, max: 0, y: 0, result: { "min": 0, "max": 1 } },
            { tag: "not a sample", min: 0, max: 6, y: NaN, result: { "min": 0, "max": 6 } }
        ]
    }

    function test_widenedRange(data) {
        compare(Rules.widenedRange(data.min, data.max, data.y), data.result)
    }

    // Two recorded pushes of two curves, shown in a window of four points.
    function test_restoredCurvesFewerThanTheWindow() {
        var times = [5000, 5500]
        var values = [[1, NaN], [undefined, -5]]
        var restored = Rules.restoredCurves(2, 4, 2, function (k) { return times[k] },
                                            function (k) { return values[k] })
        compare(restored.points.length, 2)
        compare(restored.points[0], [Qt.point(3000, 0), Qt.point(4000, 0), Qt.point(5000, 1),
                                     Qt.point(5500, 1)])
        compare(restored.points[1], [Qt.point(3000, 0), Qt.point(4000, 0), Qt.point(5000, 0),
                                     Qt.point(5500, -5)])
        compare(restored.min, -6)
        compare(restored.max, 1.2)
    }

    function test_restoredCurvesKeepTheLastPushes() {
        var restored = Rules.restoredCurves(5, 3, 1, function (k) { return 1000 * k },
                                            function (k) { return [k / 10] })
        compare(restored.points[0], [Qt.point(2000, 0.2), Qt.point(3000, 0.3), Qt.point(4000, 0.4)])
        compare(restored.min, 0)
        compare(restored.max, 1)
    }

    function test_nearestIndex() {
        var xs = [0, 10, 20, 30, 40, 50, 60, 70, 80, 90]
        function xAt(i) {
            return xs[i]
        }
        compare(Rules.nearestIndex(xAt, 36, 0, 9), 4)
        compare(Rules.nearestIndex(xAt, 34, 0, 9), 3)
        compare(Rules.nearestIndex(xAt, 5, 0, 9), 1)
        compare(Rules.nearestIndex(xAt, -1e9, 0, 9), 0)
        compare(Rules.nearestIndex(xAt, 1e9, 0, 9), 9)
    }

    function test_tipOffset() {
        compare(Rules.tipOffset(50, 100, 800, -99), 4)
        compare(Rules.tipOffset(300, 100, 800, -104), -104)
        compare(Rules.tipOffset(700, 100, 800, 4), -104)
    }

    // The long format of the current locale, as the export writes it.
    function test_timeText() {
        var date = new Date(1718000000042)
        compare(Rules.timeText(date), date.toLocaleTimeString(Qt.locale(), Locale.LongFormat) + ".42")
    }

    function test_toolTipTextAndSize() {
        var date = new Date(1718000000500)
        var time = date.toLocaleTimeString(Qt.locale(), Locale.LongFormat) + ".500"
        var text = Rules.toolTipText("Time", date, ["a", "b"], [0.04, 12.36], "℃")
        compare(text, "Time: " + time + "\na: 0.0℃\nb: 12.4℃\n")
        compare(Rules.toolTipText("T", date, ["a"], [NaN], "A"), "T: " + time + "\na: —\n")
        var size = Rules.toolTipSize(text, 2)
        compare(size.width, ("Time: " + time).length * 7 + 20)
        compare(size.height, 72)
    }

    // Local times: the label names the day only when the range needs it.
    function test_historyText_data() {
        var at = function (d, h, m) { return new Date(2026, 11, d, h, m, 5).getTime() }
        return [
            { tag: "today", from: at(8, 9, 0), to: at(8, 9, 10), now: at(8, 12, 0),
              text: "历史 09:00:05–09:10:05", format: "hh:mm:ss" },
            { tag: "an earlier day", from: at(7, 9, 0), to: at(7, 9, 10), now: at(8, 12, 0),
              text: "历史 2026-12-07 09:00:05–09:10:05", format: "hh:mm:ss" },
            { tag: "across midnight", from: at(7, 23, 55), to: at(8, 0, 5), now: at(8, 12, 0),
              text: "历史 2026-12-07 23:55:05–2026-12-08 00:05:05", format: "MM-dd hh:mm" }
        ]
    }

    function test_historyText(data) {
        compare(Rules.historyText("历史", data.from, data.to, data.now), data.text)
        compare(Rules.historyAxisFormat(data.from, data.to), data.format)
    }

    function test_columnsAndDrag() {
        compare(Rules.drawColumns(700.4, 0), 700)
        compare(Rules.drawColumns(684, 702), 702) // the labels moved the edge
        compare(Rules.drawColumns(500, 702), 500) // the window shrank
        compare(Rules.drawColumns(0, 0), 1)
        compare(Rules.dragMs(100, 800, 80000), -10000) // to the right: earlier
        compare(Rules.dragMs(100, 0, 80000), 0)
    }
}
