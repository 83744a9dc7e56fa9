import QtQuick 2.15
import QtCharts 2.15
import CppSingletonClass 1.0
import OrrindelRecording 1.0
import "chart_rules.js" as Rules

// The cursor of a chart view: while the mouse is over the view, a dashed
// line through the sample nearest to it with a dot on each curve, and a
// tooltip that lists the sample's time and values. Lies over the whole view,
// and passes on the gestures of looking back: wheel, drag, double-click.
Item {
    id: root

    // The view the cursor lies on, its curves (all of one length, in time
    // order) and the unit of their values.
    property ChartView chartView: null
    property var curves: []
    property string unit: ""
    // False until the curves are there.
    property bool ready: false
    // While looking back the curves are drawn by pixel columns: the cursor
    // takes the recording's entry nearest the mouse instead.
    property bool lookingBack: false
    property var recording: null

    signal wheelTurned(real x, real steps)
    signal dragged(real pixels)
    signal pressed
    signal doubleClicked

    readonly property alias toolTip: toolTip
    readonly property alias hoverIndex: d.hoverIndex
    readonly property alias hoverDate: d.hoverDate

    // The tooltip's lines (see Rules.toolTipText). The chart's texts are
    // catalogued under NormalChart, where they were written first.
    function toolTipText(date, names, values, unit) {
        return Rules.toolTipText(qsTranslate("NormalChart", "时刻"), date, names, values, unit)
    }

    // Moves the cursor to the sample nearest the mouse.
    function updateMousePoint(mouseX, mouseY) {
        if (!root.ready || root.curves.length === 0)
            return
        d.hovering = true
        d.tipOffsetX = Rules.tipOffset(mouseX, toolTip.width, chartView.width, d.tipOffsetX)
        d.tipOffsetY = Rules.tipOffset(mouseY, toolTip.height, chartView.height, d.tipOffsetY)
        toolTip.x = mouseX + d.tipOffsetX
        toolTip.y = mouseY + d.tipOffsetY
        toolTip.visible = true

        var curves = root.curves
        var first = curves[0]
        var target = chartView.mapToValue(Qt.point(mouseX, mouseY), first).x
        if (root.lookingBack) {
            d.pointAtEntry(ChartLookBack.nearestEntry(root.recording, target))
            return
        }
        var index = Rules.nearestIndex(function (i) {
            return QmlPublic.xySeriesAt(first, i).x
        }, target, 0, first.count - 1)
        var ys = []
        var x = 0
        for (var i = 0; i < curves.length; ++i) {
            var at = chartView.mapToPosition(QmlPublic.xySeriesAt(curves[i], index), curves[i])
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
        var curves = root.curves
        if (curves.length === 0 || !d.hoverDate)
            return
        var names = []
        var values = root.lookingBack ? root.recording.values(d.hoverIndex) : []
        for (var i = 0; i < curves.length; ++i) {
            names.push(curves[i].name)
            if (!root.lookingBack)
                values.push(QmlPublic.xySeriesAt(curves[i], d.hoverIndex).y)
        }
        var text = toolTipText(d.hoverDate, names, values, root.unit)
        var size = Rules.toolTipSize(text, curves.length)
        toolTipLabel.text = text
        toolTip.width = size.width
        toolTip.height = size.height
    }

    function leave() {
        d.hovering = false
        d.hoverIndex = 0
        d.cursorYs = []
        cursorLayer.requestPaint()
        toolTip.visible = false
    }

    // The curves changed under a resting mouse: the cursor moves to the
    // sample now nearest it.
    function snapAgain() {
        if (d.hovering && mouseArea.containsMouse)
            updateMousePoint(mouseArea.mouseX, mouseArea.mouseY)
    }

    // A push scrolled the curves under a resting mouse. A new index rebuilds
    // the tooltip by itself; the same index now holds other samples.
    function followPush() {
        if (!d.hovering || !mouseArea.containsMouse || root.lookingBack)
            return
        var index = d.hoverIndex
        updateMousePoint(mouseArea.mouseX, mouseArea.mouseY)
        if (d.hoverIndex === index)
            updateToolTip()
    }

    QtObject {
        id: d

        property bool hovering: false
        property int hoverIndex: 0
        property var hoverDate: null
        property real cursorX: 0
        property var cursorYs: []
        property real tipOffsetX: 4
        property real tipOffsetY: 4

        property real dragX: 0

        // The tooltip follows the hovered sample; hoverIndex is set last.
        onHoverIndexChanged: root.updateToolTip()

        // The cursor on the recording's entry `index`: a dot on each curve
        // with a number there.
        function pointAtEntry(index) {
            if (index < 0)
                return
            var time = root.recording.timeMs(index)
            var values = root.recording.values(index)
            var ys = []
            for (var i = 0; i < root.curves.length; ++i) {
                var at = root.chartView.mapToPosition(Qt.point(time, Number(values[i])), root.curves[i])
                ys.push(isFinite(values[i]) ? at.y : NaN)
            }
            cursorX = root.chartView.mapToPosition(Qt.point(time, 0), root.curves[0]).x
            cursorYs = ys
            hoverDate = new Date(time)
            if (hoverIndex === index)
                root.updateToolTip()
            hoverIndex = index
            cursorLayer.requestPaint()
        }
    }

    Canvas {
        id: cursorLayer

        anchors.fill: parent
        onPaint: {
            var ctx = getContext("2d")
            ctx.clearRect(0, 0, width, height)
            if (d.cursorYs.length === 0)
                return
            var area = root.chartView.plotArea
            ctx.save()
            ctx.strokeStyle = Public.theme.chartCursorColor
            ctx.lineWidth = 1
            ctx.setLineDash([6, 2])
            ctx.beginPath()
            ctx.moveTo(d.cursorX, area.y)
            ctx.lineTo(d.cursorX, area.y + area.height)
            ctx.stroke()
            ctx.restore()
            for (var i = 0; i < d.cursorYs.length && i < root.curves.length; ++i) {
                if (!isFinite(d.cursorYs[i]))
                    continue
                ctx.fillStyle = root.curves[i].color
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
        onPressed: {
            d.dragX = mouse.x
            root.pressed()
        }
        onPositionChanged: {
            if (pressed && mouse.x !== d.dragX) {
                var pixels = mouse.x - d.dragX
                d.dragX = mouse.x
                root.dragged(pixels)
            }
            root.updateMousePoint(mouse.x, mouse.y)
        }
        onDoubleClicked: root.doubleClicked()
        onWheel: root.wheelTurned(wheel.x, wheel.angleDelta.y / 120)
        onExited: root.leave()
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
            border.color: Public.theme.chartTipBorderColor
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
            color: Public.theme.chartTipTextColor
            textFormat: Text.PlainText
        }
    }
}
