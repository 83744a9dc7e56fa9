// The chart recording: memory of four full recordings as the status page
// keeps them, the cost of a push, and building (and writing) the export text
// of a full pump-current recording, on the calling thread and on a worker
// (what the interface thread still pays, and its longest wait for a turn).
// For comparison, the same export built in JavaScript from a list of entry
// objects.

#include "services/file.h"
#include "services/wave_decimation.h"
#include "services/wave_recording.h"
#include "services/wave_store.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJSEngine>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

constexpr qsizetype kFull = WaveStore::kDefaultCapacity;
constexpr double kStart = 1718000000000.0;
constexpr double kMiB = 1024.0 * 1024.0;

double residentBytes()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

// Values as the status records carry them: raw counts times 0.001 (pump
// currents in amperes), so some need 17 significant digits (5.1230000000000004).
double reading(QRandomGenerator &rng)
{
    return double(rng.bounded(12000)) * 0.001;
}

void fill(WaveStore &store, qsizetype entries, QRandomGenerator &rng)
{
    const int n = store.valuesPerEntry();
    std::vector<double> values(static_cast<std::size_t>(n));
    for (qsizetype i = 0; i < entries; ++i) {
        for (double &v : values)
            v = reading(rng);
        store.append(kStart + 500.0 * double(i), values.data(), n);
    }
}

const WaveStore &fullPumpRecording()
{
    static const std::unique_ptr<WaveStore> store = [] {
        auto s = std::make_unique<WaveStore>(4);
        QRandomGenerator rng(7);
        fill(*s, kFull, rng);
        return s;
    }();
    return *store;
}

const QStringList kPumpNames{"电流1", "电流2", "电流3", "电流4"};

