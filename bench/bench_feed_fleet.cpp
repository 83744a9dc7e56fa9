// A plant of lasers on one broker: `--lasers` copies of the real feed
// (PlantFeed, each on its own thread with its own client id fleet-000 ...,
// prefix "fleet") in one process, each fed two status records a second (a
// real 35-key record, values moving) and now and then a new alarm word (on
// average every 10 s per laser, at random), which makes an alarm event.
// Prints the processor time of this process and of the broker over the run;
// at the end writes how many events each laser made, for the subscriber
// (bench/feed_fleet_subscriber.py) to check every one arrived once and in
// order. scripts/feed-fleet.sh starts the broker and the subscriber.
//
//   bench_feed_fleet --port P [--lasers 200] [--seconds 60] [--broker-pid PID]
//                    [--expected FILE]
//     --expected  where to write "<id> <events>" a line once the run is over

#include "bench_inputs.h"
#include "bench_quantile.h"
#include "protocol/data_process.h"
#include "protocol/status_record.h"
#include "services/feed_settings.h"
#include "services/plant_feed.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTimer>
#include <QVariantMap>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double processCpuS()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// utime + stime of another process, in seconds; -1 when unknown.
double otherCpuS(int pid)
{
    if (pid <= 0)
        return -1;
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = f.readAll();
    // The name in brackets may hold spaces: count the fields after it.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    // Fields 14 and 15 of the line (utime, stime) are 12 and 13 after the name.
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

int threadCount()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    // readAll: a file of /proc has no size, atEnd() would hold at once.
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

// The window's alarm table (qml/Public.qml: alarmTextTable), so that the
// events carry the texts the message list shows.
QVariantList alarmTable()
{
    const std::pair<int, const char *> rows[] = {
        {1, "湿度过高"},       {2, "蓝牙未就绪"},     {32784, "QBH断开"},    {32800, "水冷断开"},
        {33024, "进水温度高"}, {33280, "进水温度低"}, {33792, "出水温度高"}, {34816, "出水温度低"},
        {36864, "PD错误"},     {40960, "电流错误"},   {49152, "急停"}};
    QVariantList table;
    for (const auto &row : rows)
        table.append(QVariantMap{{QStringLiteral("code"), row.first},
                                 {QStringLiteral("text"), QString::fromUtf8(row.second)}});
    return table;
}

// Alarm words a laser may show; 0 clears.
constexpr quint16 kWords[] = {0, 1, 2, 32784, 32800, 33024, 33280, 36864, 49152, 32787};

struct Laser {
    std::unique_ptr<PlantFeed> feed;
    DevInfoRecord record;
    qint64 due = 0; // ms on the run's clock
    int records = 0;
    int events = 0; // alarm words changed: one event each
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int port = 0, lasers = 200, seconds = 60, brokerPid = 0;
    QString expectedPath;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--port")
            port = args[i + 1].toInt();
        else if (args[i] == "--lasers")
            lasers = std::clamp(args[i + 1].toInt(), 1, 1000);
        else if (args[i] == "--seconds")
            seconds = std::max(1, args[i + 1].toInt());
        else if (args[i] == "--broker-pid")
            brokerPid = args[i + 1].toInt();
        else if (args[i] == "--expected")
            expectedPath = args[i + 1];
    }
    if (port <= 0) {
        std::fprintf(stderr, "usage: bench_feed_fleet --port P [--lasers N] [--seconds S] "
                             "[--broker-pid PID] [--expected FILE]\n");
        return 2;
    }

    const std::optional<DevInfoRecord> base = parseDevInfo(benchinput::statusPayload());
    const QVariantList table = alarmTable();
    std::vector<Laser> fleet(static_cast<std::size_t>(lasers));
    int connected = 0, interruptions = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < lasers; ++i) {
        Laser &l = fleet[std::size_t(i)];
        l.feed = std::make_unique<PlantFeed>();
        l.feed->setAlarmTable(table);
        QObject::connect(l.feed.get(), &PlantFeed::connectedToBroker, [&] { ++connected; });
        QObject::connect(l.feed.get(), &PlantFeed::interrupted,
                         [&](const QString &) { ++interruptions; });
        feed_settings::Outcome o;
        o.enabled = true;
        o.settings.host = QStringLiteral("127.0.0.1");
        o.settings.port = port;
        o.settings.broker = QStringLiteral("mqtt://127.0.0.1:%1").arg(port);
        o.settings.prefix = QStringLiteral("fleet");
        o.settings.id = QStringLiteral("fleet-%1").arg(i, 3, 10, QLatin1Char('0'));
        l.feed->start(o, QStringLiteral("fleet"));
        l.record = *base;
        const QByteArray chip = QStringLiteral("F%1").arg(i, 3, 10, QLatin1Char('0')).toLatin1();
        std::fill(std::begin(l.record.chipShortId), std::end(l.record.chipShortId), '\0');
        std::copy(chip.begin(), chip.end(), l.record.chipShortId);
        l.record.alarmState = 0;
    }
    while (connected < lasers && clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::printf("fleet: %d feeds started, %d connected after %lld ms; %d threads in the "
                "process\n",
                lasers, connected, static_cast<long long>(clock.elapsed()), threadCount());
    if (connected < lasers)
        return 1;

    QRandomGenerator rng(2026);
    DataProcess *dp = DataProcess::getInstance();
    std::vector<double> takeUs;
    takeUs.reserve(std::size_t(lasers) * std::size_t(seconds) * 2 + 16);
    const qint64 start = clock.elapsed();
    for (int i = 0; i < lasers; ++i)
        fleet[std::size_t(i)].due = start + qint64(i) * 500 / lasers;
    const qint64 end = start + qint64(seconds) * 1000;
    const double cpu0 = processCpuS(), broker0 = otherCpuS(brokerPid);
    interruptions = 0;

    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (now >= end) {
            QCoreApplication::quit();
            return;
        }
        for (Laser &l : fleet) {
            if (now < l.due)
                continue;
            l.due += 500;
            DevInfoRecord &r = l.record;
            for (int p = 0; p < 4; ++p)
                r.pumpCurrent[p] = quint16(3000 + rng.bounded(9000));
            r.inletWaterTemp = qint16(180 + rng.bounded(60));
            r.outletWaterTemp = qint16(200 + rng.bounded(60));
            // One record in 20 (every 10 s on average) brings another word.
            if (rng.bounded(20) == 0) {
                quint16 word = r.alarmState;
                while (word == r.alarmState)
                    word = kWords[rng.bounded(int(std::size(kWords)))];
                r.alarmState = word;
                ++l.events;
            }
            const QJsonObject record = dp->devInfoToJson(r);
            const Clock::time_point t0 = Clock::now();
            l.feed->takeRecord(record);
            takeUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
            ++l.records;
        }
    });
    tick.start();
    app.exec();
    tick.stop();
    const double wall = double(clock.elapsed() - start) / 1e3;
    const double cpu = processCpuS() - cpu0;
    const double broker = brokerPid > 0 ? otherCpuS(brokerPid) - broker0 : -1;

    int records = 0, events = 0;
    for (const Laser &l : fleet) {
        records += l.records;
        events += l.events;
    }
    std::printf("run: %.1f s, %d records (%.0f a second), %d alarm events; broker "
                "interruptions during the run: %d\n",
                wall, records, records / wall, events, interruptions);
    std::printf("takeRecord on the driving thread: median %.1f us, p99 %.1f us, max %.0f us\n",
                quantile(takeUs, 0.5), quantile(takeUs, 0.99),
                takeUs.empty() ? 0.0 : *std::max_element(takeUs.begin(), takeUs.end()));
    std::printf("processor: this process %.1f %% of a core", 100 * cpu / wall);
    if (broker >= 0)
        std::printf(", broker (pid %d) %.1f %% of a core", brokerPid, 100 * broker / wall);
    std::printf("\n");
    std::fflush(stdout);

    // The last events may still be on their way: a moment for them.
    const qint64 drainUntil = clock.elapsed() + 3000;
    while (clock.elapsed() < drainUntil)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!expectedPath.isEmpty()) {
        QSaveFile out(expectedPath);
        if (out.open(QIODevice::WriteOnly)) {
            for (int i = 0; i < lasers; ++i)
                out.write(QStringLiteral("fleet-%1 %2\n")
                              .arg(i, 3, 10, QLatin1Char('0'))
                              .arg(fleet[std::size_t(i)].events)
                              .toLatin1());
            out.commit();
        }
    }

    // Each stop waits for the broker's answers to the goodbye (some 0.2 s):
    // one after the other that is 40 s for 200 feeds, so several at once.
    const Clock::time_point s0 = Clock::now();
    std::vector<std::thread> stoppers;
    const int parallel = 20;
    for (int t = 0; t < parallel; ++t)
        stoppers.emplace_back([&fleet, t, parallel] {
            for (std::size_t i = std::size_t(t); i < fleet.size(); i += std::size_t(parallel))
                fleet[i].feed->stop();
        });
    for (std::thread &t : stoppers)
        t.join();
    std::printf("stopped all feeds in %.1f s\n",
                std::chrono::duration<double>(Clock::now() - s0).count());
    return 0;
}
