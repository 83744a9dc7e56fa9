// The session journal: what journalling costs the user-interface thread per
// status record, how large the file is with four full charts and a week of
// messages, and how long a full week takes to come back at start.
//
//   bench_journal [--records N] [--fill F] [--lines-per-hour L] [--dir D]
//     --records  status records for the write cost (default 20000)
//     --fill     share of the seven-day cap to fill (default 1: 1 209 600
//                samples per chart); the size is also given per sample
//     --lines-per-hour  message lines in the week (default 360: one each 10 s)
//     --dir      folder for the journal (default: a temporary folder, removed)
//
// Runs offscreen with the software scene graph unless QT_QPA_PLATFORM or
// QT_QUICK_BACKEND say otherwise.

#include "bench_quantile.h"
#include "resources.h"
#include "services/message_log.h"
#include "services/session_journal.h"
#include "services/session_journal_database.h"
#include "services/session_journal_writer.h"
#include "services/wave_recording.h"
#include "singletons.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int kCap = 1209600;
constexpr qint64 kWeekMs = 7LL * 24 * 3600 * 1000;

struct Chart {
    const char *key;
    int width;
};
const Chart kCharts[] = {{"chartPD", 2}, {"chartTemp", 3}, {"chartPump", 4}, {"chartPower", 1}};

// One status record's samples, as the page takes them from the decoder:
// photodiode counts, temperatures in tenths × 0.1, currents in mA × 0.001,
// the modulation power as maxPower × db25 / 100.
void statusSamples(QRandomGenerator &rng, double out[4][4])
{
    out[0][0] = rng.bounded(4096);
    out[0][1] = rng.bounded(4096);
    out[1][0] = (150 + int(rng.bounded(200))) * 0.1;
    out[1][1] = (180 + int(rng.bounded(80))) * 0.1;
    out[1][2] = (200 + int(rng.bounded(100))) * 0.1;
    for (int i = 0; i < 4; ++i)
        out[2][i] = int(rng.bounded(12000)) * 0.001;
    out[3][0] = 3000.0 * rng.bounded(101) / 100;
}

