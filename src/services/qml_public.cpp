#include "qml_public.h"

#include "build_stamp.h"
#include "common/single_instance.h"

#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QUrl>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>

#include <algorithm>
#include <cmath>

bool extractResourceFile(const QString &resource, const QString &target)
{
    QFile source(resource);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = source.readAll();

    QFile existing(target);
    if (existing.size() == content.size() && existing.open(QIODevice::ReadOnly) &&
        existing.readAll() == content)
        return true;
    existing.close();

    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    // Written aside and renamed over the old copy: a viewer never sees half a file.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QmlPublic *QmlPublic::getInstance()
{
    return SingleInstance<QmlPublic>::get();
}

QPointF QmlPublic::xySeriesAt(QtCharts::QLineSeries *series, int i)
{
    if (!series || i < 0 || i >= series->count())
        return QPointF(0, 0);
    return series->at(i);
}

void QmlPublic::xySeriesAppend(QtCharts::QLineSeries *series, double x, double y)
{
    if (!series)
        return;
    series->append(x, y);
}

namespace {

// The points of `series` after appending (x, y) and keeping the last `keep`.
QVector<QPointF> shiftedWindow(const QtCharts::QLineSeries &series, QPointF point, int keep)
{
    const QVector<QPointF> points = series.pointsVector();
    QVector<QPointF> window;
    window.reserve(keep);
    for (int i = points.size() - keep + 1; i < points.size(); ++i)
        window.append(points.at(i));
    window.append(point);
    return window;
}

} // namespace

void QmlPublic::xySeriesPush(const QVariantList &series, double x, const QVariantList &ys, int keep,
                             QObject *timeAxis)
{
    keep = std::max(keep, 1);
    auto *axis = qobject_cast<QtCharts::QDateTimeAxis *>(timeAxis);

    // Each series' points after the push; none for a series that is skipped.
    struct Change {
        QtCharts::QLineSeries *curve = nullptr;
        QVector<QPointF> points;
        bool append = false; // fewer than keep points: a plain append
    };
    QVector<Change> changes;
    QtCharts::QLineSeries *first = nullptr;
    QVector<QPointF> firstPoints;
    for (int i = 0; i < series.size(); ++i) {
        auto *curve = qobject_cast<QtCharts::QLineSeries *>(series.at(i).value<QObject *>());
        if (i == 0 && curve) {
            first = curve;
            firstPoints = curve->pointsVector();
        }
        if (!curve || i >= ys.size())
            continue;
        bool isNumber = false;
        const double y = ys.at(i).toDouble(&isNumber);
        if (!isNumber || !std::isfinite(x) || !std::isfinite(y))
            continue;
        Change change;
        change.curve = curve;
        change.append = curve->count() < keep;
        change.points = change.append ? QVector<QPointF>{QPointF(x, y)}
                                      : shiftedWindow(*curve, QPointF(x, y), keep);
        if (i == 0)
            firstPoints = change.append ? firstPoints + change.points : change.points;
        changes.append(change);
    }

    // The time axis' new range: series 0's window. A range of no length
    // leaves the plot without a scale, and the chart keeps the curves as
    // they were last computed: then every curve changes with its notice
    // before the axis, as one change at a time would do.
    const bool moveAxis = axis && first && !firstPoints.isEmpty();
    const qint64 minMs =
        moveAxis ? qint64(firstPoints.at(std::max(0, firstPoints.size() - keep)).x()) : 0;
    const qint64 maxMs = moveAxis ? qint64(firstPoints.last().x()) : 0;
    const bool holdBack = moveAxis && maxMs > minMs;

    QVector<QtCharts::QLineSeries *> quiet; // replaced, their notice held back
    for (const Change &change : qAsConst(changes)) {
        QtCharts::QLineSeries *curve = change.curve;
        if (change.append) {
            curve->append(change.points.first());
        } else if (holdBack && curve->chart() && curve->attachedAxes().contains(axis)) {
            const QSignalBlocker blocker(curve);
            curve->replace(change.points);
            quiet.append(curve);
        } else {
            curve->replace(change.points);
        }
    }
    if (!moveAxis)
        return;

    // Where the ends of the new range lie on each quiet curve's plot, before
    // and after the move: when they lie elsewhere after it, the curve's plot
    // range has changed and the chart has computed the curve for it. The
    // chart ignores a move of a millisecond or two on its time scale, so the
    // axis' own values cannot tell.
    const QPointF ends[2] = {QPointF(double(minMs), 0), QPointF(double(maxMs), 0)};
    QVector<QPointF> before;
    before.reserve(2 * quiet.size());
    for (QtCharts::QLineSeries *curve : qAsConst(quiet)) {
        for (const QPointF &end : ends)
            before.append(curve->chart()->mapToPosition(end, curve));
    }
    axis->setRange(QDateTime::fromMSecsSinceEpoch(minMs), QDateTime::fromMSecsSinceEpoch(maxMs));
    const auto finite = [](QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); };
    for (int i = 0; i < quiet.size(); ++i) {
        QtCharts::QLineSeries *curve = quiet.at(i);
        const QPointF atMin = curve->chart()->mapToPosition(ends[0], curve);
        const QPointF atMax = curve->chart()->mapToPosition(ends[1], curve);
        const bool computed = finite(atMin) && finite(atMax) && finite(before.at(2 * i)) &&
                              finite(before.at(2 * i + 1)) &&
                              (atMin != before.at(2 * i) || atMax != before.at(2 * i + 1));
        if (!computed)
            emit curve->pointsReplaced();
    }
}

void QmlPublic::xySeriesReplace(QtCharts::QLineSeries *series, const QVariantList &points)
{
    if (!series)
        return;
    QVector<QPointF> replacement;
    replacement.reserve(points.size());
    for (const QVariant &entry : points) {
        if (!entry.canConvert<QPointF>())
            continue;
        const QPointF point = entry.toPointF();
        if (std::isfinite(point.x()) && std::isfinite(point.y()))
            replacement.append(point);
    }
    series->replace(replacement);
}

QString QmlPublic::buildDateTime()
{
    // The stamp of the build that compiled this file.
    return buildStampFrom(QStringLiteral(__DATE__), QStringLiteral(__TIME__));
}

QString QmlPublic::manualResource()
{
    return QStringLiteral(":/manual.html");
}

QString QmlPublic::manualCopyPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("orrindel-manual.html"));
}

bool QmlPublic::openManual()
{
    const QString path = manualCopyPath();
    if (!extractResourceFile(manualResource(), path)) {
        qDebug().noquote() << "Manual : cannot write" << QDir::toNativeSeparators(path);
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
