import QtQuick 2.15
import CppSingletonClass 1.0
import OrrindelRecording 1.0
import "chart_rules.js" as Rules

// A card with a live chart of one to four curves over a moving time axis.
// The screen keeps the last pointsNum samples of each curve; the recording
// keeps up to recordMaxPoints pushes for export as comma-separated text. A
// cursor snaps to the sample nearest the mouse and a tooltip lists its values
// (ChartCursor); the save button exports the recording (ChartSaveDialog).
// The wheel, a drag or the keys leave the live view to look back over the
// recording (ChartHistory); a double-click or Home follows the pushes again.
Item {
    id: root

    property string title: "Chart"
    property string titleIcon: ""
    // One entry per curve, in curve order; entry.name is the curve's name.
    property var seriesList: []
    property string unit: ""
    property int pointsNum: 200
    // Seven days at two pushes a second.
    property int recordMaxPoints: 1209600
    // One entry per push, oldest first (a native store: a JavaScript list of
    // entry objects would need gigabytes for four full recordings).
    readonly property WaveRecording recordWaves: recording
    // The page's message box; a failed export is reported through it.
    property var msgBox: null
    // The recording's key in the session journal ("": not journalled). With
    // a key the chart starts with what the journal kept for it: the recording
    // holds it all and the curves show its last pointsNum samples.
    property string journalKey: ""

    // For the page and the tests.
    readonly property alias chartView: chartView
    readonly property alias dateAxis: chartView.dateAxis
    readonly property alias valueAxis: chartView.valueAxis
    readonly property alias toolTip: cursor.toolTip
    readonly property alias saveDialog: saveDialog
    readonly property var curves: d.curves
    readonly property bool initialized: d.initialized
    readonly property int hoverIndex: cursor.hoverIndex
    readonly property var hoverDate: cursor.hoverDate
    // Looking back: the range shown stays as pushes arrive.
    readonly property bool history: lookBackView.active
    readonly property real viewFrom: lookBackView.active ? lookBackView.fromMs : dateAxis.min.getTime()
    readonly property real viewTo: lookBackView.active ? lookBackView.toMs : dateAxis.max.getTime()
    // The label in the plot ("" while none shows).
    readonly property string historyText: lookBackView.labelText
    // The window a moment is shown in (lookAround).
    readonly property real lookAroundSpanMs: 10 * 60 * 1000

    // The time rounded to the nearest multiple of 500 ms, plus offset seconds.
    function getDateRound(time, offset) {
        return Rules.getDateRound(time, offset)
    }

    // One sample per curve, in seriesList order. A hidden chart (the page
    // shows one chart of each slot) records its samples but lets its curves
    // and axes catch up only when shown: every change of a curve or an axis
    // makes the chart compute its geometry and lay out its labels again, the
    // larger part of a push's cost.
    function autoPush(vals) {
        if (!d.initialized)
            return
        var date = new Date()
        var time = date.getTime()
        if (lookBackView.active) {
            // The view stays; the live axis range still follows.
            for (var c = 0; vals && c < d.curves.length; ++c)
                d.widen(vals[c])
        } else if (root.visible) {
            // Every curve's window and the time axis move together, so that
            // the chart computes each curve once per push (see xySeriesPush).
            var curves = d.curves
            var ys = []
            for (var i = 0; i < curves.length; ++i)
                ys.push(d.shownValue(curves[i], vals ? vals[i] : undefined))
            QmlPublic.xySeriesPush(curves, time, ys, root.pointsNum, dateAxis)
        } else {
            d.hold(time, vals)
        }
        recording.append(time, vals ? vals : [])
        cursor.followPush()
    }

    // Empties the curves and the recording; the curves restart as zeros,
    // live.
    function clean() {
        lookBackView.leave()
        for (var i = 0; i < d.curves.length; ++i)
            d.curves[i].clear()
        d.held = []
        d.valueMin = 0
        d.valueMax = 1
        valueAxis.min = 0
        valueAxis.max = 1
        recording.clear()
        d.prefill(getDateRound(new Date()))
        cursor.snapAgain()
    }

    // Appends (time, y) to a curve and widens the value axis to 1.2 × y; the
    // axis never narrows except by clean(). (A push does the same for every
    // curve at once and moves the time axis with them: autoPush.)
    function appendData(curve, time, y) {
        if (Rules.isSample(y)) {
            QmlPublic.xySeriesAppend(curve, time, y)
            d.widen(y)
        } else {
            QmlPublic.xySeriesAppend(curve, time, d.lastValue(curve))
        }
    }

    // The cursor's and the tooltip's rules, for the tests (see chart_rules.js).
    function nearestIndex(xAt, target, start, end) {
        return Rules.nearestIndex(xAt, target, start, end)
    }

    function tipOffset(mouse, tipSize, span, lastOffset) {
        return Rules.tipOffset(mouse, tipSize, span, lastOffset)
    }

    function timeText(date) {
        return Rules.timeText(date)
    }

    function toolTipText(date, names, values, unit) {
        return cursor.toolTipText(date, names, values, unit)
    }

    function toolTipSize(text, curveCount) {
        return Rules.toolTipSize(text, curveCount)
    }

    // Moves the cursor to the sample nearest the mouse.
    function updateMousePoint(mouseX, mouseY) {
        cursor.updateMousePoint(mouseX, mouseY)
    }

    function updateToolTip() {
        cursor.updateToolTip()
    }

    function leaveChart() {
        cursor.leave()
    }

    // Looking back (see ChartHistory). Each answers whether the view moved:
    // not while nothing is recorded.
    function lookBack(fromMs, toMs) {
        return lookBackView.show(fromMs, toMs)
    }

    // Wheel steps (angleDelta / 120; positive zooms in) around the time under
    // x, in the chart view's pixels.
    function wheelAt(x, steps) {
        return d.initialized && lookBackView.wheel(x, steps, viewFrom, viewTo)
    }

    // A drag of `pixels` (to the right: earlier).
    function panBy(pixels) {
        return d.initialized && lookBackView.drag(pixels, viewFrom, viewTo)
    }

    // lookAroundSpanMs centred on atMs; a moment not recorded leaves the view
    // and says so in the label.
    function lookAround(atMs) {
        return d.initialized && lookBackView.lookAround(atMs, lookAroundSpanMs)
    }

    function followLive() {
        if (!lookBackView.active)
            return
        lookBackView.leave()
        d.showRecordingEnd()
    }

    // The export (see ChartSaveDialog). withDate: the first column holds the
    // local date and time (ISO 8601) instead of the time of day.
    function waveText(withDate) {
        return saveDialog.waveText(withDate)
    }

    function openSaveDialog() {
        saveDialog.openProposingWave()
    }

    // Writes the export to the file a save dialog answered with (a URL or a
    // local name), off the interface thread: recordWaves.exportFinished tells
    // when it is done; a failure is shown through msgBox.
    function saveWaveTo(fileUrl, withDate) {
        saveDialog.saveWaveTo(fileUrl, withDate)
    }

    width: 400
    height: 300

    onVisibleChanged: d.restorePending ? d.restore() : d.catchUp()

    // The keys while the chart has the focus (a click on it gives it).
    Keys.onPressed: {
        var step = chartView.plotArea.width / 10
        var centre = chartView.plotArea.x + chartView.plotArea.width / 2
        if (event.key === Qt.Key_Left)
            panBy(step)
        else if (event.key === Qt.Key_Right)
            panBy(-step)
        else if (event.key === Qt.Key_Plus || event.key === Qt.Key_Equal)
            wheelAt(centre, 1)
        else if (event.key === Qt.Key_Minus)
            wheelAt(centre, -1)
        else if (event.key === Qt.Key_Home)
            followLive()
        else
            return
        event.accepted = true
    }

    Accessible.role: Accessible.Chart
    Accessible.name: root.title

    onJournalKeyChanged: {
        if (d.initialized)
            recording.journalKey = root.journalKey
    }

    WaveRecording {
        id: recording
        capacity: root.recordMaxPoints
        onHistoryLoaded: d.restore()
    }

    QtObject {
        id: d

        property bool initialized: false
        property var curves: []
        // The value axis' range, also while the chart is hidden.
        property real valueMin: 0
        property real valueMax: 1
        // The journal's history came while the chart was hidden.
        property bool restorePending: false
        // Pushes while hidden, oldest first, at most pointsNum of them:
        // { time, ys } with the value each curve shows.
        property var held: []

        // The value a curve shows for sample y, as appendData: y, which
        // widens the value axis, or the curve's last value. (A series drops a
        // point whose y is not a finite number, which would leave the curves
        // of different lengths, and the cursor reads all of them at one
        // index. The recording keeps such a sample as NaN.)
        function shownValue(curve, y) {
            if (!Rules.isSample(y))
                return lastValue(curve)
            widen(y)
            return y
        }

        function lastValue(curve) {
            return curve.count > 0 ? QmlPublic.xySeriesAt(curve, curve.count - 1).y : 0
        }

        // Only numbers widen the value axis: one NaN would leave it NaN.
        function widen(y) {
            var range = Rules.widenedRange(valueMin, valueMax, y)
            if (range.min === valueMin && range.max === valueMax)
                return
            valueMin = range.min
            valueMax = range.max
            if (root.visible && !lookBackView.active) {
                valueAxis.min = range.min
                valueAxis.max = range.max
            }
        }

        // The time axis spans the first curve's window, oldest to newest.
        function moveTimeAxis() {
            if (curves.length === 0)
                return
            var first = curves[0]
            ChartAxes.setTimeRange(dateAxis, QmlPublic.xySeriesAt(first, first.count - root.pointsNum).x,
                                   QmlPublic.xySeriesAt(first, first.count - 1).x)
        }

        function hold(time, vals) {
            var ys = []
            for (var i = 0; i < curves.length; ++i) {
                var y = vals ? vals[i] : undefined
                if (Rules.isSample(y)) {
                    ys.push(y)
                    widen(y)
                } else {
                    ys.push(held.length > 0 ? held[held.length - 1].ys[i] : lastValue(curves[i]))
                }
            }
            held.push({ "time": time, "ys": ys })
            if (held.length > root.pointsNum)
                held.shift()
        }

        // Brings curves and axes up to date after pushes while hidden.
        function catchUp() {
            if (!initialized || !root.visible || lookBackView.active)
                return
            if (held.length > 0) {
                // Each curve's new window in one change: its newest points
                // that stay, then the held ones. Point by point the chart
                // would compute the curve once per held push, a long frame.
                for (var i = 0; i < curves.length; ++i) {
                    var curve = curves[i]
                    var stay = Math.max(0, Math.min(curve.count, root.pointsNum - held.length))
                    var points = []
                    for (var j = curve.count - stay; j < curve.count; ++j)
                        points.push(QmlPublic.xySeriesAt(curve, j))
                    for (var k = 0; k < held.length; ++k)
                        points.push(Qt.point(held[k].time, held[k].ys[i]))
                    QmlPublic.xySeriesReplace(curve, points)
                }
                held = []
                moveTimeAxis()
            }
            valueAxis.min = valueMin
            valueAxis.max = valueMax
        }

        // Time axis from rounded - pointsNum s to rounded; every curve holds
        // pointsNum zeros 1 s apart up to 1 s before rounded.
        function prefill(rounded) {
            var end = rounded.getTime()
            ChartAxes.setTimeRange(dateAxis, end - root.pointsNum * 1000, end)
            // One change per curve: point by point the chart would compute
            // each curve pointsNum times (a good part of the start-up).
            var zeros = Rules.zeroPoints(end, root.pointsNum)
            for (var i = 0; i < curves.length; ++i)
                QmlPublic.xySeriesReplace(curves[i], zeros)
        }

        // The journal's history is in the recording: the curves show its last
        // pointsNum samples, after zeros 1 s apart when there are fewer (as
        // at the start). A sample that is not a number holds the curve's
        // previous value, as on a push; the value axis spans what is shown.
        function restore() {
            if (!initialized || recording.count === 0)
                return
            if (lookBackView.active) {
                restorePending = false
                lookBackView.redraw()
                return
            }
            // A hidden chart waits until it is shown: the page hides two of
            // its four, and a start should not pay for charts not in sight.
            restorePending = !root.visible
            held = []
            if (restorePending)
                return
            showRecordingEnd(true)
        }

        // The live view again: the curves show the recording's last
        // pointsNum samples. After a look back the value axis keeps its
        // range and widens to what is shown; after a start it spans it.
        function showRecordingEnd(fromStart) {
            held = []
            if (recording.count === 0) {
                prefill(root.getDateRound(new Date()))
                valueAxis.min = valueMin
                valueAxis.max = valueMax
                cursor.snapAgain()
                return
            }
            var restored = Rules.restoredCurves(recording.count, root.pointsNum, curves.length,
                                                function (k) { return recording.timeMs(k) },
                                                function (k) { return recording.values(k) })
            valueMin = fromStart ? restored.min : Math.min(valueMin, restored.min)
            valueMax = fromStart ? restored.max : Math.max(valueMax, restored.max)
            // One change per curve, as the pre-fill does.
            for (var i = 0; i < curves.length; ++i)
                QmlPublic.xySeriesReplace(curves[i], restored.points[i])
            moveTimeAxis()
            if (root.visible) {
                valueAxis.min = valueMin
                valueAxis.max = valueMax
            }
            cursor.snapAgain()
        }

        function initialize() {
            var rounded = root.getDateRound(new Date())
            var names = []
            for (var i = 0; i < root.seriesList.length; ++i)
                names.push(root.seriesList[i].name)
            curves = chartView.createCurves(names)
            recording.curveCount = curves.length
            prefill(rounded)
            chartView.applyFonts()
            initialized = true
            // Once the curves exist and the recording has their count.
            recording.journalKey = root.journalKey
        }
    }

    Connections {
        target: Public

        function onLanguageChanged() {
            if (!d.initialized)
                return
            for (var i = 0; i < d.curves.length && i < root.seriesList.length; ++i)
                d.curves[i].name = root.seriesList[i].name
        }
    }

    Card {
        id: card

        anchors.fill: parent
        title: root.title
        titleIcon: root.titleIcon
        headerInset: 116 // save, reset and the page's switch button left of them
        // The chart itself carries the name.
        Accessible.ignored: true

        ChartPlot {
            id: chartView

            objectName: "chartView"
            width: card.width - 12
            height: card.height - 36
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 6

            Component.onCompleted: d.initialize()

            ChartHistory {
                id: lookBackView

                anchors.fill: parent
                plot: chartView
                curves: d.curves
                recording: recording
            }

            ChartCursor {
                id: cursor

                anchors.fill: parent
                chartView: chartView
                curves: d.curves
                unit: root.unit
                ready: d.initialized
                lookingBack: lookBackView.active
                recording: recording
                onWheelTurned: root.wheelAt(x, steps)
                onDragged: root.panBy(pixels)
                onPressed: root.forceActiveFocus()
                onDoubleClicked: root.followLive()
            }
        }

        Row {
            anchors.right: parent.right
            anchors.rightMargin: 16
            y: 6
            spacing: 8

            ChartSaveButton {
                recording: root.recordWaves
                onClicked: root.openSaveDialog()
            }

            IconButton {
                objectName: "resetButton"
                width: 28
                height: 28
                btnIcon: "qrc:/res/icons/clear.svg"
                tipText: qsTr("重置图表")
                onClicked: root.clean()
            }
        }
    }

    ChartSaveDialog {
        id: saveDialog

        recording: recording
        curves: d.curves
        msgBox: root.msgBox
    }
}
