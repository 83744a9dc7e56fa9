#pragma once

#include <QObject>
#include <QPointF>
#include <QString>
#include <QVariantList>
#include <QtCharts/QLineSeries>

// Copies the resource file `resource` to the file `target`, creating the
// target's folder. A target that already holds the same bytes is left alone
// (a viewer may have it open); any other content is replaced. False when the
// resource is missing or the target cannot be written.
bool extractResourceFile(const QString &resource, const QString &target);

// Chart point access for QML, the program's build stamp, and the operator's
// manual.
class QmlPublic : public QObject {
    Q_OBJECT
public:
    static QmlPublic *getInstance();

    QmlPublic() = default;

    // Point i of the series; (0, 0) for a null series or an index outside it.
    Q_INVOKABLE QPointF xySeriesAt(QtCharts::QLineSeries *series, int i);
    // Appends (x, y); a null series is ignored.
    Q_INVOKABLE void xySeriesAppend(QtCharts::QLineSeries *series, double x, double y);
    // One push to the curves of a chart: appends (x, ys[i]) to series[i],
    // which keeps its last `keep` points (at least one; with fewer, a plain
    // append), then moves `timeAxis` (a DateTimeAxis) to span series[0]'s
    // window, from its oldest point kept to its newest.
    //
    // Every change of a curve or of its axes makes the chart compute the
    // curve again (its outline: a stroke of all its points, the larger part
    // of a push with the software scene graph). Removing the oldest point,
    // appending and moving the axis one after the other cost three such
    // computations per curve; here a full curve changes quietly (one replace
    // with the shifted points, its notice held back) and is computed once,
    // by the axis move, or by one notice when the axis does not move (two
    // pushes in the same millisecond) or the curve is not on that axis.
    //
    // Entries that are not line series and points that are not finite (which
    // append would drop) are skipped; without a DateTimeAxis no axis moves.
    Q_INVOKABLE void xySeriesPush(const QVariantList &series, double x, const QVariantList &ys,
                                  int keep, QObject *timeAxis);
    // Replaces every point of the series by `points` (point values, e.g.
    // Qt.point(x, y)), in one change: the chart recomputes the curve once, not
    // once per point as appends one by one would. Entries that are not points,
    // or not finite, are left out (append leaves them out too). A null series
    // changes nothing.
    Q_INVOKABLE void xySeriesReplace(QtCharts::QLineSeries *series, const QVariantList &points);
    Q_INVOKABLE QString buildDateTime();
    // Writes the manual compiled into the program to manualCopyPath() and asks
    // the desktop to open that file. True when the desktop could be asked;
    // whether a viewer then shows it is the desktop's affair.
    Q_INVOKABLE bool openManual();

    // The generated manual among the program's resources.
    static QString manualResource();
    // Where openManual puts the copy: the user's cache folder of this
    // program, or the temporary folder when the system names none.
    static QString manualCopyPath();
};
