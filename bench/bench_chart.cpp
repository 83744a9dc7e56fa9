// Pushing one status record to the status page's four charts (2, 3, 4 and 1
// curves, one chart of each slot hidden): the time of the push itself, and of
// the frame that follows it. Prints medians and percentiles over many pushes.
//
//   bench_chart [pushes]            default 3000, after 300 to warm up
//
// Then the optical slot's switch: the hidden chart shows after 200 records
// and catches up with them (pushes / 300 times, at least 5).
//
// Runs offscreen with the software scene graph unless QT_QPA_PLATFORM or
// QT_QUICK_BACKEND say otherwise.

#include "bench_window.h"
#include "resources.h"
#include "singletons.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// A status record with the fields the page plots, in their units.
QVariantMap statusRecord(QRandomGenerator &rng)
{
    const auto tenths = [&](int from, int to) {
        return (from + int(rng.bounded(to - from))) * 0.1;
    };
    return {
        {"opticalVals", QVariantList{rng.bounded(4096), rng.bounded(4096)}},
        {"ambientTemp", tenths(150, 350)},
        {"inletWaterTemp", tenths(180, 260)},
        {"outletWaterTemp", tenths(200, 300)},
        {"pumpCurrent", QVariantList{rng.bounded(12000) * 0.001, rng.bounded(12000) * 0.001,
                                     rng.bounded(12000) * 0.001, rng.bounded(12000) * 0.001}},
        {"maxPower", 3000},
        {"db25Power", rng.bounded(101)},
    };
}

struct Figures {
    std::vector<double> push;    // ms, wall clock
    std::vector<double> pushCpu; // ms of this thread's processor time
    std::vector<double> frame;
};

// The machine is shared: processor time shows the push's own cost when other
// jobs take turns on the cores.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

void print(const char *label, const std::vector<double> &v)
{
    std::printf("  %-26s median %7.3f ms   p90 %7.3f ms   p99 %7.3f ms   max %7.3f ms\n", label,
                percentile(v, 0.5), percentile(v, 0.9), percentile(v, 0.99),
                *std::max_element(v.begin(), v.end()));
}

// One status record to the four charts. Not inlined, so that an instruction
// count can be taken of it alone:
//   valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*pushRecord*' ...
__attribute__((noinline)) void pushRecord(QQuickWindow *window, const QVariant &rec)
{
    QMetaObject::invokeMethod(window, "push", Q_ARG(QVariant, rec));
}

Figures run(QQuickWindow *window, int warmUp, int pushes, QRandomGenerator &rng)
{
    Figures f;
    QElapsedTimer timer;
    for (int i = 0; i < warmUp + pushes; ++i) {
        const QVariant rec = statusRecord(rng);
        const double cpu = threadCpuMs();
        timer.start();
        pushRecord(window, rec);
        const double push = double(timer.nsecsElapsed()) / 1e6;
        const double pushCpu = threadCpuMs() - cpu;
        timer.start();
        QCoreApplication::processEvents(); // polish, sync and render the frame
        const double frame = double(timer.nsecsElapsed()) / 1e6;
        if (i >= warmUp) {
            f.push.push_back(push);
            f.pushCpu.push_back(pushCpu);
            f.frame.push_back(frame);
        }
    }
    return f;
}

// The operator switches the optical slot after every `held` records: the
// chart that shows catches up with the records it held while hidden. Times
// the switch itself and the frame after it.
Figures switchSlot(QQuickWindow *window, int switches, int held, QRandomGenerator &rng)
{
    Figures f;
    QElapsedTimer timer;
    for (int s = 0; s < switches; ++s) {
        for (int i = 0; i < held; ++i) {
            pushRecord(window, statusRecord(rng));
            QCoreApplication::processEvents();
        }
        const double cpu = threadCpuMs();
        timer.start();
        QMetaObject::invokeMethod(window, "switchOpticalSlot");
        f.push.push_back(double(timer.nsecsElapsed()) / 1e6);
        f.pushCpu.push_back(threadCpuMs() - cpu);
        timer.start();
        QCoreApplication::processEvents();
        f.frame.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return f;
}

void hover(QQuickWindow *window, QPointF at)
{
    QMouseEvent move(QEvent::MouseMove, at, at, window->mapToGlobal(at.toPoint()), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    initResources();
    QApplication app(argc, argv);
    const int pushes = argc > 1 ? std::max(10, atoi(argv[1])) : 3000;

    // The documents read and write ./config.ini: keep it out of the way.
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());
    registerSingletons();

    QQmlApplicationEngine engine;
    // ORRINDEL_BENCH_CHART_QML names another document (a comparison with a
    // changed copy of the charts).
    const QString document = qEnvironmentVariableIsSet("ORRINDEL_BENCH_CHART_QML")
                                 ? qEnvironmentVariable("ORRINDEL_BENCH_CHART_QML")
                                 : QStringLiteral(ORRINDEL_BENCH_CHART_QML);
    QQuickWindow *window = loadReadyWindow(engine, document);
    if (!window)
        return 2;

    std::printf("bench_chart: %d pushes to 4 charts (2, 3, 4, 1 curves), platform %s, "
                "scene graph %s\n",
                pushes, qPrintable(QGuiApplication::platformName()),
                qPrintable(QQuickWindow::sceneGraphBackend().isEmpty()
                               ? QStringLiteral("default")
                               : QQuickWindow::sceneGraphBackend()));
    QRandomGenerator rng(11);
    const Figures idle = run(window, 300, pushes, rng);
    std::printf("Mouse away from the charts:\n");
    print("push (four autoPush)", idle.push);
    print("push, processor time", idle.pushCpu);
    print("frame after the push", idle.frame);

    hover(window, QPointF(420 + 425, 175)); // the middle of the optical chart
    hover(window, QPointF(420 + 426, 175));
    QCoreApplication::processEvents();
    auto *chart = window->findChild<QObject *>(QStringLiteral("chartPD"));
    const bool cursorShown =
        chart && chart->property("toolTip").value<QObject *>()->property("visible").toBool();
    const Figures hovering = run(window, 50, pushes, rng);
    std::printf("Mouse resting on a chart (cursor follows every push%s):\n",
                cursorShown ? "" : "; NOT SHOWN");
    print("push (four autoPush)", hovering.push);
    print("push, processor time", hovering.pushCpu);
    print("frame after the push", hovering.frame);

    hover(window, QPointF(10, 10)); // away from the charts
    const int switches = std::max(5, pushes / 300);
    const Figures switched = switchSlot(window, switches, 200, rng);
    std::printf("Switching the optical slot after 200 records (%d times):\n", switches);
    print("switch (catching up)", switched.push);
    print("switch, processor time", switched.pushCpu);
    print("frame after the switch", switched.frame);
    return 0;
}
