// Looking back over a full week in the status page's pump-current chart (4
// curves, 1 209 600 entries: seven days at two records a second), in the real
// NormalChart of bench_chart.qml:
//
//  - zooms to a range (lookBack) and wheel steps (wheelAt): the time of the
//    call, and from the call until the frame that shows it has been swapped;
//  - where a redraw's time goes: how often a zoom draws the curves, and each
//    part of ChartHistory.redraw done again on its own from C++ (decimation,
//    the curves' replace, a move of either axis), the frame after a draw and
//    the chart's own painting of its picture;
//  - panning at 60 steps a second (5 % of the span a step): frame intervals;
//  - resident memory over many zooms in and out.
//
//   bench_look_back [--rounds N] [--wheel-rounds N] [--cycles N] [--quick]
//                   [--only zoom,wheel,parts,pan,memory]
//
// Defaults: 10 zooms to each level, 3 rounds of wheel steps, 1000 cycles of
// zooming for the memory; --quick: 3, 1 and 100.
//
// Every zoom is also checked against the recording: the range shown, at most
// two points per pixel column (5 % to spare), each curve's extremes in the range (a spike of
// one sample must show) and a value axis that holds them. A failed check is
// printed and makes the exit status 1; the timings are only printed.
//
// Runs on the display that DISPLAY names (xvfb-run), else offscreen. The scene
// graph is the program's own choice (the software one on a software
// rasteriser such as llvmpipe) unless QT_QUICK_BACKEND sets one ("opengl":
// OpenGL).

#include "bench_quantile.h"
#include "bench_window.h"
#include "image_providers.h"
#include "resources.h"
#include "scene_graph_choice.h"
#include "services/chart_axes.h"
#include "services/chart_look_back.h"
#include "services/wave_decimation.h"
#include "services/wave_recording.h"
#include "singletons.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QValueAxis>
#include <QtCharts/QXYSeries>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>
#include <vector>

#include <unistd.h>

namespace {

constexpr double kSecond = 1000;
constexpr double kHour = 3600 * kSecond;
constexpr double kDay = 24 * kHour;
constexpr int kEntries = 1209600;
constexpr int kCurves = 4;
constexpr double kEntryMs = 500;

QElapsedTimer sinceStart;

double nowMs()
{
    return double(sinceStart.nsecsElapsed()) / 1e6;
}

// All threads: with OpenGL the scene graph renders on a thread of its own.
double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0 : 0;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

void print(const char *label, const std::vector<double> &v)
{
    if (v.empty()) {
        std::printf("  %-30s none\n", label);
        return;
    }
    std::printf("  %-30s median %7.2f ms   p90 %7.2f ms   max %7.2f ms   (n=%zu)\n", label,
                quantile(v, 0.5), quantile(v, 0.9), *std::max_element(v.begin(), v.end()),
                v.size());
}

// The swaps of the window and when each frame's synchronisation and rendering
// began, from whichever thread renders.
class FrameWatch {
public:
    struct Frame {
        double syncStart = 0;
        double renderStart = 0;
        double renderEnd = 0;
        double swapped = 0;
    };

    explicit FrameWatch(QQuickWindow *window)
        : window(window)
    {
        QObject::connect(
            window, &QQuickWindow::beforeSynchronizing, window, [this] { mark(&Frame::syncStart); },
            Qt::DirectConnection);
        QObject::connect(
            window, &QQuickWindow::beforeRendering, window, [this] { mark(&Frame::renderStart); },
            Qt::DirectConnection);
        QObject::connect(
            window, &QQuickWindow::afterRendering, window, [this] { mark(&Frame::renderEnd); },
            Qt::DirectConnection);
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [this] {
                std::lock_guard<std::mutex> lock(mutex);
                current.swapped = nowMs();
                frames.push_back(current);
                current = Frame{};
            },
            Qt::DirectConnection);
    }

