#include "chart_look_back.h"

#include "look_back_rules.h"
#include "wave_decimation.h"
#include "wave_recording.h"

#include <QDateTime>
#include <QSignalBlocker>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QValueAxis>
#include <QtCharts/QXYSeries>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

QVariantMap rangeMap(const look_back::Range &range)
{
    return {{QStringLiteral("from"), range.fromMs}, {QStringLiteral("to"), range.toMs}};
}

// The recording's time range; from > to for none.
look_back::Range recordedRange(QObject *recording)
{
    const auto *waves = qobject_cast<WaveRecording *>(recording);
    if (!waves || waves->count() == 0)
        return {1, 0};
    const WaveStore &store = waves->entries();
    return {store.timeAt(0), store.timeAt(store.size() - 1)};
}

// The entry's sample of a curve as a point, when it is a number.
void addIfSample(const WaveSnapshot &entries, qsizetype i, int curve, QVector<QPointF> &points)
{
    if (i < 0 || i >= entries.size())
        return;
    const double value = entries.valueAt(i, curve);
    if (std::isfinite(value))
        points.append(QPointF(entries.timeAt(i), value));
}

} // namespace

QVariantMap ChartLookBack::recorded(QObject *recording) const
{
    const look_back::Range range = recordedRange(recording);
    return range.fromMs > range.toMs ? rangeMap({kNaN, kNaN}) : rangeMap(range);
}

QVariantMap ChartLookBack::wheel(double fromMs, double toMs, double anchorMs, double steps,
                                 QObject *recording) const
{
    return rangeMap(look_back::wheel({fromMs, toMs}, anchorMs, steps, recordedRange(recording)));
}

QVariantMap ChartLookBack::pan(double fromMs, double toMs, double deltaMs, QObject *recording) const
{
    return rangeMap(look_back::pan({fromMs, toMs}, deltaMs, recordedRange(recording)));
}

QVariantMap ChartLookBack::centred(double atMs, double spanMs, QObject *recording) const
{
    const look_back::Range range = recordedRange(recording);
    QVariantMap view = rangeMap(look_back::centred(atMs, spanMs, range));
    view.insert(QStringLiteral("recorded"), look_back::recorded(atMs, range));
    return view;
}

QVariantMap ChartLookBack::draw(QObject *recording, const QVariantList &curves, QObject *timeAxis,
                                QObject *valueAxis, double fromMs, double toMs, int columns,
                                const QString &timeFormat) const
{
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    const auto *waves = qobject_cast<WaveRecording *>(recording);
    auto *time = qobject_cast<QtCharts::QDateTimeAxis *>(timeAxis);
    auto *value = qobject_cast<QtCharts::QValueAxis *>(valueAxis);
    if (!waves || !time || !value || !(toMs > fromMs))
        return {{QStringLiteral("min"), low}, {QStringLiteral("max"), high}};

    const WaveSnapshot entries = waves->entries().snapshot();
    const auto drawn = wave_decimation::minMaxColumns(entries, fromMs, toMs, columns);
    const qsizetype first = wave_decimation::firstAtOrAfter(entries, fromMs);
    const qsizetype after =
        wave_decimation::firstAtOrAfter(entries, std::nextafter(toMs, HUGE_VAL));
    std::vector<std::pair<QtCharts::QXYSeries *, QVector<QPointF>>> changes;
    for (int c = 0; c < curves.size() && c < int(drawn.size()); ++c) {
        auto *series = qobject_cast<QtCharts::QXYSeries *>(curves.at(c).value<QObject *>());
        if (!series)
            continue;
        QVector<QPointF> points;
        points.reserve(int(drawn[std::size_t(c)].size()) + 2);
        addIfSample(entries, first - 1, c, points);
        for (const wave_decimation::Point &p : drawn[std::size_t(c)]) {
            points.append(QPointF(p.timeMs, p.value));
            low = std::min(low, p.value);
            high = std::max(high, p.value);
        }
        addIfSample(entries, after, c, points);
        changes.emplace_back(series, std::move(points));
    }
    const bool anySample = low <= high;
    const look_back::ValueRange fit = look_back::fitValues(low, high);

    // Each move of an axis, and a new format of its labels, makes the chart
    // compute every curve. The value axis moves, and the labels take their
    // format, while the curves are empty, which costs nothing; the time axis
    // then moves with the new points. Where the range's ends lie on the
    // plot before and after that move tells whether the chart saw it (not
    // for the same range, nor for one a millisecond or two off): if not, the
    // curves get their notice.
    QtCharts::QXYSeries *probe = nullptr;
    for (const auto &change : changes) {
        if (change.first->chart())
            probe = change.first;
    }
    const QPointF ends[2] = {QPointF(fromMs, 0), QPointF(toMs, 0)};
    const auto place = [&] {
        return probe ? std::make_pair(probe->chart()->mapToPosition(ends[0], probe).x(),
                                      probe->chart()->mapToPosition(ends[1], probe).x())
                     : std::make_pair(0.0, 0.0);
    };
    const auto replaceQuietly = [&](bool empty) {
        for (auto &change : changes) {
            const QSignalBlocker quiet(change.first);
            change.first->replace(empty ? QVector<QPointF>() : change.second);
        }
    };
    replaceQuietly(true);
    if (!timeFormat.isEmpty())
        time->setFormat(timeFormat);
    if (anySample)
        value->setRange(fit.min, fit.max);
    replaceQuietly(false);
    const auto before = place();
    time->setRange(QDateTime::fromMSecsSinceEpoch(qint64(fromMs)),
                   QDateTime::fromMSecsSinceEpoch(qint64(toMs)));
    if (!probe || place() == before) {
        for (auto &change : changes)
            emit change.first->pointsReplaced();
    }
    return {{QStringLiteral("min"), low}, {QStringLiteral("max"), high}};
}

int ChartLookBack::nearestEntry(QObject *recording, double timeMs) const
{
    const auto *waves = qobject_cast<WaveRecording *>(recording);
    if (!waves || waves->count() == 0)
        return -1;
    const WaveSnapshot entries = waves->entries().snapshot();
    const qsizetype after = wave_decimation::firstAtOrAfter(entries, timeMs);
    if (after == 0)
        return 0;
    if (after == entries.size())
        return int(after - 1);
    const double before = timeMs - entries.timeAt(after - 1);
    return int(entries.timeAt(after) - timeMs < before ? after : after - 1);
}
