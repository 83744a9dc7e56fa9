import QtQuick 2.15
import QtTest 1.15
import Qt.labs.platform 1.1 as Platform
import CppSingletonClass 1.0
import OrrindelJournal 1.0
import "../../../qml"

// The session journal behind the charts and the message list: what comes
// back after a restart (the documents made again over the journal closed and
// opened again), and one line in the list when the journal cannot be used.
// The journal lives in the temporary folder, in orrindel-qml-journal; each
// test starts it from an empty file.
Item {
    id: scene

    width: 1300
    height: 760

    Component {
        id: chartComponent

        NormalChart {
            x: 10
            y: 10
            width: 800
            height: 330
            journalKey: "qmlChart"
            seriesList: [{ "name": "a" }, { "name": "b" }]
        }
    }

    Component {
        id: pageComponent

        Content {
            x: 10
            y: 10
            width: 1280
            height: 720
        }
    }

    TestCase {
        id: test

        name: "SessionJournal"
        when: windowShown

        property string folder: ""
        readonly property string restartText: "—— 程序重新启动 ——"
        readonly property string problemText: "会话记录不可用: "

        function initTestCase() {
            var temp = Platform.StandardPaths.writableLocation(Platform.StandardPaths.TempLocation)
            folder = File.urlToLocalPath(String(temp)) + "/orrindel-qml-journal"
            Language.loadChinese()
        }

        function init() {
            SessionJournal.sizeLimit = 0
            // Made by the first open; then emptied: an empty file is an empty database.
            SessionJournal.open(folder)
            SessionJournal.close()
            verify(File.saveWave(folder + "/session-journal.sqlite", ""))
            verify(SessionJournal.open(folder))
            verify(SessionJournal.active)
        }

        function cleanupTestCase() {
            SessionJournal.close()
        }

        // What a restart does to the journal: everything written, closed, opened again.
        function restart() {
            SessionJournal.close()
            verify(SessionJournal.open(folder))
        }

        function makeChart() {
            var chart = chartComponent.createObject(scene)
            verify(chart)
            tryVerify(function () { return chart.initialized && !chart.recordWaves.loading })
            return chart
        }

        function makePage() {
            var page = pageComponent.createObject(scene)
            verify(page)
            var list = findChild(page, "alarmListView").model
            tryVerify(function () { return !list.loading })
            var charts = ["chartPD", "chartTemp", "chartPump", "chartPower"]
            for (var i = 0; i < charts.length; ++i) {
                var chart = findChild(page, charts[i])
                tryVerify(function () { return chart.initialized && !chart.recordWaves.loading })
            }
            return page
        }

        // The list's lines without their time stamps.
        function lines(page) {
            var model = findChild(page, "alarmListView").model
            var out = []
            for (var i = 0; i < model.count; ++i) {
                var m = /^\[\d\d:\d\d:\d\d\]> ([\s\S]*)$/.exec(model.get(i).line)
                verify(m, model.get(i).line)
                out.push(m[1])
            }
            return out
        }

        function point(curve, i) {
            return QmlPublic.xySeriesAt(curve, i)
        }

        // --- Charts ------------------------------------------------------------

        function test_chartComesBackWithItsRecordingAndItsLastSamples() {
            var chart = makeChart()
            for (var i = 0; i < 250; ++i)
                chart.autoPush([i, i === 120 ? NaN : 2 * i])
            var before = chart.waveText()
            chart.destroy()
            restart()

            chart = makeChart()
            compare(chart.recordWaves.count, 250)
            compare(chart.waveText(), before)
            // The curves show the last 200 samples, not the zero pre-fill.
            for (var c = 0; c < 2; ++c) {
                var curve = chart.curves[c]
                compare(curve.count, 200)
                compare(point(curve, 0).y, (c + 1) * 50)
                compare(point(curve, 199).y, (c + 1) * 249)
                compare(point(curve, 199).x, chart.recordWaves.timeMs(249))
            }
            // The value axis spans what is shown, as after those pushes.
            compare(chart.valueAxis.max, 1.2 * 498)
            compare(chart.dateAxis.max.getTime(), chart.recordWaves.timeMs(249))
            compare(chart.dateAxis.min.getTime(), chart.recordWaves.timeMs(50))

            // New samples follow, in the export too.
            chart.autoPush([7, 8])
            compare(chart.recordWaves.count, 251)
            var after = chart.waveText()
            verify(after.indexOf(before + "\n") === 0)
            compare(after.split("\n").length, before.split("\n").length + 1)
            compare(point(chart.curves[1], 199).y, 8)
            chart.destroy()
        }

        function test_resetSurvivesARestartAndFewSamplesArePadded() {
            var chart = makeChart()
            for (var i = 0; i < 10; ++i)
                chart.autoPush([i, i])
            chart.clean()
            chart.autoPush([1, NaN])
            chart.autoPush([2, 5])
            chart.autoPush([3, NaN])
            chart.destroy()
            restart()

            chart = makeChart()
            compare(chart.recordWaves.count, 3)
            // Fewer than 200: zeros 1 s apart before them, as at a start.
            var curve = chart.curves[0]
            compare(curve.count, 200)
            var first = chart.recordWaves.timeMs(0)
            for (i = 0; i < 197; ++i) {
                compare(point(curve, i).y, 0)
                compare(point(curve, i).x, first - (197 - i) * 1000)
            }
            compare([point(curve, 197).y, point(curve, 198).y, point(curve, 199).y], [1, 2, 3])
            // A missing value holds the curve's previous one on screen.
            var second = chart.curves[1]
            compare([point(second, 197).y, point(second, 198).y, point(second, 199).y], [0, 5, 5])
            chart.destroy()
        }

        // --- The page ------------------------------------------------------------

        function test_pageKeepsItsListAndChartsAcrossRestarts() {
            var page = makePage()
            var rev = "Rev:" + QmlPublic.buildDateTime()
            page.insertMsg("first alarm")
            findChild(page, "chartPD").autoPush([11, 12])
            findChild(page, "chartTemp").autoPush([21.5, 22.5, 23.5])
            findChild(page, "chartPower").autoPush([330])
            page.destroy()
            restart()

            page = makePage()
            compare(lines(page), [rev, "first alarm", restartText, rev])
            var view = findChild(page, "alarmListView")
            waitForRendering(view)
            verify(view.atYEnd, "the newest line in view")
            compare(findChild(page, "chartPD").recordWaves.values(0), [11, 12])
            compare(findChild(page, "chartPower").recordWaves.count, 1)
            compare(findChild(page, "chartPump").recordWaves.count, 0)
            // A hidden chart shows its history once its slot shows it.
            var temp = findChild(page, "chartTemp")
            verify(!temp.visible)
            mouseClick(findChild(findChild(page, "chartPD"), "switchBtn"))
            verify(temp.visible)
            compare(point(temp.curves[2], 199).y, 23.5)
            compare(point(temp.curves[2], 198).y, 0)
            compare(temp.valueAxis.max, 1.2 * 23.5)

            // Clear means what it means: only the lines after it come back.
            findChild(page, "clearBtn").clicked()
            page.insertMsg("after clear")
            page.destroy()
            restart()

            page = makePage()
            compare(lines(page), ["after clear", restartText, rev])
            page.destroy()
        }

        function test_unusableJournalIsOneLineAndTheCurvesGoOn_data() {
            return [
                { tag: "garbage file", garbage: true, limit: 0, reason: "not a database" },
                { tag: "disk full during the session", garbage: false, limit: 40000, reason: "full" }
            ]
        }

        function test_unusableJournalIsOneLineAndTheCurvesGoOn(data) {
            SessionJournal.close()
            if (data.garbage)
                verify(File.saveWave(folder + "/session-journal.sqlite", "garbage, not a database\n".repeat(200)))
            SessionJournal.sizeLimit = data.limit
            SessionJournal.open(folder)

            var page = makePage()
            var chart = findChild(page, "chartPump")
            var pushed = 0
            for (var round = 0; round < 100 && SessionJournal.problem === ""; ++round) {
                for (var i = 0; i < 100; ++i, ++pushed)
                    chart.autoPush([1 / (pushed + 3), 1e-7 * pushed, Math.PI * pushed, pushed / 7])
                SessionJournal.flush()
            }
            verify(SessionJournal.problem.indexOf(data.reason) !== -1, SessionJournal.problem)
            tryVerify(function () {
                return lines(page).some(function (l) { return l.indexOf(problemText) === 0 })
            })
            for (i = 0; i < 50; ++i, ++pushed)
                chart.autoPush([1, 2, 3, 4])
            page.insertMsg("still running")
            SessionJournal.flush()
            wait(50)
            var reports = lines(page).filter(function (l) { return l.indexOf(problemText) === 0 })
            compare(reports.length, 1)
            compare(reports[0], problemText + SessionJournal.problem)
            compare(chart.recordWaves.count, pushed)
            compare(point(chart.curves[3], 199).y, 4)
            verify(!SessionJournal.active)
            page.destroy()
            SessionJournal.sizeLimit = 0
        }
    }
}
