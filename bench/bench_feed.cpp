// The plant feed on the interface thread: what PlantFeed::takeRecord costs the
// window per status record (a real 35-key record from devInfoToJson), with
// the feed started against a local Mosquitto and with no broker listening;
// then the broker stopped (SIGSTOP) while records keep coming at a high rate:
// the longest call, the longest pass of the event loop and the growth of
// the resident memory meanwhile.
//
//   bench_feed [--mode all|broker|nobroker|stall] [--records N] [--intervals-us U,...]
//              [--stall-s S] [--stall-interval-us U] [--mosquitto PATH]
//     --records       records per timing run, at most 20 s of them (default 10000)
//     --intervals-us  times between two records (default 1000,20000: back to
//                     back the caches stay warm; 20 ms apart they are as cold
//                     as at the device's two records a second)
//     --stall-s       how long the broker stays stopped (default 10)
//     --stall-interval-us  time between two records meanwhile (default 1000)
//     --mosquitto    the broker program (default /usr/sbin/mosquitto)
//
// The broker is started here, on 127.0.0.1 at a free port, with its own
// configuration in a temporary folder, and stopped at the end; with
// BENCH_FEED_KEEP_BROKER_DIR set the folder (and the broker's log) stays.

#include "bench_inputs.h"
#include "bench_quantile.h"
#include "protocol/data_process.h"
#include "protocol/status_record.h"
#include "services/feed_settings.h"
#include "services/plant_feed.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

void printTimes(const char *what, const std::vector<double> &us)
{
    std::printf("  %-36s median %6.2f us  p99 %7.2f us  max %8.1f us  (%zu calls)\n", what,
                quantile(us, 0.5), quantile(us, 0.99),
                us.empty() ? 0.0 : *std::max_element(us.begin(), us.end()), us.size());
}

double residentMiB()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Samples the resident memory every 5 ms on its own thread, so that a peak
// between two looks of the loop is not missed.
class RssWatch {
public:
    RssWatch()
        : worker([this] {
            while (!done.load()) {
                const double now = residentMiB();
                double seen = peak.load();
                while (now > seen && !peak.compare_exchange_weak(seen, now)) {
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        })
    {
    }
    ~RssWatch()
    {
        done = true;
        worker.join();
    }
    void resetPeak() { peak = residentMiB(); }
    double peakMiB() const { return peak.load(); }

private:
    std::atomic<bool> done{false};
    std::atomic<double> peak{0};
    std::thread worker;
};

int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port == 1883 || port == 8883 ? freePort() : port;
}

bool portOpen(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(quint16(port));
    const bool open = ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(s);
    return open;
}

// Mosquitto on 127.0.0.1 at a free port, its configuration and log in a
// temporary folder.
class Broker {
public:
    bool start(const QString &program)
    {
        if (qEnvironmentVariableIsSet("BENCH_FEED_KEEP_BROKER_DIR")) {
            dir.setAutoRemove(false);
            std::fprintf(stderr, "broker folder: %s\n", qPrintable(dir.path()));
        }
        port = freePort();
        const QString conf = dir.filePath(QStringLiteral("mosquitto.conf"));
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        QByteArray text = "listener " + QByteArray::number(port) + " 127.0.0.1\n" +
                          "allow_anonymous true\npersistence false\n" + "log_dest file " +
                          dir.filePath(QStringLiteral("mosquitto.log")).toUtf8() + "\n";
        // As root it would switch to the user "mosquitto", who may not write here.
        if (geteuid() == 0)
            text += "user root\n";
        f.write(text);
        f.close();
        process.setProgram(program);
        process.setArguments({QStringLiteral("-c"), conf});
        process.setStandardOutputFile(dir.filePath(QStringLiteral("mosquitto.out")));
        process.setStandardErrorFile(dir.filePath(QStringLiteral("mosquitto.out")));
        process.start();
        if (!process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 100 && !portOpen(port); ++i)
            QThread::msleep(50);
        return portOpen(port);
    }
    ~Broker()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        resume();
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
    }
    bool running() const { return process.state() == QProcess::Running; }
    void pause() { ::kill(pid_t(process.processId()), SIGSTOP); }
    void resume() { ::kill(pid_t(process.processId()), SIGCONT); }
    int port = 0;

private:
    QTemporaryDir dir;
    QProcess process;
};

// Bytes the kernel holds in the send queues of the connections to port:
// what a stopped broker has not read yet, outside the process's memory.
qint64 kernelSendQueue(int port)
{
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    qint64 total = 0;
    const QByteArray remote = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    // readAll: a file of /proc has no size, atEnd() would hold at once.
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // sl local rem st tx_queue:rx_queue ...
        if (fields.size() > 4 && fields[2].endsWith(remote))
            total += fields[4].split(':').value(0).toLongLong(nullptr, 16);
    }
    return total;
}

