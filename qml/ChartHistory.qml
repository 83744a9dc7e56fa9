import QtQuick 2.15
import QtCharts 2.15
import OrrindelRecording 1.0
import "chart_rules.js" as Rules

// A chart's look back over its recording. While active, the plot shows a
// range of the recording and keeps it however many pushes arrive; each curve
// is drawn as the extremes of each pixel column (ChartLookBack), so a spike
// of one sample shows at every zoom, and the value axis fits what is shown.
// A label in the plot area names the range, or for a while a moment asked
// for that is not in the recording. The live view is the chart's own
// (NormalChart): leave() hands the plot back to it.
Item {
    id: root

    // The chart's plot (ChartPlot), its curves and its recording.
    property ChartView plot: null
    property var curves: []
    property WaveRecording recording: null

    readonly property bool active: d.active
    readonly property real fromMs: d.fromMs
    readonly property real toMs: d.toMs
    // A plot of another width draws the range again in its columns.
    readonly property int columns: Rules.drawColumns(plot ? plot.plotArea.width : 0, d.columns)
    onColumnsChanged: redraw()

    // What the label says ("": hidden).
    readonly property string labelText: d.note !== "" ? d.note : d.active ? d.rangeText : ""

    // Shows the recording from fromMs to toMs, moved into it; false (and
    // nothing changed) while nothing is recorded.
    function show(fromMs, toMs) {
        if (!recording || recording.count === 0)
            return false
        var view = ChartLookBack.pan(fromMs, toMs, 0, recording)
        d.note = ""
        // A pan at either end moves nothing: nothing to draw.
        if (d.active && view.from === d.fromMs && view.to === d.toMs)
            return true
        d.fromMs = view.from
        d.toMs = view.to
        d.active = true
        redraw()
        return true
    }

    // Draws the range again (after a resize, or the recording's history
    // coming in from the journal).
    function redraw() {
        if (!d.active)
            return
        d.columns = columns
        ChartLookBack.draw(recording, curves, plot.dateAxis, plot.valueAxis, d.fromMs, d.toMs,
                           d.columns, Rules.historyAxisFormat(d.fromMs, d.toMs))
        d.nameRange()
    }

    // Zooms by wheel steps (positive: in) around the time under x, from the
    // range shown (liveFrom .. liveTo while live).
    function wheel(x, steps, liveFrom, liveTo) {
        if (curves.length === 0)
            return false
        var anchor = plot.mapToValue(Qt.point(x, 0), curves[0]).x
        var from = d.active ? d.fromMs : liveFrom
        var to = d.active ? d.toMs : liveTo
        var view = ChartLookBack.wheel(from, to, anchor, steps, recording)
        return show(view.from, view.to)
    }

    // Moves the range by a drag of `pixels` (to the right: earlier).
    function drag(pixels, liveFrom, liveTo) {
        var from = d.active ? d.fromMs : liveFrom
        var to = d.active ? d.toMs : liveTo
        var shift = Rules.dragMs(pixels, plot.plotArea.width, to - from)
        var view = ChartLookBack.pan(from, to, shift, recording)
        return show(view.from, view.to)
    }

    // A window of spanMs centred on atMs. A moment not in the recording
    // changes nothing and says so in the label for a few seconds.
    function lookAround(atMs, spanMs) {
        var view = ChartLookBack.centred(atMs, spanMs, recording)
        if (!view.recorded) {
            d.note = qsTranslate("NormalChart", "%1 不在记录中")
                    .arg(Qt.formatDateTime(new Date(atMs), "yyyy-MM-dd hh:mm:ss"))
            noteTimer.restart()
            return false
        }
        return show(view.from, view.to)
    }

    function leave() {
        d.active = false
        d.note = ""
        plot.dateAxis.format = "hh:mm:ss"
    }

    QtObject {
        id: d

        property bool active: false
        // The columns of the last drawing.
        property int columns: 0
        property real fromMs: 0
        property real toMs: 0
        property string rangeText: ""
        property string note: ""

        function nameRange() {
            rangeText = Rules.historyText(qsTranslate("NormalChart", "历史"), fromMs, toMs, Date.now())
        }
    }

    Timer {
        id: noteTimer
        interval: 6000
        onTriggered: d.note = ""
    }

    Connections {
        target: Public

        // The label's word and format follow the language.
        function onLanguageChanged() {
            if (d.active)
                d.nameRange()
        }
    }

    Item {
        objectName: "historyLabel"
        x: root.plot ? root.plot.plotArea.x + 6 : 0
        y: root.plot ? root.plot.plotArea.y + 4 : 0
        width: labelText.implicitWidth + 16
        height: labelText.implicitHeight + 6
        visible: root.labelText !== ""

        Rectangle {
            anchors.fill: parent
            radius: 6
            border.color: Public.theme.chartTipBorderColor
            opacity: 0.7
        }

        Text {
            id: labelText

            anchors.centerIn: parent
            text: root.labelText
            font.pixelSize: 14
            color: Public.theme.chartTipTextColor
            textFormat: Text.PlainText
        }
    }
}