    int count() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return int(frames.size());
    }

    std::vector<Frame> since(int index) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return {frames.begin() + std::min<std::ptrdiff_t>(index, std::ptrdiff_t(frames.size())),
                frames.end()};
    }

    // Runs the event loop until a frame has been swapped after the first
    // `before` and no other follows within quietMs: the chart paints its
    // picture a turn of the event loop after a change, so that one change
    // can take two frames, and the last shows it. Answers the frames swapped
    // (0: none within timeoutMs).
    int settle(int before, int quietMs = 40, int timeoutMs = 5000)
    {
        QEventLoop loop;
        QTimer quiet;
        quiet.setSingleShot(true);
        quiet.setTimerType(Qt::PreciseTimer);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        // Queued from a render thread: the timer belongs to this one.
        const auto swapped = QObject::connect(window, &QQuickWindow::frameSwapped, &quiet,
                                              [&quiet, quietMs] { quiet.start(quietMs); });
        if (count() > before)
            quiet.start(quietMs);
        limit.start(timeoutMs);
        loop.exec();
        QObject::disconnect(swapped);
        return count() - before;
    }

    double lastSwap() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return frames.empty() ? 0 : frames.back().swapped;
    }

private:
    void mark(double Frame::*phase)
    {
        std::lock_guard<std::mutex> lock(mutex);
        current.*phase = nowMs();
    }

    QQuickWindow *window;
    mutable std::mutex mutex;
    Frame current;
    std::vector<Frame> frames;
};