QVariantList toList(const double *values, int n)
{
    QVariantList list;
    for (int i = 0; i < n; ++i)
        list.append(values[i]);
    return list;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void printTimes(const char *what, const std::vector<double> &us)
{
    std::printf("  %-44s median %7.2f us  p99 %7.2f us  max %8.1f us\n", what, quantile(us, 0.5),
                quantile(us, 0.99), *std::max_element(us.begin(), us.end()));
}

qint64 journalBytes(const QString &dir)
{
    qint64 total = 0;
    for (const char *suffix : {"", "-wal", "-shm"})
        total += QFileInfo(QDir(dir).filePath(SessionJournalDatabase::fileName() + suffix)).size();
    return total;
}

qint64 databaseBytes(const QString &dir)
{
    return QFileInfo(QDir(dir).filePath(SessionJournalDatabase::fileName())).size();
}

// Phase 1: four recordings and a message list as the page has them, fed
// status records; each record's time on this thread with and without the
// journal. The writer thread runs meanwhile, as it would.
void writeCost(SessionJournal *journal, int records, int pauseMs)
{
    std::printf("\nWrite cost on the user-interface thread, %d status records %s "
                "(4 pushes; a message line every 20th):\n",
                records, pauseMs ? "2 ms apart (the writer gathering them)" : "back to back");
    for (bool journalled : {false, true}) {
        std::vector<std::unique_ptr<WaveRecording>> charts;
        for (const Chart &c : kCharts) {
            charts.push_back(std::make_unique<WaveRecording>());
            charts.back()->setCurveCount(c.width);
            if (journalled)
                charts.back()->setJournalKey(QStringLiteral("cost-") + c.key);
        }
        MessageLog log;
        if (journalled)
            log.setJournalKey(QStringLiteral("cost-messages"));
        while (log.isLoading() || charts[0]->isLoading())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

        QRandomGenerator rng(5);
        std::vector<double> wall, cpu, enqueue;
        QStringList aloneKeys;
        for (const Chart &c : kCharts)
            aloneKeys.append(QStringLiteral("cost-alone-") + c.key);
        double samples[4][4];
        qint64 time = QDateTime::currentMSecsSinceEpoch();
        for (int r = 0; r < records; ++r) {
            statusSamples(rng, samples);
            QVariantList lists[4];
            for (int c = 0; c < 4; ++c)
                lists[c] = toList(samples[c], kCharts[c].width);
            time += 500;
            QElapsedTimer clock;
            const double cpu0 = threadCpuMs();
            clock.start();
            for (int c = 0; c < 4; ++c)
                charts[std::size_t(c)]->append(double(time), lists[c]);
            if (r % 20 == 0)
                log.append(QStringLiteral("[12:00:00]> [0->8010] QBH 未连接 %1").arg(r));
            wall.push_back(double(clock.nsecsElapsed()) / 1e3);
            cpu.push_back((threadCpuMs() - cpu0) * 1e3);
            // The journal's own share: the four requests alone.
            if (journalled) {
                QElapsedTimer alone;
                alone.start();
                for (int c = 0; c < 4; ++c)
                    journal->appendSample(journal->session(), aloneKeys[c], time, samples[c],
                                          kCharts[c].width, kCap);
                enqueue.push_back(double(alone.nsecsElapsed()) / 1e3);
            }
            // Two records a second in the program: between them the writer
            // has written and waits. Back to back it is busy all the time.
            if (pauseMs) {
                QCoreApplication::processEvents();
                QThread::msleep(pauseMs);
            } else if (r % 64 == 0) {
                QCoreApplication::processEvents();
            }
        }
        std::printf(" %s\n", journalled ? "journalled:" : "not journalled (as before):");
        printTimes("record (4 appends + line), wall", wall);
        printTimes("record, processor time", cpu);
        if (journalled)
            printTimes("4 journal requests alone", enqueue);
        journal->flush(60000);
    }
}

// Phase 2: the journal at the cap, filled through the writer as the program
// fills it (one request per sample and line), at full speed.
void fill(SessionJournal *journal, const QString &dir, double fraction, int linesPerHour)
{
    const int perChart = int(kCap * fraction);
    const int lines = int(linesPerHour * 24 * 7 * fraction);
    std::printf("\nFilling: %d samples per chart (%.0f %% of the cap), %d message lines\n",
                perChart, fraction * 100, lines);
    QRandomGenerator rng(7);
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - qint64(perChart) * 500;
    const quint64 session = journal->session();
    QElapsedTimer clock;
    clock.start();
    double samples[4][4];
    QStringList keys;
    for (const Chart &c : kCharts)
        keys.append(QString::fromLatin1(c.key));
    const int linesEvery = lines > 0 ? std::max(1, perChart / lines) : 0;
    for (int i = 0; i < perChart; ++i) {
        statusSamples(rng, samples);
        const qint64 t = start + qint64(i) * 500;
        for (int c = 0; c < 4; ++c)
            journal->appendSample(session, keys[c], t, samples[c], kCharts[c].width, kCap);
        if (linesEvery && i % linesEvery == 0)
            journal->appendLine(session, QStringLiteral("messages"), t,
                                QStringLiteral("[%1]> [%2->0] 报警解除")
                                    .arg(QDateTime::fromMSecsSinceEpoch(t).toString("hh:mm:ss"))
                                    .arg(i % 0x8000, 0, 16));
        // Keep the queue in bounds (the program makes two records a second).
        if (i % 20000 == 19999) {
            journal->flush(600000);
            std::fprintf(stderr, "\r  %d %%", int(100.0 * (i + 1) / perChart));
        }
    }
    journal->flush(600000);
    std::fprintf(stderr, "\r");
    const double seconds = double(clock.elapsed()) / 1e3;
    std::printf("  written in %.1f s (%.1f us per sample on the writer thread)\n", seconds,
                seconds * 1e6 / (4.0 * perChart));
    journal->close();
    const qint64 bytes = databaseBytes(dir);
    std::printf("  database file after close: %.1f MB (%.2f bytes per sample, lines included)\n",
                double(bytes) / 1e6, double(bytes) / (4.0 * perChart));
    if (fraction < 1)
        std::printf("  at the cap (linear): about %.1f MB\n", double(bytes) / fraction / 1e6);
}

// Phase 3: the program's start over a full journal: the four charts of the
// page (real NormalChart documents) and a message list, while a 1 ms timer
// measures how long the event loop is held up.
const char *const kReloadDocument = R"(
import QtQuick 2.15
import QtQuick.Window 2.15
import OrrindelJournal 1.0
import "file:QML_DIR"

Window {
    readonly property bool ready: chartPD.initialized && !chartPD.recordWaves.loading
        && chartTemp.initialized && !chartTemp.recordWaves.loading
        && chartPump.initialized && !chartPump.recordWaves.loading
        && chartPower.initialized && !chartPower.recordWaves.loading && !log.loading
    readonly property var counts: [chartPD.recordWaves.count, chartTemp.recordWaves.count,
                                   chartPump.recordWaves.count, chartPower.recordWaves.count, log.count]
    width: 1280
    height: 720
    visible: true
    MessageLog { id: log; journalKey: "messages"; resumeLine: "restarted" }
    NormalChart { id: chartPD; journalKey: "chartPD"; x: 420; width: 850; height: 350
        seriesList: [{ "name": "a" }, { "name": "b" }] }
    NormalChart { id: chartTemp; journalKey: "chartTemp"; x: 420; width: 850; height: 350; visible: false
        seriesList: [{ "name": "a" }, { "name": "b" }, { "name": "c" }] }
    NormalChart { id: chartPump; journalKey: "chartPump"; x: 420; y: 370; width: 850; height: 350
        seriesList: [{ "name": "a" }, { "name": "b" }, { "name": "c" }, { "name": "d" }] }
    NormalChart { id: chartPower; journalKey: "chartPower"; x: 420; y: 370; width: 850; height: 350
        visible: false; seriesList: [{ "name": "a" }] }
}
)";

