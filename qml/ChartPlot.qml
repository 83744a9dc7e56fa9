import QtQuick 2.15
import QtCharts 2.15

// The plot of a live chart: a chart view with a time axis and a value axis,
// in the chart theme of the program's theme, and the curves it creates on
// them. A chart theme sets the axis labels' font and colour; the plot puts
// its own back after every change of theme.
ChartView {
    id: root

    readonly property alias dateAxis: dateAxis
    readonly property alias valueAxis: valueAxis

    // Line series on the two axes, one named after each of names, in order.
    function createCurves(names) {
        var created = []
        for (var i = 0; i < names.length; ++i) {
            var curve = root.createSeries(ChartView.SeriesTypeLine, names[i], dateAxis, valueAxis)
            curve.width = 2
            // The software scene graph cannot draw OpenGL series: there the
            // series draws itself. The scene graph's kind is known only once
            // the window shows, hence the binding.
            curve.useOpenGL = Qt.binding(function () {
                return root.GraphicsInfo.api !== GraphicsInfo.Software
            })
            created.push(curve)
        }
        return created
    }

    // The labels' and the legend's fonts, from now on also after a change of
    // theme.
    function applyFonts() {
        d.applyAxisFonts()
        root.legend.font.pixelSize = 20
        d.themeName = Public.theme.name
        d.styled = true
    }

    antialiasing: true
    animationOptions: ChartView.NoAnimation
    margins.top: 0
    theme: Public.theme.chartTheme

    QtObject {
        id: d

        property bool styled: false
        property string themeName: ""

        // A chart theme resets the axis labels.
        function applyAxisFonts() {
            var font = Qt.font({ "pixelSize": 14, "bold": true })
            dateAxis.labelsFont = font
            valueAxis.labelsFont = font
            dateAxis.labelsColor = Public.theme.chartAxisLabelColor
            valueAxis.labelsColor = Public.theme.chartAxisLabelColor
        }

        function applyTheme() {
            root.theme = Public.theme.chartTheme
            if (styled && Public.theme.name !== themeName)
                applyAxisFonts()
            themeName = Public.theme.name
            root.legend.font.pixelSize = 20
        }
    }

    Connections {
        target: Public

        function onThemeChanged() {
            d.applyTheme()
        }
    }

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
}
