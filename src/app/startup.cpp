#include "startup.h"

#include "feed_hookup.h"
#include "image_providers.h"
#include "scene_graph_choice.h"
#include "services/build_stamp.h"

#include "link/communication.h"
#include "resources.h"
#include "services/language.h"
#include "singletons.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

double epochMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

// A measurement hook for scripts/perf-report.sh, off unless the environment
// variable ORRINDEL_PERF_LOG names a file. The program then appends to it:
//
//   main <epoch ms>                 runApplication has begun
//   first-frame <epoch ms> <ms>     the window's first frame is on screen; the
//                                   time since "main"
//   frame <epoch ms> <ms>           a frame rendered on the user-interface
//                                   thread: update request to frame swapped
//                                   (polish, sync, render, swap)
//   input <epoch ms> <ms>           a key or mouse press to the next frame
//   probe <epoch ms> <ms>           (with ORRINDEL_PERF_PROBE_MS) a probe waited
//                                   this long for the user-interface thread;
//                                   only waits of 5 ms or more
//   summary <epoch ms> <frames> <longest frame ms> <probes> <longest probe ms>
//                                   every 10 s and at the end, since the start
//
// Epoch times are milliseconds since 1970 with microseconds. Frames rendered
// on a render thread (the threaded OpenGL loop) count only as the first frame.
//
// ORRINDEL_PERF_PROBE_MS=N adds a thread that every N ms posts a probe to the
// user-interface thread and notes how long it waited there: the longest wait
// is the longest time an operator's key press could wait, whatever kept the
// thread busy (a status record, a frame, a collection of the script engine).
// The probe costs some processor time: leave it off when measuring that.
class PerfLog : public QObject {
public:
    static std::unique_ptr<PerfLog> fromEnvironment()
    {
        const QByteArray path = qgetenv("ORRINDEL_PERF_LOG");
        if (path.isEmpty())
            return nullptr;
        FILE *file = std::fopen(path.constData(), "a");
        if (!file)
            return nullptr;
        std::setvbuf(file, nullptr, _IOLBF, 0);
        return std::unique_ptr<PerfLog>(new PerfLog(file));
    }

    ~PerfLog() override
    {
        stopProbe = true;
        if (probe.joinable())
            probe.join();
        writeSummary();
        std::fclose(file);
    }