feed_settings::Outcome feedAt(int port)
{
    feed_settings::Outcome o;
    o.enabled = true;
    o.settings.host = QStringLiteral("127.0.0.1");
    o.settings.port = port;
    o.settings.broker = QStringLiteral("mqtt://127.0.0.1:%1").arg(port);
    o.settings.prefix = QStringLiteral("bench");
    o.settings.id = QStringLiteral("bench-feed");
    return o;
}

// Records as the window receives them, the pump currents and temperatures
// varied so that no two payloads in a row are alike.
std::vector<QJsonObject> makeRecords(int count)
{
    const std::optional<DevInfoRecord> base = parseDevInfo(benchinput::statusPayload());
    std::vector<QJsonObject> records;
    for (int i = 0; i < count; ++i) {
        DevInfoRecord r = *base;
        for (int p = 0; p < 4; ++p)
            r.pumpCurrent[p] = quint16(4000 + (i * 37 + p * 211) % 8000);
        r.inletWaterTemp = qint16(200 + i % 50);
        r.ambientTemp = qint16(250 + i % 30);
        records.push_back(DataProcess::getInstance()->devInfoToJson(r));
    }
    return records;
}

double threadCpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

struct Run {
    std::vector<double> takeRecordUs;
    std::vector<double> takeRecordCpuUs; // this thread's processor time in the call
    double longestPassUs = 0;            // the rest of a turn of the loop: the feed's signals
};

// Feeds `records` records, one every interval, timing each takeRecord;
// between two the event loop runs, as the window's would.
Run feedRecords(PlantFeed &feed, const std::vector<QJsonObject> &pool, int records,
                std::chrono::microseconds interval)
{
    Run run;
    run.takeRecordUs.reserve(std::size_t(records));
    Clock::time_point due = Clock::now();
    for (int i = 0; i < records; ++i) {
        const QJsonObject &record = pool[std::size_t(i) % pool.size()];
        const double cpu0 = threadCpuUs();
        const Clock::time_point t0 = Clock::now();
        feed.takeRecord(record);
        const Clock::time_point t1 = Clock::now();
        run.takeRecordCpuUs.push_back(threadCpuUs() - cpu0);
        QCoreApplication::processEvents();
        run.takeRecordUs.push_back(microseconds(t1 - t0));
        run.longestPassUs = std::max(run.longestPassUs, microseconds(Clock::now() - t1));
        due += interval;
        std::this_thread::sleep_until(due);
    }
    return run;
}