int reload(SessionJournal *journal, const QString &dir)
{
    std::printf("\nReload at start (four charts and the list over the full journal):\n");
    journal->open(dir);
    QQmlApplicationEngine engine;
    QElapsedTimer clock;
    qint64 longestStall = 0;
    qint64 lastTick = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    std::vector<std::pair<qint64, qint64>> ticks; // (time, gap before it), ms
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestStall = std::max(longestStall, now - lastTick);
        ticks.emplace_back(now, now - lastTick);
        lastTick = now;
    });
    QString document = QString::fromUtf8(kReloadDocument);
    document.replace(QLatin1String("QML_DIR"), QStringLiteral(ORRINDEL_BENCH_QML_DIR));
    clock.start();
    engine.loadData(document.toUtf8(), QUrl(QStringLiteral("file:///bench/journal.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    const qint64 created = clock.elapsed();
    QObject *window = engine.rootObjects().first();
    // Each recording's answer: from the end of the wait (the merge begins)
    // to historyLoaded having run the chart's own handler (its curves
    // rebuilt); connected after the document's handler, so called after it.
    qint64 firstAnswer = -1, lastAnswer = -1;
    std::vector<double> answers;
    for (WaveRecording *recording : window->findChildren<WaveRecording *>()) {
        auto begun = std::make_shared<qint64>(0);
        QObject::connect(recording, &WaveRecording::loadingChanged, [&clock, begun, recording] {
            if (!recording->isLoading())
                *begun = clock.nsecsElapsed();
        });
        QObject::connect(recording, &WaveRecording::historyLoaded, [&, begun] {
            const qint64 now = clock.nsecsElapsed();
            answers.push_back(double(now - *begun) / 1e6);
            if (firstAnswer < 0)
                firstAnswer = *begun;
            lastAnswer = now;
        });
    }
    lastTick = clock.elapsed();
    probe.start();
    while (!window->property("ready").toBool() && clock.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 loaded = clock.elapsed();
    probe.stop();
    const QVariantList counts = window->property("counts").toList();
    std::printf("  documents created in %lld ms (the journal's answer not awaited)\n",
                static_cast<long long>(created));
    std::printf("  everything loaded after %lld ms: %d, %d, %d, %d samples, %d lines\n",
                static_cast<long long>(loaded), counts.value(0).toInt(), counts.value(1).toInt(),
                counts.value(2).toInt(), counts.value(3).toInt(), counts.value(4).toInt());
    qint64 stallWhileAnswering = 0;
    for (const auto &tick : ticks) {
        if (firstAnswer >= 0 && tick.first * 1000000 >= firstAnswer)
            stallWhileAnswering = std::max(stallWhileAnswering, tick.second);
    }
    std::printf("  longest the event loop was held up meanwhile: %lld ms (the first frames "
                "included); from the first answer on: %lld ms\n",
                static_cast<long long>(longestStall), static_cast<long long>(stallWhileAnswering));
    std::sort(answers.begin(), answers.end());
    std::printf("  taking the answers in (merge, curves rebuilt), per chart:");
    for (double ms : answers)
        std::printf(" %.1f", ms);
    std::printf(" ms; all four %.1f ms\n", double(lastAnswer - firstAnswer) / 1e6);
    return 0;
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

    int records = 20000;
    double fraction = 1.0;
    int linesPerHour = 360;
    QString dir;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--records")
            records = std::max(100, args[i + 1].toInt());
        else if (args[i] == "--fill")
            fraction = std::clamp(args[i + 1].toDouble(), 0.001, 1.0);
        else if (args[i] == "--lines-per-hour")
            linesPerHour = std::max(0, args[i + 1].toInt());
        else if (args[i] == "--dir")
            dir = args[i + 1];
    }

    // The documents read and write ./config.ini: keep it out of the way.
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());
    if (dir.isEmpty())
        dir = workDir.filePath(QStringLiteral("journal"));
    registerSingletons();

    SessionJournal *journal = SessionJournal::getInstance();
    if (!journal->open(dir))
        return 1;
    writeCost(journal, records, 0);
    writeCost(journal, std::max(100, records / 10), 2);
    journal->close();
    QDir(dir).removeRecursively();

    journal->open(dir);
    fill(journal, dir, fraction, linesPerHour);
    const int result = reload(journal, dir);
    journal->close();
    std::printf("  journal after the reload, closed: %.1f MB\n", double(journalBytes(dir)) / 1e6);
    return result;
}
