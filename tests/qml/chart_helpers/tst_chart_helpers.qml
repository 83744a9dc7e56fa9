import QtQuick 2.15
import QtCharts 2.15
import QtTest 1.2
import CppSingletonClass 1.0

ChartView {
    width: 400
    height: 300

    LineSeries { id: series }
    LineSeries { id: empty }

    TestCase {
        name: "ChartHelpers"

        function init() {
            series.clear()
        }

        function test_appendedPointsAreReadBack() {
            QmlPublic.xySeriesAppend(series, 1700000000000, 1.5)
            QmlPublic.xySeriesAppend(series, 1700000000500, -3)
            compare(series.count, 2)
            compare(QmlPublic.xySeriesAt(series, 0), Qt.point(1700000000000, 1.5))
            compare(QmlPublic.xySeriesAt(series, 1), Qt.point(1700000000500, -3))
        }

        function test_outsideTheSeriesGivesOrigin() {
            QmlPublic.xySeriesAppend(series, 5, 6)
            compare(QmlPublic.xySeriesAt(series, 1), Qt.point(0, 0))
            compare(QmlPublic.xySeriesAt(series, -1), Qt.point(0, 0))
            compare(QmlPublic.xySeriesAt(empty, 0), Qt.point(0, 0))
            compare(QmlPublic.xySeriesAt(null, 0), Qt.point(0, 0))
            QmlPublic.xySeriesAppend(null, 1, 2)
            compare(series.count, 1)
        }

        function test_buildStampForm() {
            verify(/^\d{6}-\d{2}:\d{2}:\d{2}$/.test(QmlPublic.buildDateTime()))
        }
    }
}