bool waitFor(const std::function<bool()> &condition, int ms)
{
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (!condition() && Clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

// Records for one spacing: `records` at most, and no more than 20 s of them.
int recordsFor(int records, std::chrono::microseconds interval)
{
    return int(std::min<qint64>(records, std::max<qint64>(100, 20000000 / interval.count())));
}

int timingRun(bool withBroker, const QString &mosquitto, int records,
              const std::vector<std::chrono::microseconds> &intervals)
{
    Broker broker;
    int port = 0;
    if (withBroker) {
        if (!broker.start(mosquitto)) {
            std::fprintf(stderr, "mosquitto did not start (%s)\n", qPrintable(mosquitto));
            return 1;
        }
        port = broker.port;
    } else {
        port = freePort(); // nobody listens: every attempt is refused
    }
    PlantFeed feed;
    int interruptions = 0;
    QObject::connect(&feed, &PlantFeed::interrupted, [&](const QString &) { ++interruptions; });
    feed.start(feedAt(port), QStringLiteral("bench"));
    if (withBroker && !waitFor([&] { return feed.isBrokerConnected(); }, 5000)) {
        std::fprintf(stderr, "the feed did not connect to the broker\n");
        return 1;
    }
    if (!withBroker)
        waitFor([&] { return interruptions > 0; }, 3000);
    const std::vector<QJsonObject> pool = makeRecords(100);
    std::printf("\n%s:\n",
                withBroker ? "(a) against a running Mosquitto" : "(b) no broker listening");
    for (const std::chrono::microseconds interval : intervals) {
        const int n = recordsFor(records, interval);
        feedRecords(feed, pool, std::min(n / 10, 200), interval); // warm-up
        const Run run = feedRecords(feed, pool, n, interval);
        std::printf(" %d records %lld us apart:\n", n, static_cast<long long>(interval.count()));
        printTimes("takeRecord, wall", run.takeRecordUs);
        printTimes("takeRecord, processor time", run.takeRecordCpuUs);
        std::printf("  longest rest of a turn of the event loop: %.1f us\n", run.longestPassUs);
    }
    std::printf("  broker connected at the end: %s; interruptions reported: %d%s\n",
                feed.isBrokerConnected() ? "yes" : "no", interruptions,
                withBroker && !broker.running() ? "; THE BROKER EXITED during the run" : "");
    const Clock::time_point s0 = Clock::now();
    feed.stop();
    std::printf("  stop(): %.1f ms\n", microseconds(Clock::now() - s0) / 1e3);
    return 0;
}

int stallRun(const QString &mosquitto, std::chrono::microseconds interval, int stallS)
{
    Broker broker;
    if (!broker.start(mosquitto)) {
        std::fprintf(stderr, "mosquitto did not start (%s)\n", qPrintable(mosquitto));
        return 1;
    }
    PlantFeed feed;
    QElapsedTimer clock;
    clock.start();
    std::vector<std::pair<qint64, QString>> news;
    QObject::connect(&feed, &PlantFeed::interrupted,
                     [&](const QString &reason) { news.emplace_back(clock.elapsed(), reason); });
    QObject::connect(&feed, &PlantFeed::connectedToBroker, [&](const QString &) {
        news.emplace_back(clock.elapsed(), QStringLiteral("connected"));
    });
    feed.start(feedAt(broker.port), QStringLiteral("bench"));
    if (!waitFor([&] { return feed.isBrokerConnected(); }, 5000)) {
        std::fprintf(stderr, "the feed did not connect to the broker\n");
        return 1;
    }
    const std::vector<QJsonObject> pool = makeRecords(100);
    const int perSecond = int(1000000 / interval.count());
    RssWatch rss;
    feedRecords(feed, pool, 3 * perSecond, interval); // warm-up, 3 s
    const double before = residentMiB();
    rss.resetPeak();
    const qint64 stoppedAt = clock.elapsed();
    broker.pause();
    const Run stalled = feedRecords(feed, pool, stallS * perSecond, interval);
    const double peakStalled = rss.peakMiB();
    const double atResume = residentMiB();
    const qint64 heldByKernel = kernelSendQueue(broker.port);
    broker.resume();
    const qint64 resumedAt = clock.elapsed();
    rss.resetPeak();
    const Run after = feedRecords(feed, pool, 10 * perSecond, interval);
    const double peakAfter = rss.peakMiB();
    const double end = residentMiB();

    std::printf("\n(c) broker stopped (SIGSTOP) for %d s, records %lld us apart throughout:\n",
                stallS, static_cast<long long>(interval.count()));
    printTimes("takeRecord while stopped", stalled.takeRecordUs);
    printTimes("  processor time", stalled.takeRecordCpuUs);
    std::printf("  longest rest of a turn of the event loop while stopped: %.1f us\n",
                stalled.longestPassUs);
    std::printf("  resident: %.1f MiB before; peak while stopped %.1f MiB (%+.1f MiB), "
                "%.1f MiB at the resume\n",
                before, peakStalled, peakStalled - before, atResume);
    std::printf("  in the kernel's send queue towards the broker at the resume: %.1f MiB\n",
                double(heldByKernel) / (1024.0 * 1024.0));
    printTimes("takeRecord in the 10 s after", after.takeRecordUs);
    std::printf("  resident in the 10 s after: peak %.1f MiB (%+.1f MiB over before), "
                "%.1f MiB at the end\n",
                peakAfter, peakAfter - before, end);
    std::printf("  the feed's news (s from the broker's stop):");
    if (news.empty())
        std::printf(" none");
    for (const auto &n : news) {
        if (n.first >= stoppedAt)
            std::printf(" [%.1f %s]", double(n.first - stoppedAt) / 1e3, qPrintable(n.second));
    }
    std::printf("\n  resumed at %.1f s; connected at the end: %s%s\n",
                double(resumedAt - stoppedAt) / 1e3, feed.isBrokerConnected() ? "yes" : "no",
                broker.running() ? "" : "; THE BROKER EXITED during the run");
    const Clock::time_point s0 = Clock::now();
    feed.stop();
    std::printf("  stop(): %.1f ms\n", microseconds(Clock::now() - s0) / 1e3);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString mode = QStringLiteral("all");
    QString mosquitto = QStringLiteral("/usr/sbin/mosquitto");
    int records = 10000;
    std::vector<std::chrono::microseconds> intervals{std::chrono::microseconds(1000),
                                                     std::chrono::microseconds(20000)};
    int stallIntervalUs = 1000;
    int stallS = 10;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--mode")
            mode = args[i + 1];
        else if (args[i] == "--records")
            records = std::max(100, args[i + 1].toInt());
        else if (args[i] == "--intervals-us") {
            intervals.clear();
            for (const QString &v : args[i + 1].split(QLatin1Char(',')))
                intervals.emplace_back(std::clamp(v.toInt(), 10, 1000000));
        } else if (args[i] == "--stall-interval-us")
            stallIntervalUs = std::clamp(args[i + 1].toInt(), 10, 100000);
        else if (args[i] == "--stall-s")
            stallS = std::max(1, args[i + 1].toInt());
        else if (args[i] == "--mosquitto")
            mosquitto = args[i + 1];
    }
    // A record with its JSON made once, so that the first call pays no set-up.
    makeRecords(1);
    std::printf("PlantFeed::takeRecord on the interface thread (35-key records)\n");
    int result = 0;
    if (mode == "all" || mode == "broker")
        result |= timingRun(true, mosquitto, records, intervals);
    if (mode == "all" || mode == "nobroker")
        result |= timingRun(false, mosquitto, records, intervals);
    if (mode == "all" || mode == "stall")
        result |= stallRun(mosquitto, std::chrono::microseconds(stallIntervalUs), stallS);
    return result;
}
