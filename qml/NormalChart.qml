import QtQuick 2.15
import QtCharts 2.15
import Qt.labs.platform 1.1 as Platform
import CppSingletonClass 1.0
import OrrindelRecording 1.0

// A card with a live chart of one to four curves over a moving time axis.
// The screen keeps the last pointsNum samples of each curve; the recording
// keeps up to recordMaxPoints pushes for export as comma-separated text. A
// cursor snaps to the sample nearest the mouse and a tooltip lists its values.
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
    readonly property alias dateAxis: dateAxis
    readonly property alias valueAxis: valueAxis
    readonly property alias toolTip: toolTip
    readonly property alias saveDialog: saveDialog
    readonly property var curves: d.curves
    readonly property bool initialized: d.initialized
    readonly property int hoverIndex: d.hoverIndex
    readonly property var hoverDate: d.hoverDate

    // The time rounded to the nearest multiple of 500 ms, plus offset seconds.
    function getDateRound(time, offset) {
        var ms = Math.round(new Date(time).getTime() / 500) * 500
        return new Date(ms + (offset === undefined ? 0 : offset) * 1000)
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
        if (root.visible) {
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
        if (d.hovering && mouseArea.containsMouse) {
            // A new index rebuilds the tooltip by itself; the same index now
            // holds other samples.
            var index = d.hoverIndex
            updateMousePoint(mouseArea.mouseX, mouseArea.mouseY)
            if (d.hoverIndex === index)
                updateToolTip()
        }
    }

    // Empties the curves and the recording; the curves restart as zeros.
    function clean() {
        for (var i = 0; i < d.curves.length; ++i)
            d.curves[i].clear()
        d.held = []
        d.valueMin = 0
        d.valueMax = 1
        valueAxis.min = 0
        valueAxis.max = 1
        recording.clear()
        d.prefill(getDateRound(new Date()))
        if (d.hovering && mouseArea.containsMouse)
            updateMousePoint(mouseArea.mouseX, mouseArea.mouseY)
    }

    // Appends (time, y) to a curve and widens the value axis to 1.2 × y; the
    // axis never narrows except by clean(). (A push does the same for every
    // curve at once and moves the time axis with them: autoPush.)
    function appendData(curve, time, y) {
        if (d.isSample(y)) {
            QmlPublic.xySeriesAppend(curve, time, y)
            d.widen(y)
        } else {
            QmlPublic.xySeriesAppend(curve, time, d.lastValue(curve))
        }
    }

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
    // format, ".", the milliseconds unpadded.
    function timeText(date) {
        return date.toLocaleTimeString(Qt.locale(), Locale.LongFormat) + "." + date.getMilliseconds()
    }

    // The tooltip's lines, each ended by a line break.
    function toolTipText(date, names, values, unit) {
        var text = qsTr("时刻") + ": " + timeText(date) + "\n"
        for (var i = 0; i < names.length; ++i)
            text += names[i] + ": " + Number(values[i]).toFixed(1) + unit + "\n"
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

    // Moves the cursor to the sample nearest the mouse.
    function updateMousePoint(mouseX, mouseY) {
        if (!d.initialized || d.curves.length === 0)
            return
        d.hovering = true
        d.tipOffsetX = tipOffset(mouseX, toolTip.width, chartView.width, d.tipOffsetX)
        d.tipOffsetY = tipOffset(mouseY, toolTip.height, chartView.height, d.tipOffsetY)
        toolTip.x = mouseX + d.tipOffsetX
        toolTip.y = mouseY + d.tipOffsetY
        toolTip.visible = true

        var first = d.curves[0]
        var target = chartView.mapToValue(Qt.point(mouseX, mouseY), first).x
        var index = nearestIndex(function (i) {
            return QmlPublic.xySeriesAt(first, i).x
        }, target, 0, first.count - 1)
        var ys = []
        var x = 0
        for (var i = 0; i < d.curves.length; ++i) {
            var at = chartView.mapToPosition(QmlPublic.xySeriesAt(d.curves[i], index), d.curves[i])
            ys.push(at.y)
            x = at.x
        }
        d.cursorX = x
        d.cursorYs = ys
        d.hoverDate = new Date(QmlPublic.xySeriesAt(first, index).x)
        d.hoverIndex = index
        cursorLayer.requestPaint()
    }

    function updateToolTip() {
        if (d.curves.length === 0 || !d.hoverDate)
            return
        var names = []
        var values = []
        for (var i = 0; i < d.curves.length; ++i) {
            names.push(d.curves[i].name)
            values.push(QmlPublic.xySeriesAt(d.curves[i], d.hoverIndex).y)
        }
        var text = toolTipText(d.hoverDate, names, values, root.unit)
        var size = toolTipSize(text, d.curves.length)
        toolTipLabel.text = text
        toolTip.width = size.width
        toolTip.height = size.height
    }

    function leaveChart() {
        d.hovering = false
        d.hoverIndex = 0
        d.cursorYs = []
        cursorLayer.requestPaint()
        toolTip.visible = false
    }

    // The export: the header in the current language and the curve names,
    // then one line per recorded push. withDate: the first column holds the
    // local date and time (ISO 8601) instead of the time of day.
    function waveText(withDate) {
        var names = []
        for (var i = 0; i < d.curves.length; ++i)
            names.push(d.curves[i].name)
        return recording.exportText(qsTr("时间戳"), names, !!withDate)
    }

    // Proposes "wave" in the folder last used (set here, not bound: a binding
    // would put it back whenever the user changes folders in the dialog).
    function openSaveDialog() {
        saveDialog.open()
        // Once open: some dialogs drop a selection made before they show.
        saveDialog.currentFile = saveDialog.folder + "/wave"
    }

    // Writes the export to the file a save dialog answered with (a URL or a
    // local name); a failure is shown through msgBox. True when written.
    function saveWaveTo(fileUrl, withDate) {
        var path = File.urlToLocalPath(String(fileUrl))
        if (File.saveWave(path, waveText(withDate)))
            return true
        if (root.msgBox)
            root.msgBox.showMsg(qsTr("保存失败: ") + path, "error")
        return false
    }

    width: 400
    height: 300

    onVisibleChanged: d.restorePending ? d.restore() : d.catchUp()

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
        property string themeName: ""
        property bool hovering: false
        property int hoverIndex: 0
        property var hoverDate: null
        property real cursorX: 0
        property var cursorYs: []
        property real tipOffsetX: 4
        property real tipOffsetY: 4
        // The value axis' range, also while the chart is hidden.
        property real valueMin: 0
        property real valueMax: 1
        // The journal's history came while the chart was hidden.
        property bool restorePending: false
        // Pushes while hidden, oldest first, at most pointsNum of them:
        // { time, ys } with the value each curve shows.
        property var held: []

        // A series drops a point whose y is not a finite number, which would
        // leave the curves of different lengths (the cursor reads all of them
        // at one index): such a sample holds the curve's last value on screen.
        // The recording keeps it as NaN.
        function isSample(y) {
            return typeof y === "number" && isFinite(y)
        }

        // The value a curve shows for sample y, as appendData: y, which
        // widens the value axis, or the curve's last value.
        function shownValue(curve, y) {
            if (!isSample(y))
                return lastValue(curve)
            widen(y)
            return y
        }

        function lastValue(curve) {
            return curve.count > 0 ? QmlPublic.xySeriesAt(curve, curve.count - 1).y : 0
        }

        // Only numbers widen the value axis: one NaN would leave it NaN.
        function widen(y) {
            if (!isSample(y))
                return
            var min = Math.min(valueMin, 1.2 * y)
            var max = Math.max(valueMax, 1.2 * y)
            if (min === 0 && max === 0)
                max = 1
            if (min === valueMin && max === valueMax)
                return
            valueMin = min
            valueMax = max
            if (root.visible) {
                valueAxis.min = min
                valueAxis.max = max
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
                if (isSample(y)) {
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
            if (!initialized || !root.visible)
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

        // The tooltip follows the hovered sample; hoverIndex is set last.
        onHoverIndexChanged: root.updateToolTip()

        // Time axis from rounded - pointsNum s to rounded; every curve holds
        // pointsNum zeros 1 s apart up to 1 s before rounded.
        function prefill(rounded) {
            var end = rounded.getTime()
            ChartAxes.setTimeRange(dateAxis, end - root.pointsNum * 1000, end)
            // One change per curve: point by point the chart would compute
            // each curve pointsNum times (a good part of the start-up).
            var zeros = []
            for (var n = root.pointsNum; n >= 1; --n)
                zeros.push(Qt.point(end - n * 1000, 0))
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
            // A hidden chart waits until it is shown: the page hides two of
            // its four, and a start should not pay for charts not in sight.
            restorePending = !root.visible
            if (restorePending) {
                held = []
                return
            }
            var shown = Math.min(root.pointsNum, recording.count)
            var first = recording.count - shown
            var start = recording.timeMs(first)
            var points = []
            var last = []
            for (var i = 0; i < curves.length; ++i) {
                points.push([])
                last.push(0)
            }
            held = []
            valueMin = 0
            valueMax = 1
            for (var n = root.pointsNum - shown; n >= 1; --n) {
                for (i = 0; i < curves.length; ++i)
                    points[i].push(Qt.point(start - n * 1000, 0))
            }
            for (var k = first; k < recording.count; ++k) {
                var time = recording.timeMs(k)
                var vals = recording.values(k)
                for (i = 0; i < curves.length; ++i) {
                    if (isSample(vals[i])) {
                        last[i] = vals[i]
                        widen(vals[i])
                    }
                    points[i].push(Qt.point(time, last[i]))
                }
            }
            // One change per curve, as the pre-fill does.
            for (i = 0; i < curves.length; ++i)
                QmlPublic.xySeriesReplace(curves[i], points[i])
            moveTimeAxis()
            if (root.visible) {
                valueAxis.min = valueMin
                valueAxis.max = valueMax
            }
            if (hovering && mouseArea.containsMouse)
                root.updateMousePoint(mouseArea.mouseX, mouseArea.mouseY)
        }

        // A chart theme resets the axis labels.
        function applyAxisFonts() {
            var font = Qt.font({ "pixelSize": 14, "bold": true })
            dateAxis.labelsFont = font
            valueAxis.labelsFont = font
            dateAxis.labelsColor = "gray"
            valueAxis.labelsColor = "gray"
        }

        function applyTheme() {
            chartView.theme = Public.theme.chartTheme
            if (initialized && Public.theme.name !== themeName)
                applyAxisFonts()
            themeName = Public.theme.name
            chartView.legend.font.pixelSize = 20
        }

        function initialize() {
            var rounded = root.getDateRound(new Date())
            var created = []
            for (var i = 0; i < root.seriesList.length; ++i) {
                var curve = chartView.createSeries(ChartView.SeriesTypeLine, root.seriesList[i].name,
                                                   dateAxis, valueAxis)
                curve.width = 2
                // The software scene graph cannot draw OpenGL series: there the
                // series draws itself. The scene graph's kind is known only once
                // the window shows, hence the binding.
                curve.useOpenGL = Qt.binding(function () {
                    return chartView.GraphicsInfo.api !== GraphicsInfo.Software
                })
                created.push(curve)
            }
            curves = created
            recording.curveCount = created.length
            prefill(rounded)
            applyAxisFonts()
            chartView.legend.font.pixelSize = 20
            themeName = Public.theme.name
            initialized = true
            // Once the curves exist and the recording has their count.
            recording.journalKey = root.journalKey
        }
    }

    Connections {
        target: Public

        function onThemeChanged() {
            d.applyTheme()
        }

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

        ChartView {
            id: chartView

            objectName: "chartView"
            width: card.width - 12
            height: card.height - 36
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 6
            antialiasing: true
            animationOptions: ChartView.NoAnimation
            margins.top: 0
            theme: Public.theme.chartTheme

            DateTimeAxis {
                id: dateAxis
                format: "hh:mm:ss"
                tickCount: 3
            }

            ValueAxis {
                id: valueAxis
                min: 0
                max: 1
            }

            Component.onCompleted: d.initialize()

            Canvas {
                id: cursorLayer

                anchors.fill: parent
                onPaint: {
                    var ctx = getContext("2d")
                    ctx.clearRect(0, 0, width, height)
                    if (d.cursorYs.length === 0)
                        return
                    var area = chartView.plotArea
                    ctx.save()
                    ctx.strokeStyle = "#272727"
                    ctx.lineWidth = 1
                    ctx.setLineDash([6, 2])
                    ctx.beginPath()
                    ctx.moveTo(d.cursorX, area.y)
                    ctx.lineTo(d.cursorX, area.y + area.height)
                    ctx.stroke()
                    ctx.restore()
                    for (var i = 0; i < d.cursorYs.length && i < d.curves.length; ++i) {
                        ctx.fillStyle = d.curves[i].color
                        ctx.beginPath()
                        ctx.arc(d.cursorX, d.cursorYs[i], 4, 0, 2 * Math.PI)
                        ctx.fill()
                    }
                }
            }

            MouseArea {
                id: mouseArea

                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.CrossCursor
                onPositionChanged: root.updateMousePoint(mouse.x, mouse.y)
                onExited: root.leaveChart()
            }

            Item {
                id: toolTip

                objectName: "toolTip"
                visible: false
                width: 20
                height: 32

                Rectangle {
                    anchors.fill: parent
                    radius: 6
                    border.color: "#384165"
                    opacity: 0.7
                }

                Text {
                    id: toolTipLabel

                    objectName: "toolTipLabel"
                    x: 10
                    y: 6
                    font.pixelSize: 14
                    lineHeightMode: Text.FixedHeight
                    lineHeight: 20
                    color: "#283155"
                    textFormat: Text.PlainText
                }
            }
        }

        Row {
            anchors.right: parent.right
            anchors.rightMargin: 16
            y: 6
            spacing: 8

            IconButton {
                objectName: "saveButton"
                width: 28
                height: 28
                tipText: qsTr("保存波形")
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

    Platform.FileDialog {
        id: saveDialog

        title: qsTr("保存波形文件")
        fileMode: Platform.FileDialog.SaveFile
        folder: Platform.StandardPaths.writableLocation(Platform.StandardPaths.DocumentsLocation)
        defaultSuffix: "csv"
        // The first keeps the format that files and tools already rely on.
        nameFilters: [qsTr("波形文件") + " (*.csv)", qsTr("带日期的CSV (ISO 8601)") + " (*.csv)"]
        // Set here so that it exists when the dialog opens: only then does
        // it follow the file type the operator chooses in the dialog.
        selectedNameFilter.index: 0
        onAccepted: root.saveWaveTo(file, selectedNameFilter.index === 1)
    }
}