// Four charts (2, 3, 4 and 1 curves), each with a full recording.
void BM_FourFullRecordingsMemory(benchmark::State &state)
{
    for (auto _ : state) {
        const double before = residentBytes();
        std::vector<std::unique_ptr<WaveStore>> charts;
        QRandomGenerator rng(1);
        std::size_t blocks = 0;
        for (int curves : {2, 3, 4, 1}) {
            charts.push_back(std::make_unique<WaveStore>(curves));
            fill(*charts.back(), kFull + 1000, rng); // past the cap: the oldest go
            blocks += charts.back()->allocatedBytes();
        }
        state.counters["blocks_MB"] = double(blocks) / kMiB;
        state.counters["rss_MB"] = (residentBytes() - before) / kMiB;
        state.counters["bytes/record"] = double(blocks) / double(kFull); // one push to each chart
    }
}
BENCHMARK(BM_FourFullRecordingsMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// One push into a full four-curve recording (the oldest entry leaves).
void BM_PushIntoFullRecording(benchmark::State &state)
{
    WaveStore store(4);
    QRandomGenerator rng(2);
    fill(store, kFull, rng);
    double t = kStart + 500.0 * double(kFull);
    const double values[4] = {1.5, 2.25, 3.125, 4.0625};
    for (auto _ : state) {
        store.append(t, values, 4);
        t += 500.0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PushIntoFullRecording);

void BM_ExportFullPumpRecording(benchmark::State &state)
{
    const WaveStore &store = fullPumpRecording();
    qsizetype length = 0;
    for (auto _ : state) {
        const QString text = store.exportText("时间戳", kPumpNames);
        length = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["entries"] = double(store.size());
    state.counters["text_Mchars"] = double(length) / 1e6;
}
BENCHMARK(BM_ExportFullPumpRecording)->Iterations(3)->Unit(benchmark::kMillisecond);

// Building the text and writing it through File.saveWave, as the save button does.
void BM_SaveFullPumpRecording(benchmark::State &state)
{
    const WaveStore &store = fullPumpRecording();
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("wave.csv");
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    for (auto _ : state) {
        if (!File::getInstance()->saveWave(path, store.exportText("时间戳", kPumpNames)))
            state.SkipWithError("saveWave failed");
    }
    qInstallMessageHandler(previous);
    state.counters["file_MB"] = double(QFileInfo(path).size()) / kMiB;
}
BENCHMARK(BM_SaveFullPumpRecording)->Iterations(2)->Unit(benchmark::kMillisecond);

// What an export costs the thread that asks for it: a snapshot of the
// block pointers.
void BM_SnapshotFullPumpRecording(benchmark::State &state)
{
    const WaveStore &store = fullPumpRecording();
    for (auto _ : state) {
        const WaveSnapshot snapshot = store.snapshot();
        benchmark::DoNotOptimize(snapshot.size());
    }
}
BENCHMARK(BM_SnapshotFullPumpRecording)->Unit(benchmark::kMicrosecond);

// Looking back: the four curves of a full pump-current recording reduced to
// the minimum and maximum of each of 1000 pixel columns, the whole week (all
// 1 209 600 entries read) and one hour of it (found by binary search).
void BM_DecimateFullPumpRecording(benchmark::State &state)
{
    const WaveStore &store = fullPumpRecording();
    const WaveSnapshot snapshot = store.snapshot();
    const double last = snapshot.timeAt(snapshot.size() - 1);
    const double from = state.range(0) == 0 ? snapshot.timeAt(0) : last - 3600.0 * 1000;
    std::size_t points = 0;
    for (auto _ : state) {
        const auto curves = wave_decimation::minMaxColumns(snapshot, from, last, 1000);
        points = 0;
        for (const auto &curve : curves)
            points += curve.size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = double(points);
}
BENCHMARK(BM_DecimateFullPumpRecording)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"lastHourOnly"})
    ->Unit(benchmark::kMillisecond);

// WaveRecording::exportTo of a full pump-current recording, the event loop
// of the asking thread running meanwhile as the window's does: the time
// exportTo takes, the longest gap between turns of the event loop (a timer
// asking for one every 5 ms) until exportFinished, and the whole export.
void BM_ExportToFullPumpRecording(benchmark::State &state)
{
    WaveRecording recording;
    recording.setCurveCount(4);
    QRandomGenerator rng(7);
    QVariantList values{0.0, 0.0, 0.0, 0.0};
    for (qsizetype i = 0; i < kFull; ++i) {
        for (QVariant &v : values)
            v = reading(rng);
        recording.append(kStart + 500.0 * double(i), values);
    }
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("wave.csv");
    double asked = 0, longest = 0, total = 0;
    bool ok = true;
    for (auto _ : state) {
        QEventLoop loop;
        QElapsedTimer clock;
        qint64 last = 0, gap = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            gap = qMax(gap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        QObject::connect(&recording, &WaveRecording::exportFinished, &loop, [&](bool written) {
            ok = ok && written;
            loop.quit();
        });
        clock.start();
        tick.start();
        recording.exportTo(path, "时间戳", kPumpNames);
        asked = qMax(asked, double(clock.nsecsElapsed()) / 1e6);
        loop.exec();
        total = qMax(total, double(clock.elapsed()));
        longest = qMax(longest, double(qMax(gap, clock.elapsed() - last)));
    }
    if (!ok)
        state.SkipWithError("exportTo failed");
    state.counters["exportTo_ms"] = asked;
    state.counters["longest_gap_ms"] = longest;
    state.counters["export_ms"] = total;
    state.counters["file_MB"] = double(QFileInfo(path).size()) / kMiB;
}
BENCHMARK(BM_ExportToFullPumpRecording)->Iterations(2)->Unit(benchmark::kMillisecond);

// The same text from a JavaScript list of entry objects {time, vals}, the time
// written at each push, as a chart written wholly in QML keeps it.
void BM_ExportInJavaScript(benchmark::State &state)
{
    const int entries = int(state.range(0));
    QJSEngine engine;
    engine.installExtensions(QJSEngine::AllExtensions);
    QJSValue build = engine.evaluate(R"((function (n, start) {
        var waves = []
        for (var i = 0; i < n; ++i) {
            var date = new Date(start + 500 * i)
            waves.push({"time": date.toLocaleTimeString() + "." + date.getMilliseconds(),
                        "vals": [Math.floor(Math.random() * 12000) * 0.001,
                                 Math.floor(Math.random() * 12000) * 0.001,
                                 Math.floor(Math.random() * 12000) * 0.001,
                                 Math.floor(Math.random() * 12000) * 0.001]})
        }
        return waves
    }))");
    QJSValue text = engine.evaluate(R"((function (waves, names) {
        var s = "时间戳"
        for (var c = 0; c < names.length; ++c)
            s += "," + names[c]
        for (var i = 0; i < waves.length; ++i) {
            s += "\n" + waves[i].time
            for (c = 0; c < names.length; ++c)
                s += "," + waves[i].vals[c]
        }
        return s.length
    }))");
    const double before = residentBytes();
    QJSValue waves = build.call({entries, kStart});
    engine.collectGarbage();
    state.counters["list_bytes/entry"] = (residentBytes() - before) / entries;
    const QJSValue names = engine.toScriptValue(kPumpNames);
    for (auto _ : state)
        benchmark::DoNotOptimize(text.call({waves, names}).toInt());
}
BENCHMARK(BM_ExportInJavaScript)->Arg(300000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
