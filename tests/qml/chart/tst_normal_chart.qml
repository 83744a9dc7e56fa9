import QtQuick 2.15
import QtCharts 2.15
import QtTest 1.15
import Qt.labs.platform 1.1 as Platform
import CppSingletonClass 1.0
import "../../../qml"

// The real-time chart: the 200-sample window, the value axis, the recording
// and its export, the cursor and its tooltip, theme and language.
Item {
    id: root
    width: 900
    height: 700

    Component {
        id: chartComponent
        NormalChart {
            x: 10
            y: 10
            width: 800
            height: 330
            unit: "A"
            seriesList: [{ "name": "电流1" }, { "name": "电流2" }]
        }
    }

    // Stands in for the window's message box.
    Component {
        id: msgBoxComponent
        QtObject {
            property var calls: []
            function showMsg(text, kind) {
                calls.push({ "text": text, "kind": kind })
            }
        }
    }

    Component {
        id: exportSpy
        SignalSpy {
            signalName: "exportFinished"
        }
    }

    TestCase {
        id: test
        name: "NormalChart"
        when: windowShown

        function makeChart(properties) {
            var chart = createTemporaryObject(chartComponent, root, properties || {})
            verify(chart)
            tryVerify(function () { return chart.initialized })
            return chart
        }

        function xs(curve) {
            var out = []
            for (var i = 0; i < curve.count; ++i)
                out.push(QmlPublic.xySeriesAt(curve, i).x)
            return out
        }

        function pointAt(curve, i) {
            return QmlPublic.xySeriesAt(curve, i)
        }

        function readFile(url) {
            var xhr = new XMLHttpRequest()
            xhr.open("GET", url, false)
            xhr.send()
            return xhr.responseText
        }

        function cleanup() {
            Language.loadChinese()
            Public.language = "cn"
        }

        // --- Nearest point -------------------------------------------------

        function test_nearestIndex_data() {
            var even = [0, 10, 20, 30, 40, 50, 60, 70, 80, 90]
            return [
                { tag: "on a point", xs: even, target: 30, index: 3 },
                { tag: "nearer the next", xs: even, target: 36, index: 4 },
                { tag: "nearer the previous", xs: even, target: 34, index: 3 },
                { tag: "first point", xs: even, target: 0, index: 0 },
                { tag: "last point", xs: even, target: 90, index: 9 },
                { tag: "before the range", xs: even, target: -1e9, index: 0 },
                { tag: "after the range", xs: even, target: 1e9, index: 9 },
                { tag: "two points, tie", xs: [0, 10], target: 5, index: 0 },
                { tag: "two points, nearer the second", xs: [0, 10], target: 6, index: 1 },
                { tag: "tie with the next point", xs: [0, 10, 20], target: 15, index: 1 },
                { tag: "tie at the last pair", xs: even, target: 85, index: 8 },
                // The rule compares mid with its next point first: a tie met
                // from the later point of the pair stays there.
                { tag: "tie met from the later point", xs: even, target: 5, index: 1 },
                { tag: "tie met from the earlier point", xs: even, target: 45, index: 4 },
                { tag: "uneven gaps", xs: [0, 1, 2, 50, 51, 400], target: 220, index: 4 },
                { tag: "uneven gaps, far end", xs: [0, 1, 2, 50, 51, 400], target: 226, index: 5 }
            ]
        }

        function test_nearestIndex(data) {
            var chart = makeChart()
            var index = chart.nearestIndex(function (i) { return data.xs[i] }, data.target, 0,
                                           data.xs.length - 1)
            compare(index, data.index)
        }

        // Against a scan of every point: always a nearest one, on 200 points
        // with irregular gaps, like the curves hold them.
        function test_nearestIndexFindsANearestPoint() {
            var chart = makeChart()
            var points = [0]
            for (var i = 1; i < 200; ++i)
                points.push(points[i - 1] + 1 + (i * 7919) % 13)
            var end = points[199]
            for (var target = -20; target <= end + 20; target += 0.5) {
                var best = Infinity
                for (i = 0; i < points.length; ++i)
                    best = Math.min(best, Math.abs(points[i] - target))
                var found = chart.nearestIndex(function (k) { return points[k] }, target, 0, 199)
                verify(found >= 0 && found <= 199)
                compare(Math.abs(points[found] - target), best, "target " + target)
            }
        }

        // --- Rounding and the initial window ------------------------------

        function test_getDateRound_data() {
            return [
                { tag: "down", time: 1249, offset: 0, result: 1000 },
                { tag: "half goes up", time: 1250, offset: 0, result: 1500 },
                { tag: "up", time: 1751, offset: 0, result: 2000 },
                { tag: "whole", time: 1718000000500, offset: 0, result: 1718000000500 },
                { tag: "with offset", time: 1718000000740, offset: -200, result: 1717999800500 },
                { tag: "offset only", time: 0, offset: 3, result: 3000 },
                { tag: "no offset given", time: 2260, offset: undefined, result: 2500 }
            ]
        }

        function test_getDateRound(data) {
            var chart = makeChart()
            var rounded = data.offset === undefined ? chart.getDateRound(new Date(data.time))
                                                    : chart.getDateRound(new Date(data.time), data.offset)
            compare(rounded.getTime(), data.result)
        }

        function checkPrefill(chart, before, after) {
            var end = chart.dateAxis.max.getTime()
            compare(end % 500, 0)
            verify(end >= Math.round(before / 500) * 500 && end <= Math.round(after / 500) * 500)
            compare(chart.dateAxis.min.getTime(), end - 200000)
            for (var c = 0; c < chart.curves.length; ++c) {
                var curve = chart.curves[c]
                compare(curve.count, 200)
                for (var i = 0; i < 200; ++i) {
                    var p = pointAt(curve, i)
                    compare(p.x, end - (200 - i) * 1000)
                    compare(p.y, 0)
                }
            }
            compare(chart.valueAxis.min, 0)
            compare(chart.valueAxis.max, 1)
        }

        function test_startsWithTwoHundredZeros() {
            var before = Date.now()
            var chart = makeChart({ "seriesList": [{ "name": "a" }, { "name": "b" }, { "name": "c" }] })
            checkPrefill(chart, before, Date.now())
            compare(chart.curves.length, 3)
            compare(chart.curves[2].name, "c")
            compare(chart.recordWaves.count, 0)
            compare(chart.recordWaves.capacity, 1209600)
        }

        // --- Pushes ---------------------------------------------------------

        function test_windowKeepsTwoHundredSamples() {
            var chart = makeChart()
            for (var n = 1; n <= 450; ++n) {
                chart.autoPush([n, -n])
                if (n % 50 !== 0 && n !== 1 && n !== 199 && n !== 200 && n !== 201)
                    continue
                for (var c = 0; c < 2; ++c)
                    compare(chart.curves[c].count, 200, "push " + n)
                var times = xs(chart.curves[0])
                compare(chart.dateAxis.min.getTime(), times[0], "push " + n)
                compare(chart.dateAxis.max.getTime(), times[199], "push " + n)
                compare(pointAt(chart.curves[0], 199).y, n)
                compare(pointAt(chart.curves[1], 199).y, -n)
                // The oldest samples leave first; the zeros go after 200 pushes.
                compare(pointAt(chart.curves[0], 0).y, Math.max(0, n - 199))
            }
            compare(chart.recordWaves.count, 450)
        }

        function test_valueAxisOnlyWidens() {
            var chart = makeChart()
            chart.autoPush([50, 0])
            compare(chart.valueAxis.min, 0)
            compare(chart.valueAxis.max, 60)
            chart.autoPush([1, 2])
            compare(chart.valueAxis.max, 60)
            chart.autoPush([3, -10])
            compare(chart.valueAxis.min, -12)
            compare(chart.valueAxis.max, 60)
            for (var n = 0; n < 250; ++n)
                chart.autoPush([0.5, 0.5]) // the spike has scrolled away
            compare(chart.valueAxis.min, -12)
            compare(chart.valueAxis.max, 60)
            chart.clean()
            compare(chart.valueAxis.min, 0)
            compare(chart.valueAxis.max, 1)
        }

        // A missing or non-numeric sample keeps the curves aligned (the curve
        // holds its last value), is recorded as NaN and leaves the value axis
        // alone: a series silently drops NaN points and the axis would stay NaN.
        function test_missingSampleKeepsTheAxis() {
            var chart = makeChart()
            chart.autoPush([5, undefined])
            chart.autoPush([null, "x"])
            chart.autoPush([2])
            compare(chart.valueAxis.min, 0)
            compare(chart.valueAxis.max, 6)
            compare(chart.curves[0].count, 200)
            compare(chart.curves[1].count, 200)
            compare(pointAt(chart.curves[0], 198).y, 5) // null held the 5
            compare(pointAt(chart.curves[0], 199).y, 2)
            compare(pointAt(chart.curves[1], 199).y, 0) // never had a sample
            compare(pointAt(chart.curves[1], 199).x, pointAt(chart.curves[0], 199).x)
            var lines = chart.waveText().split("\n")
            compare(lines.length, 4)
            verify(lines[1].endsWith(",5,NaN"))
            verify(lines[2].endsWith(",NaN,NaN"))
            verify(lines[3].endsWith(",2,NaN"))
            chart.autoPush([-1, -2])
            compare(chart.valueAxis.min, -2.4)
        }

        function test_cleanRestartsTheChart() {
            var chart = makeChart()
            for (var n = 0; n < 30; ++n)
                chart.autoPush([n * 3, -n])
            var before = Date.now()
            chart.clean()
            checkPrefill(chart, before, Date.now())
            compare(chart.recordWaves.count, 0)
            compare(chart.waveText(), "时间戳,电流1,电流2")
            chart.autoPush([1, 2])
            compare(chart.recordWaves.count, 1)
        }

        // The page hides one chart of each slot; it keeps recording, and when
        // shown holds the latest 200 samples with axes to match.
        function test_hiddenChartCatchesUpWhenShown_data() {
            return [{ tag: "a few pushes", pushes: 30 }, { tag: "more than a window", pushes: 210 }]
        }

        function test_hiddenChartCatchesUpWhenShown(data) {
            var chart = makeChart()
            for (var n = 1; n <= 5; ++n)
                chart.autoPush([n, n])
            chart.visible = false
            for (n = 6; n < 6 + data.pushes; ++n)
                chart.autoPush(n === 8 ? [50, undefined] : [n, n])
            var last = 5 + data.pushes
            compare(chart.recordWaves.count, last)
            compare(chart.recordWaves.entry(last - 1).vals[0], last)
            chart.visible = true
            for (var c = 0; c < 2; ++c) {
                var curve = chart.curves[c]
                compare(curve.count, 200)
                compare(pointAt(curve, 199).y, last)
                // Oldest first: zeros, then 1, 2, ... up to the last push.
                var first = last - 199
                compare(pointAt(curve, 0).y, first > 0 ? (first === 8 && c === 0 ? 50 : first) : 0)
            }
            // The missing sample held the second curve's previous value.
            if (data.pushes === 30)
                compare(pointAt(chart.curves[1], 199 - (last - 8)).y, 7)
            var times = xs(chart.curves[0])
            for (var i = 1; i < 200; ++i)
                verify(times[i] >= times[i - 1])
            compare(chart.dateAxis.min.getTime(), times[0])
            compare(chart.dateAxis.max.getTime(), times[199])
            compare(chart.valueAxis.max, Math.max(60, 1.2 * last)) // the spike widened it
        }

        // --- Recording and export ------------------------------------------

        function test_recordingCapDropsTheOldest() {
            var chart = makeChart({ "recordMaxPoints": 3 })
            for (var n = 1; n <= 6; ++n) {
                chart.autoPush([n, 10 * n])
                compare(chart.recordWaves.count, Math.min(n, 3))
                compare(chart.recordWaves.entry(0).vals[0], Math.max(1, n - 2))
                compare(chart.recordWaves.entry(chart.recordWaves.count - 1).vals[1], 10 * n)
            }
        }

        function test_exportText() {
            var chart = makeChart()
            compare(chart.waveText(), "时间戳,电流1,电流2") // the zeros are never recorded
            var rows = [[0.1 + 0.2, 1e21], [-0, 1e-7], [23.5, -12.345678901234567], [3, 1 / 3]]
            for (var i = 0; i < rows.length; ++i)
                chart.autoPush(rows[i])
            var expected = "时间戳,电流1,电流2"
            for (i = 0; i < rows.length; ++i) {
                var date = new Date(chart.recordWaves.timeMs(i))
                expected += "\n" + date.toLocaleTimeString(Qt.locale(), Locale.LongFormat) + "."
                          + date.getMilliseconds() + "," + rows[i][0] + "," + rows[i][1]
            }
            compare(chart.waveText(), expected)
            compare(chart.waveText().split("\n")[2].split(",").slice(1), ["0", "1e-7"])
            verify(!chart.waveText().endsWith("\n"))
            // The recorded times are the push times.
            verify(Math.abs(chart.recordWaves.timeMs(3) - Date.now()) < 5000)
        }

        function test_languageRenamesCurvesAndHeader() {
            var chart = makeChart()
            chart.autoPush([1.5, 2])
            Language.loadEnglish()
            chart.seriesList = [{ "name": "Current1" }, { "name": "Current2" }]
            compare(chart.curves[0].name, "电流1") // only a language change renames
            Public.language = "en"
            compare(chart.curves[0].name, "Current1")
            compare(chart.curves[1].name, "Current2")
            var lines = chart.waveText().split("\n")
            compare(lines[0], "Time,Current1,Current2")
            verify(lines[1].endsWith(",1.5,2"))
            var text = chart.toolTipText(new Date(0), ["Current1"], [1], "A")
            verify(text.indexOf("Time: ") === 0)

            Language.loadChinese()
            chart.seriesList = [{ "name": "电流1" }, { "name": "电流2" }]
            Public.language = "cn"
            compare(chart.curves[1].name, "电流2")
            compare(chart.waveText().split("\n")[0], "时间戳,电流1,电流2")
        }

        function test_failedExportShowsTheErrorBox() {
            var box = createTemporaryObject(msgBoxComponent, root)
            var chart = makeChart({ "msgBox": box })
            chart.autoPush([1, 2])
            var url = "file:///no/such/folder/wave.csv"
            var finished = createTemporaryObject(exportSpy, root, { "target": chart.recordWaves })
            chart.saveWaveTo(url)
            finished.wait()
            compare(finished.signalArguments[0][0], false)
            compare(box.calls.length, 1)
            compare(box.calls[0].text, "保存失败: /no/such/folder/wave.csv")
            compare(box.calls[0].kind, "error")
        }

        // The dialog answers with a URL; a blank and Chinese characters in the
        // name reach the file they name, and success stays silent.
        // The dialog's first file type keeps the time of day; the second puts
        // the local date and time first.
        function test_saveDialogWritesTheChosenFile_data() {
            return [
                { tag: "time of day", filter: 0 },
                { tag: "with date", filter: 1 }
            ]
        }

        function test_saveDialogWritesTheChosenFile(data) {
            var box = createTemporaryObject(msgBoxComponent, root)
            var chart = makeChart({ "msgBox": box })
            var before = new Date()
            chart.autoPush([4.25, -1])
            var tmp = Platform.StandardPaths.writableLocation(Platform.StandardPaths.TempLocation)
            var url = tmp + "/orrindel chart 波形.csv"
            chart.saveDialog.file = url
            chart.saveDialog.selectedNameFilter.index = data.filter
            var finished = createTemporaryObject(exportSpy, root, { "target": chart.recordWaves })
            chart.saveDialog.accept()
            chart.saveDialog.selectedNameFilter.index = 0
            finished.wait()
            compare(finished.signalArguments[0][0], true)
            compare(box.calls.length, 0)
            var written = readFile(url)
            compare(written, chart.waveText(data.filter === 1))
            var row = written.split("\n")[1].split(",")
            compare(row.slice(1), ["4.25", "-1"])
            var withDate = /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}$/.test(row[0])
            compare(withDate, data.filter === 1, row[0])
            if (withDate) {
                var day = Qt.formatDate(before, "yyyy-MM-dd")
                verify(row[0].indexOf(day) === 0 || before.getHours() === 23, row[0] + " on " + day)
            }
            compare(chart.saveDialog.title, "保存波形文件")
            compare(chart.saveDialog.nameFilters, ["波形文件 (*.csv)", "带日期的CSV (ISO 8601) (*.csv)"])
        }

        // While exports are written the save button shows how far the one
        // under way is instead of its icon; one asked for meanwhile follows.
        function test_saveButtonShowsTheExportUnderWay() {
            var box = createTemporaryObject(msgBoxComponent, root)
            var chart = makeChart({ "msgBox": box })
            for (var i = 0; i < 50; ++i)
                chart.autoPush([i, -i])
            var save = findChild(chart, "saveButton")
            var icon = findChild(save, "iconBox")
            var progress = findChild(save, "exportProgress")
            verify(icon.visible)
            verify(!progress.visible)
            var tmp = Platform.StandardPaths.writableLocation(Platform.StandardPaths.TempLocation)
            var finished = createTemporaryObject(exportSpy, root, { "target": chart.recordWaves })
            chart.saveWaveTo(tmp + "/orrindel-first.csv")
            chart.saveWaveTo(tmp + "/orrindel-second.csv", true)
            verify(chart.recordWaves.exporting)
            verify(!icon.visible)
            verify(progress.visible)
            verify(/^\d{1,3}%$/.test(progress.text), progress.text)
            tryCompare(finished, "count", 2)
            compare(finished.signalArguments[0][1], File.urlToLocalPath(tmp + "/orrindel-first.csv"))
            compare(finished.signalArguments[1][1], File.urlToLocalPath(tmp + "/orrindel-second.csv"))
            verify(!chart.recordWaves.exporting)
            verify(icon.visible)
            verify(!progress.visible)
            compare(readFile(tmp + "/orrindel-first.csv"), chart.waveText())
            compare(readFile(tmp + "/orrindel-second.csv"), chart.waveText(true))
            compare(box.calls.length, 0)
        }

        function test_saveDialogProposesWave() {
            var chart = makeChart()
            chart.saveDialog.folder = Platform.StandardPaths.writableLocation(Platform.StandardPaths.TempLocation)
            chart.openSaveDialog()
            verify(chart.saveDialog.visible)
            // The dialog may show the default suffix already.
            var proposed = String(chart.saveDialog.currentFile)
            verify(/\/wave(\.csv)?$/.test(proposed), proposed)
            compare(proposed.slice(0, proposed.lastIndexOf("/")), String(chart.saveDialog.folder))
            chart.saveDialog.reject()
            verify(!chart.saveDialog.visible)
        }

        // --- Cursor and tooltip ------------------------------------------------

        function test_tipOffset_data() {
            return [
                { tag: "near the start", mouse: 50, last: -99, offset: 4 },
                { tag: "just inside the start zone", mouse: 103, last: -99, offset: 4 },
                { tag: "middle keeps the last", mouse: 300, last: -104, offset: -104 },
                { tag: "middle, first time", mouse: 300, last: 4, offset: 4 },
                { tag: "near the end", mouse: 700, last: 4, offset: -104 },
                { tag: "at the end zone's edge", mouse: 696, last: 4, offset: 4 }
            ]
        }

        function test_tipOffset(data) {
            var chart = makeChart()
            compare(chart.tipOffset(data.mouse, 100, 800, data.last), data.offset)
        }

        function test_toolTipTextAndSize() {
            var chart = makeChart()
            var date = new Date(1718000000042)
            var text = chart.toolTipText(date, ["电流1", "电流2"], [1.26, -3], "A")
            var time = date.toLocaleTimeString(Qt.locale(), Locale.LongFormat) + ".42"
            compare(text, "时刻: " + time + "\n电流1: 1.3A\n电流2: -3.0A\n")
            var size = chart.toolTipSize(text, 2)
            compare(size.width, ("时刻: " + time).length * 7 + 20)
            compare(size.height, 72)
        }

        function test_cursorSnapsAndTooltipPlacement() {
            // The 200 zeros, 1 s apart: pushes in a loop would share milliseconds.
            var chart = makeChart()
            var view = chart.chartView
            var area = view.plotArea
            mouseMove(view, area.x + area.width / 2, area.y + area.height / 2)
            mouseMove(view, area.x + area.width / 2 + 1, area.y + area.height / 2)
            tryVerify(function () { return chart.toolTip.visible })
            var index = chart.hoverIndex
            verify(index > 80 && index < 120, index)
            compare(chart.hoverDate.getTime(), pointAt(chart.curves[0], index).x)

            // The right edge: the tooltip goes to the left of the mouse.
            var x = area.x + area.width - 2
            mouseMove(view, x, area.y + area.height / 2)
            compare(chart.hoverIndex, 199)
            verify(chart.toolTip.x + chart.toolTip.width <= x)
            // The top: below the mouse.
            mouseMove(view, area.x + area.width / 2, 5)
            compare(chart.toolTip.y, 5 + 4)
            // The bottom: above.
            var y = view.height - 5
            mouseMove(view, area.x + area.width / 2, y)
            compare(chart.toolTip.y, y - chart.toolTip.height - 4)
            compare(chart.toolTip.height, 3 * 20 + 12)

            mouseMove(root, 5, 690) // leaves the chart
            tryVerify(function () { return !chart.toolTip.visible })
            compare(chart.hoverIndex, 0)
        }

        // A push scrolls the data under a resting mouse: the cursor and the
        // tooltip follow the sample now under it.
        function test_cursorFollowsPushes() {
            var chart = makeChart()
            var view = chart.chartView
            var area = view.plotArea
            var x = area.x + area.width - 1
            mouseMove(view, x - 1, area.y + 20)
            mouseMove(view, x, area.y + 20)
            tryVerify(function () { return chart.toolTip.visible })
            chart.autoPush([7.25, 8])
            compare(chart.hoverIndex, 199)
            compare(chart.hoverDate.getTime(), chart.recordWaves.timeMs(0))
            var label = findChild(chart.toolTip, "toolTipLabel")
            verify(label.text.indexOf("电流1: 7.3A\n电流2: 8.0A\n") > 0)
        }

        // --- Looking back -----------------------------------------------------

        // An hour of entries 500 ms apart ending a minute ago, one curve a
        // slow ramp with a one-sample spike at entry 3000, the other NaN in
        // its first half. Answers the recording's first time.
        function recordHour(chart) {
            var first = Date.now() - 3600 * 1000 - 60000
            for (var i = 0; i < 7200; ++i)
                chart.recordWaves.append(first + 500 * i, [i === 3000 ? 500 : i / 100, i < 3600 ? NaN : 2])
            return first
        }

        function curveMax(curve) {
            var top = -Infinity
            for (var i = 0; i < curve.count; ++i)
                top = Math.max(top, pointAt(curve, i).y)
            return top
        }

        // Gestures by real input events: the wheel leaves the live view, the
        // view stays while pushes come, drag and keys move it, a double-click
        // follows the pushes again.
        function test_lookBackByMouseAndKeys() {
            var chart = makeChart()
            var first = recordHour(chart)
            var view = chart.chartView
            var area = view.plotArea
            var label = findChild(chart, "historyLabel")
            verify(!chart.history)
            verify(!label.visible)

            // Ten wheel steps out: 200 s × 1.25^10, around the pointer.
            mouseWheel(view, area.x + area.width / 2, area.y + 20, 0, -1200)
            verify(chart.history)
            verify(label.visible)
            verify(chart.historyText.startsWith("历史 "), chart.historyText)
            fuzzyCompare(chart.viewTo - chart.viewFrom, 200000 * Math.pow(1.25, 10), 1500)
            verify(chart.viewTo <= first + 7199 * 500)
            // At most two points per pixel column, plus one past each edge.
            verify(chart.curves[0].count <= 2 * Math.round(area.width) + 2, chart.curves[0].count)
            verify(chart.curves[1].count <= 2 * Math.round(area.width) + 2, chart.curves[1].count)

            // Pushes are recorded; the view and its curves stay.
            var from = chart.viewFrom, to = chart.viewTo, points = chart.curves[0].count
            for (var n = 0; n < 5; ++n)
                chart.autoPush([1000, 1000])
            compare(chart.recordWaves.count, 7205)
            compare([chart.viewFrom, chart.viewTo, chart.curves[0].count], [from, to, points])
            verify(chart.valueAxis.max < 1000)

            // A drag to the right shows earlier samples, by the time dragged.
            mouseDrag(view, area.x + 200, area.y + 50, 100, 0)
            verify(chart.viewFrom < from)
            fuzzyCompare(chart.viewTo - chart.viewFrom, to - from, 1)
            // The drag gave the chart the keys: + zooms in, Left goes earlier.
            verify(chart.activeFocus)
            var span = chart.viewTo - chart.viewFrom
            keyClick(Qt.Key_Plus)
            fuzzyCompare(chart.viewTo - chart.viewFrom, span / 1.25, 1)
            from = chart.viewFrom
            keyClick(Qt.Key_Left)
            verify(chart.viewFrom < from)

            // All the way in stops at 10 s; all the way out is the recording,
            // where the spike of one sample still shows and the axis holds it.
            for (n = 0; n < 40; ++n)
                keyClick(Qt.Key_Plus)
            fuzzyCompare(chart.viewTo - chart.viewFrom, 10000, 1)
            mouseWheel(view, area.x + 10, area.y + 20, 0, -120 * 40)
            compare(chart.viewFrom, first)
            compare(chart.viewTo, chart.recordWaves.timeMs(chart.recordWaves.count - 1))
            compare(curveMax(chart.curves[0]), 1000)
            verify(chart.valueAxis.max >= 1000)
            chart.lookBack(first, first + 1800000) // the first half hour
            compare(curveMax(chart.curves[0]), 500)
            // The axis fits what is in view: 0 .. 500, with room above.
            compare([chart.valueAxis.min, chart.valueAxis.max], [-25, 600])

            // The cursor takes the nearest recorded entry, NaN and all.
            mouseMove(view, area.x + area.width / 2, area.y + 30)
            mouseMove(view, area.x + area.width / 2 + 1, area.y + 30)
            tryVerify(function () { return chart.toolTip.visible })
            var index = chart.hoverIndex
            fuzzyCompare(chart.recordWaves.timeMs(index), first + 900000, 3000)
            compare(chart.hoverDate.getTime(), chart.recordWaves.timeMs(index))
            verify(findChild(chart.toolTip, "toolTipLabel").text.indexOf("电流2: —\n") > 0)

            // Back to live: the last 200 samples, the live axis widened by
            // the pushes made meanwhile, no label.
            mouseDoubleClickSequence(view, area.x + 50, area.y + 50)
            verify(!chart.history)
            verify(!label.visible)
            compare(chart.curves[0].count, 200)
            compare(pointAt(chart.curves[0], 199).y, 1000)
            compare(chart.dateAxis.format, "hh:mm:ss")
            compare(chart.valueAxis.max, 1200)
            chart.autoPush([3, 3])
            compare(chart.viewTo, chart.recordWaves.timeMs(chart.recordWaves.count - 1))
            // Home from history, too.
            chart.panBy(50)
            verify(chart.history)
            keyClick(Qt.Key_Home)
            verify(!chart.history)
        }

        // A moment is looked at in a 10 min window; one outside the recording
        // leaves the view where it is and says so.
        function test_lookAround() {
            var chart = makeChart()
            verify(!chart.lookAround(Date.now()), "nothing recorded")
            var first = recordHour(chart)
            verify(chart.lookAround(first + 1800000))
            compare([chart.viewFrom, chart.viewTo], [first + 1500000, first + 2100000])
            verify(!chart.lookAround(first - 60000))
            compare([chart.viewFrom, chart.viewTo], [first + 1500000, first + 2100000])
            verify(chart.historyText.indexOf("不在记录中") > 0, chart.historyText)
            chart.followLive()
            verify(!chart.lookAround(Date.now() + 60000))
            verify(!chart.history)
            verify(findChild(chart, "historyLabel").visible)
            // Near the end: the window stays inside the recording.
            verify(chart.lookAround(first + 7199 * 500))
            compare(chart.viewTo, first + 7199 * 500)
            fuzzyCompare(chart.viewTo - chart.viewFrom, 600000, 1)
            Language.loadEnglish()
            Public.language = "en"
            verify(chart.historyText.startsWith("History "), chart.historyText)
        }

        // --- Theme, buttons ----------------------------------------------------

        function test_themeChangeKeepsTheLabelFonts() {
            var chart = makeChart()
            var original = Public.theme
            var other = {}
            for (var key in original)
                other[key] = original[key]
            other.name = "test-theme"
            other.chartTheme = ChartView.ChartThemeBlueIcy
            try {
                Public.theme = other
                compare(chart.chartView.theme, ChartView.ChartThemeBlueIcy)
                compare(chart.dateAxis.labelsFont.pixelSize, 14)
                verify(chart.dateAxis.labelsFont.bold)
                compare(chart.valueAxis.labelsFont.pixelSize, 14)
                verify(Qt.colorEqual(chart.valueAxis.labelsColor, "gray"))
                compare(chart.chartView.legend.font.pixelSize, 20)
            } finally {
                Public.theme = original
            }
            compare(chart.chartView.theme, original.chartTheme)
            compare(chart.valueAxis.labelsFont.pixelSize, 14)
        }

        function test_buttonsAndName() {
            var chart = makeChart({ "title": "泵浦电流曲线" })
            var save = findChild(chart, "saveButton")
            var reset = findChild(chart, "resetButton")
            compare(save.tipText, "保存波形")
            compare(reset.tipText, "重置图表")
            compare(String(reset.btnIcon), "qrc:/res/icons/clear.svg")
            // 16 px from the right edge, 8 px apart, 6 px from the top.
            var resetAt = reset.mapToItem(chart, 0, 0)
            var saveAt = save.mapToItem(chart, 0, 0)
            compare(resetAt.x, chart.width - 16 - 28)
            compare(saveAt.x, resetAt.x - 8 - 28)
            compare(resetAt.y, 6)
            chart.autoPush([1, 1])
            mouseClick(reset)
            compare(chart.recordWaves.count, 0)
        }
    }
}