// Runs the event loop for ms (at least one pass over what is pending).
void runFor(double ms)
{
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(int(std::ceil(ms)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A week of pump currents as the decoder gives them (amperes, three
// decimals): each pump near its working current, following the day's load,
// drifting up over the week, with noise, a stop of 20 minutes every day and
// now and then a spike of one sample (a reading the chart must not lose at
// any zoom).
void fillRecording(WaveRecording *recording, double lastMs)
{
    QRandomGenerator rng(7);
    const double firstMs = lastMs - double(kEntries - 1) * kEntryMs;
    QVariantList values;
    values.reserve(kCurves);
    for (int i = 0; i < kEntries; ++i) {
        const double t = firstMs + double(i) * kEntryMs;
        const double week = double(i) / kEntries;
        const double dayPhase = std::fmod(t - firstMs, kDay) / kDay;
        const bool stopped = dayPhase > 0.70 && dayPhase < 0.70 + 20 * 60 * kSecond / kDay;
        values.clear();
        for (int c = 0; c < kCurves; ++c) {
            double amps = 0;
            if (!stopped) {
                amps = (8.0 + 0.5 * c) * (0.9 + 0.08 * std::sin(2 * M_PI * dayPhase + c)) +
                       0.3 * week + (rng.generateDouble() - 0.5) * 0.04;
                if (rng.bounded(40000) == 0)
                    amps += rng.bounded(2) ? 2.5 : -4.0;
            }
            values.append(std::round(amps * 1000) / 1000);
        }
        recording->append(t, values);
    }
}

// The chart under test and what the bench reads of it.
struct Chart {
    QObject *item = nullptr;
    QObject *view = nullptr; // ChartPlot
    QObject *dateAxis = nullptr;
    QObject *valueAxis = nullptr;
    WaveRecording *recording = nullptr;
    QVariantList curves;
    // Draws: moves of the time axis and replaces of the first curve with
    // their notice (see main).
    int draws = 0;

    double first() const { return recording->entries().timeAt(0); }
    double last() const
    {
        const WaveStore &store = recording->entries();
        return store.timeAt(store.size() - 1);
    }
    QRectF plotArea() const { return view->property("plotArea").toRectF(); }
    // The pixel columns ChartHistory draws in.
    int columns() const { return std::max(1, int(std::lround(plotArea().width()))); }
    double viewFrom() const { return item->property("viewFrom").toDouble(); }
    double viewTo() const { return item->property("viewTo").toDouble(); }

    bool call(const char *function, QVariant a = {}, QVariant b = {}) const
    {
        QVariant answer;
        if (!a.isValid())
            QMetaObject::invokeMethod(item, function, Q_RETURN_ARG(QVariant, answer));
        else if (!b.isValid())
            QMetaObject::invokeMethod(item, function, Q_RETURN_ARG(QVariant, answer),
                                      Q_ARG(QVariant, a));
        else
            QMetaObject::invokeMethod(item, function, Q_RETURN_ARG(QVariant, answer),
                                      Q_ARG(QVariant, a), Q_ARG(QVariant, b));
        return answer.toBool();
    }
};

// What the chart shows against the recording. Counts and prints failures.
class Checks {
public:
    int failures = 0;

    // After a look back at [fromMs, toMs] (expected: already clamped).
    void view(const Chart &chart, double fromMs, double toMs, const char *what)
    {
        if (!chart.item->property("history").toBool())
            fail(what, "not in history mode");
        if (std::abs(chart.viewFrom() - fromMs) > 1 || std::abs(chart.viewTo() - toMs) > 1)
            fail(what, qPrintable(QStringLiteral("view %1 .. %2, expected %3 .. %4")
                                      .arg(chart.viewFrom(), 0, 'f', 0)
                                      .arg(chart.viewTo(), 0, 'f', 0)
                                      .arg(fromMs, 0, 'f', 0)
                                      .arg(toMs, 0, 'f', 0)));
        drawing(chart, what);
    }

    // The curves and axes against the recording over the view the chart says
    // it shows.
    void drawing(const Chart &chart, const char *what)
    {
        const double from = chart.viewFrom();
        const double to = chart.viewTo();
        auto *timeAxis = chart.dateAxis;
        const double axisMin = timeAxis->property("min").toDateTime().toMSecsSinceEpoch();
        const double axisMax = timeAxis->property("max").toDateTime().toMSecsSinceEpoch();
        if (std::abs(axisMin - from) > 1 || std::abs(axisMax - to) > 1)
            fail(what, "time axis is not the view");

        const WaveStore &store = chart.recording->entries();
        qsizetype low = 0;
        qsizetype high = store.size();
        while (low < high) {
            const qsizetype mid = (low + high) / 2;
            if (store.timeAt(mid) < from)
                low = mid + 1;
            else
                high = mid;
        }
        double overallMin = std::numeric_limits<double>::infinity();
        double overallMax = -overallMin;
        for (int c = 0; c < kCurves; ++c) {
            double rawMin = std::numeric_limits<double>::infinity();
            double rawMax = -rawMin;
            for (qsizetype i = low; i < store.size() && store.timeAt(i) <= to; ++i) {
                rawMin = std::min(rawMin, store.valueAt(i, c));
                rawMax = std::max(rawMax, store.valueAt(i, c));
            }
            auto *series = qobject_cast<QtCharts::QXYSeries *>(chart.curves[c].value<QObject *>());
            const QVector<QPointF> points = series->pointsVector();
            // The drawing keeps its columns while the plot's edge moves by
            // up to 5 % (drawColumns in chart_rules.js).
            if (points.size() > 2 * int(chart.columns() * 1.05) + 2)
                fail(what, qPrintable(QStringLiteral("curve %1 has %2 points for %3 columns")
                                          .arg(c)
                                          .arg(points.size())
                                          .arg(chart.columns())));
            double shownMin = std::numeric_limits<double>::infinity();
            double shownMax = -shownMin;
            for (const QPointF &p : points) {
                if (p.x() >= from && p.x() <= to) {
                    shownMin = std::min(shownMin, p.y());
                    shownMax = std::max(shownMax, p.y());
                }
            }
            if (rawMin <= rawMax && (shownMin != rawMin || shownMax != rawMax))
                fail(what, qPrintable(QStringLiteral("curve %1 shows %2 .. %3, recorded %4 .. %5")
                                          .arg(c)
                                          .arg(shownMin)
                                          .arg(shownMax)
                                          .arg(rawMin)
                                          .arg(rawMax)));
            overallMin = std::min(overallMin, rawMin);
            overallMax = std::max(overallMax, rawMax);
        }
        const double valueMin = chart.valueAxis->property("min").toDouble();
        const double valueMax = chart.valueAxis->property("max").toDouble();
        if (overallMin <= overallMax && (valueMin > overallMin || valueMax < overallMax))
            fail(what, "value axis does not hold the samples shown");
    }

    void fail(const char *what, const char *why)
    {
        if (++failures <= 20)
            std::printf("CHECK FAILED (%s): %s\n", what, why);
    }
};

// The expected view of a look back at [from, to]: moved into the recording,
// no longer than it.
std::pair<double, double> clamped(const Chart &chart, double from, double to)
{
    const double span = std::min(to - from, chart.last() - chart.first());
    const double start = std::clamp(from, chart.first(), chart.last() - span);
    return {start, start + span};
}

struct Level {
    const char *name;
    double spanMs; // 0: the whole recording
};

const Level kLevels[] = {
    {"whole week", 0},      {"a day", kDay}, {"an hour", kHour}, {"10 minutes", 600 * kSecond},
    {"10 s", 10 * kSecond},
};
constexpr int kLevelCount = int(sizeof(kLevels) / sizeof(kLevels[0]));

std::pair<double, double> levelRange(const Chart &chart, const Level &level, double centre)
{
    if (level.spanMs == 0)
        return {chart.first(), chart.last()};
    return {centre - level.spanMs / 2, centre + level.spanMs / 2};
}

struct Timed {
    std::vector<double> call;   // the QML function
    std::vector<double> toSwap; // the call's start to the last frame it caused
    std::vector<double> frames; // frames per change
    std::vector<double> cpu;    // processor time, call to swap
    std::vector<double> draws;  // ChartLookBack.draw per change, the frame's included
};

// One change of the view (fn), then its frame.
template<typename Fn> void timeChange(Chart &chart, FrameWatch &watch, Timed &t, Fn fn)
{
    const int before = watch.count();
    const int draws = chart.draws;
    const double cpu = processCpuMs();
    const double start = nowMs();
    fn();
    t.call.push_back(nowMs() - start);
    const int frames = watch.settle(before);
    t.frames.push_back(frames);
    t.toSwap.push_back(frames > 0 ? watch.lastSwap() - start : 5000);
    t.cpu.push_back(processCpuMs() - cpu);
    t.draws.push_back(chart.draws - draws);
}

// The zoom levels in turn, each from another level, `rounds` times; the
// centre moves a little every round.
void zoomLevels(Chart &chart, FrameWatch &watch, Checks &checks, int rounds)
{
    std::vector<Timed> timed(kLevelCount);
    for (int r = 0; r < rounds; ++r) {
        const double centre = chart.last() - 2.6 * kDay + r * 7 * 60 * kSecond;
        for (int l = 0; l < kLevelCount; ++l) {
            const auto range = levelRange(chart, kLevels[l], centre);
            timeChange(chart, watch, timed[std::size_t(l)],
                       [&] { chart.call("lookBack", range.first, range.second); });
            const auto expected = clamped(chart, range.first, range.second);
            checks.view(chart, expected.first, expected.second, kLevels[l].name);
        }
    }
    std::printf("Zoom to a range (lookBack), %d times each, each from another level:\n", rounds);
    for (int l = 0; l < kLevelCount; ++l) {
        const Timed &t = timed[std::size_t(l)];
        std::printf(" %s (frames per zoom: %.0f to %.0f; curves drawn: %.0f to %.0f times)\n",
                    kLevels[l].name, *std::min_element(t.frames.begin(), t.frames.end()),
                    *std::max_element(t.frames.begin(), t.frames.end()),
                    *std::min_element(t.draws.begin(), t.draws.end()),
                    *std::max_element(t.draws.begin(), t.draws.end()));
        print("lookBack call", t.call);
        print("call to swap", t.toSwap);
        print("processor time, call to swap", t.cpu);
    }
}

// Wheel steps around a point from the whole week down to the shortest span
// and out again, `rounds` times.
void wheelSteps(Chart &chart, FrameWatch &watch, Checks &checks, int rounds)
{
    const QRectF plot = chart.plotArea();
    const double x = plot.x() + 0.37 * plot.width();
    Timed in;
    Timed out;
    Timed longSpans; // a day or longer
    int stepsIn = 0;
    for (int r = 0; r < rounds; ++r) {
        chart.call("lookBack", chart.first(), chart.last());
        watch.settle(watch.count());
        const double whole = chart.last() - chart.first();
        int steps = 0;
        while (chart.viewTo() - chart.viewFrom() > 10 * kSecond + 1 && steps < 200) {
            const bool longSpan = chart.viewTo() - chart.viewFrom() >= kDay;
            timeChange(chart, watch, in, [&] { chart.call("wheelAt", x, 1); });
            if (longSpan) {
                longSpans.call.push_back(in.call.back());
                longSpans.toSwap.push_back(in.toSwap.back());
            }
            checks.drawing(chart, "wheel in");
            ++steps;
        }
        stepsIn = steps;
        steps = 0;
        while (chart.viewTo() - chart.viewFrom() < whole - 1 && steps < 200) {
            timeChange(chart, watch, out, [&] { chart.call("wheelAt", x, -1); });
            if (chart.viewTo() - chart.viewFrom() >= kDay) {
                longSpans.call.push_back(out.call.back());
                longSpans.toSwap.push_back(out.toSwap.back());
            }
            checks.drawing(chart, "wheel out");
            ++steps;
        }
    }
    std::printf("Wheel steps at %.0f px, the whole week to 10 s and back (%d steps in, "
                "%d rounds):\n",
                x, stepsIn, rounds);
    const auto drawnTwice = [](const Timed &t) {
        return std::count_if(t.draws.begin(), t.draws.end(), [](double d) { return d > 1; });
    };
    std::printf("  steps whose curves were drawn more than once: %zd of %zu in, %zd of %zu out\n",
                drawnTwice(in), in.draws.size(), drawnTwice(out), out.draws.size());
    print("wheel in: call", in.call);
    print("wheel in: call to swap", in.toSwap);
    print("wheel out: call", out.call);
    print("wheel out: call to swap", out.toSwap);
    print("spans of a day or more: call", longSpans.call);
    print("spans of a day or more: to swap", longSpans.toSwap);
}

// The chart paints its whole scene (axes, labels, curves drawn by the
// processor) into an image after each change, as Qt Charts' QML chart does:
// the same painting, timed.
double chartPaintMs(const Chart &chart)
{
    auto *series = qobject_cast<QtCharts::QAbstractSeries *>(chart.curves[0].value<QObject *>());
    QtCharts::QChart *qchart = series->chart();
    const QSize size = qchart->size().toSize();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect rect(QPoint(0, 0), size);
    const double start = nowMs();
    qchart->scene()->render(&painter, rect, rect);
    return nowMs() - start;
}

// Where a redraw's time goes, at each level: the view is shown (lookBack),
// then each part of ChartHistory.redraw is done again on its own from C++,
// with the view unchanged, so that the chart recomputes its curves once for
// each: the decimation alone, ChartLookBack.draw (the decimation and the four
// curves' replace), a move of the time axis and of the value axis (by 1 ms
// and by a thousandth of the range, so that no label changes), the frame
// after the draw, and the chart's painting of its picture.
void redrawParts(Chart &chart, FrameWatch &watch, int rounds)
{
    struct Parts {
        std::vector<double> call, drawsInCall, drawsAfter, toSwap, decimation, draw, timeAxis,
            valueAxis, frame, frameCpu, sync, render, flush, paint;
    };
    std::vector<Parts> parts(kLevelCount);
    ChartLookBack lookBack;
    ChartAxes axes;
    const auto timed = [](auto fn) {
        const double start = nowMs();
        fn();
        return nowMs() - start;
    };
    for (int r = 0; r < rounds; ++r) {
        const double centre = chart.last() - 2.6 * kDay + r * 7 * 60 * kSecond;
        for (int l = 0; l < kLevelCount; ++l) {
            Parts &p = parts[std::size_t(l)];
            const auto other = levelRange(chart, kLevels[(l + 2) % kLevelCount], centre);
            chart.call("lookBack", other.first, other.second);
            watch.settle(watch.count());

            const auto range = levelRange(chart, kLevels[l], centre);
            int before = watch.count();
            int draws = chart.draws;
            const double start = nowMs();
            chart.call("lookBack", range.first, range.second);
            p.call.push_back(nowMs() - start);
            p.drawsInCall.push_back(chart.draws - draws);
            draws = chart.draws;
            watch.settle(before);
            p.toSwap.push_back(watch.lastSwap() - start);
            p.drawsAfter.push_back(chart.draws - draws);

            const double from = chart.viewFrom();
            const double to = chart.viewTo();
            const int columns = chart.columns();
            p.decimation.push_back(timed([&] {
                const auto drawn = wave_decimation::minMaxColumns(
                    chart.recording->entries().snapshot(), from, to, columns);
                if (drawn.empty())
                    std::printf("nothing decimated\n");
            }));
            before = watch.count();
            const double cpu = processCpuMs();
            p.draw.push_back(timed([&] {
                lookBack.draw(chart.recording, chart.curves, chart.dateAxis, chart.valueAxis, from,
                              to, columns, QString());
            }));
            const double drawn = nowMs();
            if (watch.settle(before) > 0) {
                p.frame.push_back(watch.lastSwap() - drawn);
                p.frameCpu.push_back(processCpuMs() - cpu - p.draw.back());
                const FrameWatch::Frame f = watch.since(before).back();
                p.sync.push_back(f.renderStart - f.syncStart);
                p.render.push_back(f.renderEnd - f.renderStart);
                p.flush.push_back(f.swapped - f.renderEnd);
            }
            p.paint.push_back(chartPaintMs(chart));

            // Less than about 2 ms the chart takes for no move at all.
            const double shift = (to - from) / 1000;
            p.timeAxis.push_back(
                timed([&] { axes.setTimeRange(chart.dateAxis, from + shift, to + shift); }));
            watch.settle(watch.count(), 15);
            axes.setTimeRange(chart.dateAxis, from, to);
            watch.settle(watch.count(), 15);
            const double low = chart.valueAxis->property("min").toDouble();
            const double high = chart.valueAxis->property("max").toDouble();
            auto *valueAxis = qobject_cast<QtCharts::QValueAxis *>(chart.valueAxis);
            p.valueAxis.push_back(
                timed([&] { valueAxis->setRange(low, high + (high - low) / 1000); }));
            watch.settle(watch.count(), 15);
            valueAxis->setRange(low, high);
            watch.settle(watch.count(), 15);
        }
    }
    const auto m = [](const std::vector<double> &v) { return quantile(v, 0.5); };
    std::printf("Where a redraw's time goes (%d zooms to each level, each from another; "
                "medians, ms):\n",
                rounds);
    std::printf("  %-11s %8s %6s %8s | %8s %8s %8s %8s | %7s %6s %6s %6s %6s %6s\n", "", "lookBack",
                "draws", "to swap", "decimate", "draw", "time ax", "value ax", "frame", "proc",
                "sync", "render", "flush", "paint");
    for (int l = 0; l < kLevelCount; ++l) {
        const Parts &p = parts[std::size_t(l)];
        std::printf("  %-11s %8.2f %6s %8.2f | %8.2f %8.2f %8.2f %8.2f | %7.2f %6.2f %6.2f %6.2f "
                    "%6.2f %6.2f\n",
                    kLevels[l].name, m(p.call),
                    qPrintable(QStringLiteral("%1+%2").arg(m(p.drawsInCall)).arg(m(p.drawsAfter))),
                    m(p.toSwap), m(p.decimation), m(p.draw), m(p.timeAxis), m(p.valueAxis),
                    m(p.frame), m(p.frameCpu), m(p.sync), m(p.render), m(p.flush), m(p.paint));
    }
    std::printf(
        "  lookBack: the call; draws: the curves drawn (ChartLookBack.draw) in the call + after "
        "it, before the frame; to swap: the call's start to the last frame.\n"
        "  Each part again with the view unchanged: decimate: wave_decimation alone; draw: "
        "ChartLookBack.draw (decimation, the four curves replaced and recomputed); time ax, "
        "value ax: one move of that axis by a thousandth of its range (its labels and the four "
        "curves recomputed); frame: the draw's end to "
        "the swap (proc: its processor time); sync, render, flush: the scene graph's part of that "
        "frame; paint: the chart's "
        "scene painted into an image, as the chart does before that frame.\n");
}

// Pans at 60 steps a second for `seconds`, starting with the newest `spanMs`
// (0: the whole recording), 5 % of the span a step towards older entries.
// A step that comes due while the window is still busy is merged into the
// next, as a drag's mouse moves are.
void pan60(Chart &chart, FrameWatch &watch, Checks &checks, const Level &level, double seconds)
{
    const double span = level.spanMs == 0 ? chart.last() - chart.first() : level.spanMs;
    chart.call("lookBack", chart.last() - span, chart.last());
    watch.settle(watch.count());
    const double period = 1000.0 / 60;
    const int steps = int(seconds * 60);
    const double stepPixels = 0.05 * chart.plotArea().width();
    const int before = watch.count();
    std::vector<double> calls;
    int done = 0;
    int merged = 0;
    const double from = chart.viewFrom();
    const double start = nowMs();
    while (done < steps) {
        runFor(start + done * period - nowMs());
        const int due = std::min(steps, int((nowMs() - start) / period) + 1);
        const int n = std::max(1, due - done);
        const double callStart = nowMs();
        chart.call("panBy", n * stepPixels);
        calls.push_back(nowMs() - callStart);
        merged += n - 1;
        done += n;
    }
    const double lastCall = nowMs();
    watch.settle(before);
    checks.drawing(chart, "pan");
    const auto frames = watch.since(before);
    std::vector<double> intervals;
    double previous = start;
    for (const FrameWatch::Frame &f : frames) {
        intervals.push_back(f.swapped - previous);
        previous = f.swapped;
    }
    std::printf(" %s: %d steps of %.0f px in %.2f s, %zu frames, %d steps merged, moved %.1f h; "
                "last call to last swap %.1f ms\n",
                level.name, steps, stepPixels, (lastCall - start) / 1000, frames.size(), merged,
                (from - chart.viewFrom()) / kHour, previous - lastCall);
    print("frame interval", intervals);
    print("panBy call", calls);
}

void memoryCycles(QQmlApplicationEngine &engine, Chart &chart, FrameWatch &watch, int cycles)
{
    const QRectF plot = chart.plotArea();
    const double x = plot.x() + 0.6 * plot.width();
    std::printf(
        "Zooming in and out (%d cycles: whole week, 12 wheel steps in twice, 24 out, a pan, "
        "back to live; every change drawn):\n",
        cycles);
    const double start = nowMs();
    for (int c = 1; c <= cycles; ++c) {
        const auto step = [&](const char *function, QVariant a = {}, QVariant b = {}) {
            const int before = watch.count();
            chart.call(function, a, b);
            watch.settle(before, 15);
        };
        step("lookBack", chart.first(), chart.last());
        step("wheelAt", x, 12);
        step("wheelAt", x, 12);
        step("panBy", 40);
        step("wheelAt", x, -24);
        step("followLive");
        if (c == 50 || c == 100 || c == 250 || c == 500 || c == cycles) {
            const double rss = residentMiB();
            engine.collectGarbage();
            QCoreApplication::processEvents();
            std::printf("  after %4d cycles: resident %7.1f MiB (%7.1f MiB after a garbage "
                        "collection), %.0f s\n",
                        c, rss, residentMiB(), (nowMs() - start) / 1000);
            std::fflush(stdout);
        }
    }
}

int intOption(int argc, char *argv[], const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::max(1, std::atoi(argv[i + 1]));
    return fallback;
}

bool flag(int argc, char *argv[], const char *name)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    sinceStart.start();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    initResources();
    QApplication app(argc, argv);
    // As the program starts its window.
    useTheSameGlyphsEverywhere();
    const scene_graph_choice::Choice sceneGraph = applySceneGraphChoice();

    const bool quick = flag(argc, argv, "--quick");
    const int rounds = intOption(argc, argv, "--rounds", quick ? 3 : 10);
    const int wheelRounds = intOption(argc, argv, "--wheel-rounds", quick ? 1 : 3);
    const int cycles = intOption(argc, argv, "--cycles", quick ? 100 : 1000);
    // --only zoom,wheel,parts,pan,memory: some parts (e.g. for a profile).
    QStringList only;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--only") == 0)
            only = QString::fromLocal8Bit(argv[i + 1]).split(QLatin1Char(','));
    const auto runs = [&only](const char *part) {
        return only.isEmpty() || only.contains(QLatin1String(part));
    };

    // The documents read and write ./config.ini: keep it out of the way.
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());
    registerSingletons();

    QQmlApplicationEngine engine;
    addImageProviders(&engine);
    QQuickWindow *window = loadReadyWindow(engine, QStringLiteral(ORRINDEL_BENCH_CHART_QML));
    if (!window)
        return 2;
    FrameWatch watch(window);
    watch.settle(0, 200);

    Chart chart;
    chart.item = window->property("charts").toList().value(2).value<QObject *>(); // chartPump
    chart.view = chart.item->property("chartView").value<QObject *>();
    chart.dateAxis = chart.item->property("dateAxis").value<QObject *>();
    chart.valueAxis = chart.item->property("valueAxis").value<QObject *>();
    chart.recording =
        qobject_cast<WaveRecording *>(chart.item->property("recordWaves").value<QObject *>());
    chart.curves = chart.item->property("curves").toList();
    if (!chart.recording || chart.curves.size() != kCurves) {
        std::printf("bench_look_back: the pump-current chart is not as expected\n");
        return 2;
    }
    // A draw moves the time axis, which makes the chart compute the curves;
    // one that leaves it hands the curves their points with the notice.
    QObject::connect(qobject_cast<QtCharts::QXYSeries *>(chart.curves[0].value<QObject *>()),
                     &QtCharts::QXYSeries::pointsReplaced, [&chart] { ++chart.draws; });
    QObject::connect(qobject_cast<QtCharts::QDateTimeAxis *>(chart.dateAxis),
                     &QtCharts::QDateTimeAxis::rangeChanged, [&chart] { ++chart.draws; });

    const double fillStart = nowMs();
    const double lastMs =
        std::floor(double(QDateTime::currentMSecsSinceEpoch()) / kEntryMs) * kEntryMs;
    fillRecording(chart.recording, lastMs);
    const double filled = nowMs() - fillStart;

    std::printf("bench_look_back: pump-current chart (4 curves), %d entries 500 ms apart "
                "(filled in %.1f s); platform %s, scene graph %s; plot %d px wide; "
                "load average %s\n",
                chart.recording->count(), filled / 1000,
                qPrintable(QGuiApplication::platformName()), qPrintable(sceneGraph.description),
                chart.columns(), qPrintable(loadAverage()));
    std::printf("resident memory with the recording: %.1f MiB\n", residentMiB());
    std::fflush(stdout);

    Checks checks;
    if (runs("zoom"))
        zoomLevels(chart, watch, checks, rounds);
    std::fflush(stdout);
    if (runs("wheel"))
        wheelSteps(chart, watch, checks, wheelRounds);
    std::fflush(stdout);
    if (runs("parts"))
        redrawParts(chart, watch, std::max(3, rounds / 2));
    std::fflush(stdout);

    if (runs("pan")) {
        std::printf("Panning at 60 steps a second (5 %% of the span a step, towards older "
                    "entries; the whole week cannot move: a step draws nothing):\n");
        for (int l = 0; l < 3; ++l)
            pan60(chart, watch, checks, kLevels[l], 2);
    }
    std::fflush(stdout);

    chart.call("followLive");
    watch.settle(watch.count());
    if (runs("memory"))
        memoryCycles(engine, chart, watch, cycles);

    std::printf("load average at the end: %s\n", qPrintable(loadAverage()));
    if (checks.failures > 0) {
        std::printf("%d checks failed\n", checks.failures);
        return 1;
    }
    std::printf("all checks passed\n");
    return 0;
}
