// The status page's message list with 100,000 lines: the time of one append
// (insertMsg, which also scrolls the view to the end), while the list fills
// and then with a rendered frame after each line; the frames rendered while
// scrolling through the list; the time to clear it. Prints figures only.
//
//   bench_message_list [lines [width height]]     default 100000, 1280 720
//
// Runs offscreen with the software scene graph unless QT_QPA_PLATFORM or
// QT_QUICK_BACKEND say otherwise.

#include "resources.h"
#include "singletons.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Lines as the page gets them: alarm changes, device replies, and now and
// then a long device text that wraps over several lines of the view.
QString lineText(int i)
{
    static const char *const texts[] = {
        "[0->8010] QBH断开",
        "[8010->0] 报警解除",
        "设备版本:V2.3.1-QCW",
        "开机总时长:1260分钟 出光总时长:312分钟",
        "[0->8530] QBH断开, 水冷断开, 进水温度高, 出水温度高",
        "光电报警锁定(3)",
        "高级参数设置成功",
        "[8530->1] 湿度过高",
        "校准完成",
    };
    const int n = int(sizeof texts / sizeof texts[0]);
    QString text = QString::fromUtf8(texts[i % n]);
    if (i % 10 == 9)
        text +=
            QStringLiteral(" #%1 ").arg(i) +
            QStringLiteral("a long message from the device that wraps in the view ").repeated(3);
    return text;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

void print(const char *label, const std::vector<double> &v)
{
    std::printf("  %-34s median %7.3f ms   p99 %7.3f ms   max %7.3f ms   (%zu)\n", label,
                percentile(v, 0.5), percentile(v, 0.99), *std::max_element(v.begin(), v.end()),
                v.size());
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void append(QQuickWindow *window, int i)
{
    QMetaObject::invokeMethod(window, "append", Q_ARG(QVariant, lineText(i)));
}

int renderedFrames = 0;

// One frame: polish, sync and render, synchronously. (The offscreen
// platform's backing store gives no image back; the frame is rendered all
// the same, which renderedFrames counts.)
void frame(QQuickWindow *window)
{
    const int before = renderedFrames;
    window->grabWindow();
    if (renderedFrames == before)
        std::fprintf(stderr, "no frame rendered\n");
}

// Moves the view to y (clamped to its content), then renders a frame;
// answers the time of both.
double scrollStep(QQuickWindow *window, QQuickItem *view, double y)
{
    const double top = view->property("originY").toDouble();
    const double bottom = top + view->property("contentHeight").toDouble() - view->height();
    QElapsedTimer timer;
    timer.start();
    view->setProperty("contentY", std::clamp(y, top, std::max(top, bottom)));
    frame(window);
    return msSince(timer);
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
    const int lines = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 100000;
    const int width = argc > 3 ? std::atoi(argv[2]) : 1280;
    const int height = argc > 3 ? std::atoi(argv[3]) : 720;

    // The documents read and write ./config.ini: keep it out of the way.
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());
    registerSingletons();

    QQmlApplicationEngine engine;
    engine.load(QUrl::fromLocalFile(QStringLiteral(ORRINDEL_BENCH_MESSAGE_LIST_QML)));
    if (engine.rootObjects().isEmpty())
        return 1;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    window->resize(width, height);
    QCoreApplication::processEvents(); // the platform reports the new size
    QObject::connect(window, &QQuickWindow::afterRendering, [] { ++renderedFrames; });
    auto *view = window->findChild<QQuickItem *>(QStringLiteral("alarmListView"));
    if (!view)
        return 2;
    frame(window);

    std::printf("bench_message_list: %d lines, window %dx%d (view %.0fx%.0f), platform %s, "
                "scene graph %s\n",
                lines, width, height, view->width(), view->height(),
                qgetenv("QT_QPA_PLATFORM").constData(), qgetenv("QT_QUICK_BACKEND").constData());
    const long rssBefore = residentKiB();

    // Filling: a frame every 100 lines, as a burst of device messages would
    // get. Figures by tenths of the fill show whether an append grows with
    // the list.
    std::printf("filling (a frame every 100 lines):\n");
    const int tenth = lines / 10;
    std::vector<double> block;
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < lines; ++i) {
        QElapsedTimer timer;
        timer.start();
        append(window, i);
        block.push_back(msSince(timer));
        if ((i + 1) % 100 == 0)
            frame(window);
        if ((i + 1) % tenth == 0) {
            char label[64];
            std::snprintf(label, sizeof label, "append, lines %d to %d", i + 2 - tenth, i + 1);
            print(label, block);
            block.clear();
        }
    }
    std::printf("  fill took %.1f s; resident memory %+.1f MiB\n", msSince(total) / 1000,
                double(residentKiB() - rssBefore) / 1024);

    // After the fill: each line followed by its frame, as lines arriving
    // one by one get.
    std::printf("after %d lines, a frame after each append:\n", lines);
    std::vector<double> appendMs, frameMs;
    for (int i = 0; i < 1000; ++i) {
        QElapsedTimer timer;
        timer.start();
        append(window, lines + i);
        appendMs.push_back(msSince(timer));
        timer.start();
        frame(window);
        frameMs.push_back(msSince(timer));
    }
    print("append (insertMsg)", appendMs);
    print("frame after it", frameMs);
    // The slowest appends are those during which the script engine collects
    // its garbage; a collection marks every script object of the page, however
    // long the list.
    std::vector<double> gcMs;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        timer.start();
        engine.collectGarbage();
        gcMs.push_back(msSince(timer));
    }
    print("garbage collection", gcMs);
    std::printf(
        "  appends over 1 ms: %d of 1000\n",
        int(std::count_if(appendMs.begin(), appendMs.end(), [](double t) { return t > 1; })));
    std::printf("  at the end: %s\n", view->property("atYEnd").toBool() ? "yes" : "NO");

    // Scrolling: a steady drag upwards from the end, 20 px a frame; then
    // jumps to random places all over the list, as a dragged scroll bar
    // gives.
    std::printf("scrolling through %d lines (move + frame):\n", lines + 1000);
    std::vector<double> steps;
    double y = view->property("contentY").toDouble();
    for (int i = 0; i < 500; ++i) {
        y -= 20;
        steps.push_back(scrollStep(window, view, y));
    }
    print("drag, 20 px a frame", steps);
    steps.clear();
    QRandomGenerator rng(1);
    for (int i = 0; i < 300; ++i) {
        const double top = view->property("originY").toDouble();
        const double span = view->property("contentHeight").toDouble() - view->height();
        steps.push_back(scrollStep(window, view, top + rng.generateDouble() * span));
    }
    print("jump to a random place", steps);
    steps.clear();
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        timer.start();
        QMetaObject::invokeMethod(view, "positionViewAtEnd");
        frame(window);
        steps.push_back(msSince(timer));
        view->setProperty("contentY", view->property("originY"));
        frame(window);
    }
    print("top to end (positionViewAtEnd)", steps);

    QObject *model = view->property("model").value<QObject *>();
    QElapsedTimer timer;
    timer.start();
    QMetaObject::invokeMethod(model, "clear");
    frame(window);
    std::printf("clear %d lines: %.1f ms\n", lines + 1000, msSince(timer));
    return 0;
}