    // Follows the frames of window and, when asked for, starts the probe.
    void watch(QQuickWindow *window)
    {
        if (window) {
            window->installEventFilter(this);
            connect(
                window, &QQuickWindow::frameSwapped, this, [this] { frameSwapped(); },
                Qt::DirectConnection);
        }
        connect(&summaryTimer, &QTimer::timeout, this, &PerfLog::writeSummary);
        summaryTimer.start(10000);
        const int period = qEnvironmentVariableIntValue("ORRINDEL_PERF_PROBE_MS");
        if (period > 0)
            probe = std::thread([this, period] { runProbe(period); });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::UpdateRequest:
            if (!frame.isValid())
                frame.start();
            break;
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
            if (!input.isValid())
                input.start();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    using Clock = std::chrono::steady_clock;

    explicit PerfLog(FILE *file)
        : file(file)
    {
        sinceMain.start();
        std::fprintf(file, "main %.3f\n", epochMs());
    }

    void frameSwapped()
    {
        if (!firstFrameSeen.exchange(true)) {
            std::fprintf(file, "first-frame %.3f %.3f\n", epochMs(),
                         double(sinceMain.nsecsElapsed()) / 1e6);
        }
        if (QThread::currentThread() != thread())
            return;
        const double now = epochMs();
        if (frame.isValid()) {
            const double ms = double(frame.nsecsElapsed()) / 1e6;
            frame.invalidate();
            ++frameCount;
            longestFrame = std::max(longestFrame, ms);
            std::fprintf(file, "frame %.3f %.3f\n", now, ms);
        }
        if (input.isValid()) {
            std::fprintf(file, "input %.3f %.3f\n", now, double(input.nsecsElapsed()) / 1e6);
            input.invalidate();
        }
    }

    // On the probe's thread: one probe at a time, the next one period after
    // the last came back.
    void runProbe(int period)
    {
        while (!stopProbe) {
            std::this_thread::sleep_for(std::chrono::milliseconds(period));
            if (probeOut.exchange(true))
                continue;
            const Clock::time_point posted = Clock::now();
            QMetaObject::invokeMethod(
                this,
                [this, posted] {
                    const double ms =
                        std::chrono::duration<double, std::milli>(Clock::now() - posted).count();
                    ++probeCount;
                    longestProbe = std::max(longestProbe, ms);
                    if (ms >= 5)
                        std::fprintf(file, "probe %.3f %.3f\n", epochMs(), ms);
                    probeOut = false;
                },
                Qt::QueuedConnection);
        }
    }

    void writeSummary()
    {
        std::fprintf(file, "summary %.3f %lld %.3f %lld %.3f\n", epochMs(), frameCount,
                     longestFrame, probeCount, longestProbe);
    }

    FILE *file;
    QElapsedTimer sinceMain;
    QElapsedTimer frame;
    QElapsedTimer input;
    QTimer summaryTimer;
    std::thread probe;
    std::atomic<bool> stopProbe{false};
    std::atomic<bool> probeOut{false};
    std::atomic<bool> firstFrameSeen{false};
    long long frameCount = 0;
    long long probeCount = 0;
    double longestFrame = 0;
    double longestProbe = 0;
};

bool softwareSceneGraph()
{
    for (const char *name : {"QT_QUICK_BACKEND", "QMLSCENE_DEVICE"}) {
        const QByteArray value = qgetenv(name);
        if (value == "software" || value == "softwarecontext")
            return true;
    }
    return false;
}

QtMessageHandler previousHandler = nullptr;

// Drops the notes of an OpenGL probe failing on purpose (see
// withoutOpenGLProbe); everything else goes on as before.
void dropOpenGLProbeNotes(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(
            QLatin1String("QXcbIntegration: Cannot create platform OpenGL context")) ||
        message.startsWith(
            QLatin1String("This plugin does not support createPlatformOpenGLContext")) ||
        message.startsWith(QLatin1String("failed to acquire GL context to resolve capabilities")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
    else
        std::fputs(qPrintable(qFormatLogMessage(type, context, message) + QLatin1Char('\n')),
                   stderr);
}

// The software scene graph, when the user chose it, draws nothing with
// OpenGL: without an OpenGL integration nothing can load the driver for it
// (with Mesa some 200 million instructions and tens of megabytes resident),
// and nothing asks for the renderer. The offscreen platform would open GLX on
// whatever display DISPLAY names. Explicit settings of either variable are
// kept.
void withoutOpenGLProbe()
{
    if (!softwareSceneGraph())
        return;
    if (!qEnvironmentVariableIsSet("QT_QPA_OFFSCREEN_NO_GLX"))
        qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    previousHandler = qInstallMessageHandler(dropOpenGLProbeNotes);
}

// What --version prints: the program, Qt, the window system and how the
// window is drawn (for reports of a slow or odd-looking window).
QString diagnostics(const scene_graph_choice::Choice &sceneGraph)
{
    return QStringLiteral("Orrindel %1 (build %2)\nQt %3\nPlatform: %4\nScene graph: %5\n")
        .arg(QStringLiteral(ORRINDEL_VERSION),
             buildStampFrom(QStringLiteral(__DATE__), QStringLiteral(__TIME__)),
             QString::fromLatin1(qVersion()), QGuiApplication::platformName(),
             sceneGraph.description);
}

} // namespace

int runApplication(int &argc, char **argv, const QString &mainDocument)
{
    // Before anything else, so that "main" is the start of the program's work.
    auto perfLog = PerfLog::fromEnvironment();
    initResources();
    withoutOpenGLProbe();

    QApplication app(argc, argv);
    useTheSameGlyphsEverywhere();
    const scene_graph_choice::Choice sceneGraph = applySceneGraphChoice();
    if (QCoreApplication::arguments().contains(QLatin1String("--version"))) {
        std::printf("%s", qPrintable(diagnostics(sceneGraph)));
        return 0;
    }
    qInfo().noquote() << "Scene graph:" << sceneGraph.description;
    auto engine = std::make_unique<QQmlApplicationEngine>();

    Language::applySavedSettings(engine.get());
    registerSingletons();
    addImageProviders(engine.get());
    // Its worker thread must run before any document exists.
    Communication::getInstance();
    startPlantFeed();

    const QUrl mainUrl(mainDocument, QUrl::TolerantMode);
    // Queued: the handler runs once the event loop has started, so exit()
    // ends that loop.
    QObject::connect(
        engine.get(), &QQmlApplicationEngine::objectCreated, &app,
        [mainUrl](QObject *object, const QUrl &url) {
            if (!object && url == mainUrl)
                QCoreApplication::exit(-1);
        },
        Qt::QueuedConnection);
    engine->load(mainUrl);
    if (perfLog)
        perfLog->watch(qobject_cast<QQuickWindow *>(engine->rootObjects().value(0)));

    const int result = app.exec();
    stopPlantFeed();
    engine.reset();
    perfLog.reset();
    return result;
}
