#include "link/communication.h"
#include "link/serial_port.h"
#include "link_test_support.h"
#include "protocol/frame.h"

#include <QJsonObject>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

using Clock = std::chrono::steady_clock;
using serial_link::kNoTime;
using serial_link::Pass;
using std::chrono::milliseconds;

namespace {

qint64 msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration_cast<milliseconds>(to - from).count();
}

// The schedule driven as the port drives it, in virtual time: every chunk and
// every expiry of the timer that it asks for lets each due pass run. A chunk
// that arrives as the timer expires comes after the timer.
struct ScheduleRun {
    QStringList passes;    // "quiet@95", "busy@250", in order
    QVector<qint64> waits; // per chunk: from its arrival to the pass that saw it

    explicit ScheduleRun(const QVector<qint64> &chunks)
    {
        serial_link::PassSchedule schedule;
        qint64 timerAt = kNoTime;
        bool stuck = false; // the timer would not advance
        int unseenFrom = 0; // the first chunk that no pass has seen
        waits.fill(kNoTime, chunks.size());
        auto service = [&](qint64 now, int arrived) {
            for (;;) {
                const serial_link::PassDecision due = schedule.decide(now);
                if (due.pass == Pass::None) {
                    timerAt = due.waitMs == kNoTime ? kNoTime : now + due.waitMs;
                    if (due.waitMs != kNoTime && due.waitMs < 1) {
                        passes << QString("stuck@%1").arg(now);
                        stuck = true;
                    }
                    return;
                }
                passes << QString("%1@%2").arg(due.pass == Pass::Quiet ? "quiet" : "busy").arg(now);
                for (; unseenFrom < arrived; ++unseenFrom)
                    waits[unseenFrom] = now - chunks[unseenFrom];
                schedule.passRan(due.pass);
            }
        };
        for (int next = 0; !stuck && (next < chunks.size() || timerAt != kNoTime);) {
            if (next < chunks.size() && (timerAt == kNoTime || chunks[next] < timerAt)) {
                schedule.chunkArrived(chunks[next], chunks[next]);
                ++next;
                service(chunks[next - 1], next);
            } else {
                service(timerAt, next);
            }
        }
    }
};

QVector<qint64> every(qint64 stepMs, qint64 untilMs)
{
    QVector<qint64> times;
    for (qint64 t = 0; t <= untilMs; t += stepMs)
        times << t;
    return times;
}

// Status records as the worker emits them, stamped there: what the facade
// hands on later does not depend on this thread's own stalls.
struct WorkerRecords : QObject {
    mutable std::mutex lock;
    QVector<int> alarms;
    QVector<Clock::time_point> times;

    explicit WorkerRecords(SerialPort *port)
    {
        connect(
            port, &SerialPort::dataReceived, this,
            [this](const QJsonObject &rxObj) {
                std::lock_guard<std::mutex> hold(lock);
                alarms.append(rxObj.value("alarmState").toInt());
                times.append(Clock::now());
            },
            Qt::DirectConnection);
    }
    int count() const
    {
        std::lock_guard<std::mutex> hold(lock);
        return alarms.size();
    }
    // The longest time without a record between from and to, both included.
    qint64 longestSilence(Clock::time_point from, Clock::time_point to) const
    {
        std::lock_guard<std::mutex> hold(lock);
        qint64 longest = 0;
        Clock::time_point previous = from;
        for (const Clock::time_point &t : times) {
            if (t <= from || t > to)
                continue;
            longest = qMax(longest, msBetween(previous, t));
            previous = t;
        }
        return qMax(longest, msBetween(previous, to));
    }
};

// How long this thread (which reads the port) and a writer thread were kept
// from running: a stall longer than the quiet time makes a busy line look
// quiet for good reason, and the frame then arriving is lost.
struct Stalls {
    static constexpr qint64 kLimitMs = serial_link::kQuietTimeMs - 15;
    int count = 0;
    qint64 longestMs = 0;

    void note(qint64 gapMs)
    {
        longestMs = qMax(longestMs, gapMs);
        if (gapMs > kLimitMs)
            ++count;
    }
    void add(const Stalls &other)
    {
        count += other.count;
        longestMs = qMax(longestMs, other.longestMs);
    }
};

// Writes pieces from a thread, one every `periodMs`, noting its own stalls.
class PacedWriter {
public:
    PacedWriter(const PtyPair &pty, QVector<QByteArray> pieces, int periodMs)
        : thread([this, &pty, pieces, periodMs] {
            Clock::time_point previous = Clock::now();
            started = previous;
            for (const QByteArray &piece : pieces) {
                if (!pty.write(piece)) {
                    failed = true;
                    break;
                }
                lastWrite = Clock::now();
                writerStalls.note(msBetween(previous, lastWrite));
                previous = lastWrite;
                std::this_thread::sleep_for(milliseconds(periodMs));
            }
            done = true;
        })
    {
    }
    ~PacedWriter() { join(); }
    PacedWriter(const PacedWriter &) = delete;
    PacedWriter &operator=(const PacedWriter &) = delete;
    void join()
    {
        if (thread.joinable())
            thread.join();
    }
    bool isDone() const { return done; }

    // Valid after join().
    bool failed = false;
    Stalls writerStalls;
    Clock::time_point started, lastWrite;

private:
    std::atomic<bool> done{false};
    std::thread thread;
};

// Notes how long the machine kept this process from running: the worker
// thread that decodes is starved alike, and its stall excuses a late record.
// A thread of its own, so slow decoding on the worker never excuses itself.
class StarvationProbe {
public:
    StarvationProbe()
        : thread([this] {
            Clock::time_point previous = Clock::now();
            while (!stop) {
                std::this_thread::sleep_for(milliseconds(5));
                const Clock::time_point now = Clock::now();
                stalls.note(msBetween(previous, now));
                previous = now;
            }
        })
    {
    }
    ~StarvationProbe() { finish(); }
    StarvationProbe(const StarvationProbe &) = delete;
    StarvationProbe &operator=(const StarvationProbe &) = delete;
    const Stalls &finish()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        return stalls;
    }

private:
    std::atomic<bool> stop{false};
    Stalls stalls;
    std::thread thread;
};

const QString kMissingPort = QStringLiteral("/dev/orrindel-no-such-port");

bool lineSettingsApplied(int fd)
{
    termios tio;
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    return cfgetospeed(&tio) == B115200 && cfgetispeed(&tio) == B115200 &&
           (tio.c_cflag & CSIZE) == CS8 && !(tio.c_cflag & PARENB) && !(tio.c_cflag & CSTOPB) &&
           !(tio.c_cflag & CRTSCTS) && !(tio.c_iflag & (IXON | IXOFF));
}

// What the facade hands to the interface, noted on the emitting thread.
struct Received : QObject {
    QVector<int> statuses;
    QStringList messages;
    QVector<QVariantList> tables;
    int lost = 0;
    Clock::time_point lastMessageAt;
    bool onInterfaceThread = true;

    explicit Received(Communication *link)
    {
        watch(link, &Communication::dataReceived, [this](const QJsonObject &rxObj) {
            statuses.append(rxObj.value("alarmState").toInt());
        });
        watch(link, &Communication::msgReceived, [this](const QString &msg) {
            messages.append(msg);
            lastMessageAt = Clock::now();
        });
        watch(link, &Communication::calibTableReceived,
              [this](const QVariantList &table) { tables.append(table); });
        watch(link, &Communication::portLost, [this] { ++lost; });
    }
    template<typename Signal, typename Slot> void watch(Communication *link, Signal sig, Slot slot)
    {
        const auto noted = [this, slot](const auto &...args) {
            onInterfaceThread = onInterfaceThread && QThread::currentThread() == qApp->thread();
            slot(args...);
        };
        connect(link, sig, this, noted, Qt::DirectConnection);
    }
};

// Runs this thread's event loop until done() or timeoutMs, noting its stalls.
template<typename Done> bool waitNoting(Stalls &stalls, Done done, int timeoutMs)
{
    QElapsedTimer total, step;
    total.start();
    step.start();
    while (!done() && total.elapsed() < timeoutMs) {
        QTest::qWait(1);
        stalls.note(step.restart());
    }
    return done();
}

// How long a timing test may retry before it judges the tries it has had.
constexpr qint64 kRetryBudgetMs = 20000;
// Scheduling and decoding on a loaded machine, on top of the promised delay.
constexpr qint64 kSlackMs = 200;

} // namespace

// The port is driven through the facade, as the interface drives it: the
// worker thread decodes, results come back to this thread.
class TestSerialPort : public QObject {
    Q_OBJECT

    DebugCapture debug;
    Communication *link = nullptr;
    SerialPort *port = nullptr;

private slots:
    void initTestCase()
    {
        debug.install();
        link = Communication::getInstance();
        port = SerialPort::getInstance();
        QTRY_VERIFY_WITH_TIMEOUT(debug.lines().contains("Communication Thread"), 5000);
    }
    void init() { debug.clear(); }
    void cleanup() { link->close(); }

    // The method indices are part of the interface. Signals come first in the
    // meta-object, so portLost (declared last) takes index 3.
    void metaObjectKeepsItsOrder()
    {
        const QMetaObject &mo = SerialPort::staticMetaObject;
        QCOMPARE(methodsOf(mo), (QStringList{"dataReceived(QJsonObject)", "msgReceived(QString)",
                                             "calibTableReceived(QByteArray)", "portLost()",
                                             "readFromSerialPort()", "recvTimeout()"}));
        QCOMPARE(signalParameterNames(mo), (QList<QByteArray>{"rxObj", "msg", "table"}));
    }

    // A frame goes out whole with one hex line. Once closed, sending or
    // closing again leaves no trace at all, not even a debug line.
    void openSendAndClose()
    {
        PtyPair a;
        const QByteArray frame = QByteArray::fromHex("aa050000a0000000ff1255");
        QVERIFY(link->open(a.slavePath()));
        QVERIFY(link->isOpen());
        QVERIFY(lineSettingsApplied(a.slaveFd()));
        port->sendData(frame);
        port->sendData(QByteArray()); // nothing to write
        QCOMPARE(a.read(frame.size() + 1, 2000), frame);
        link->close();
        QVERIFY(!link->isOpen());
        link->close();
        port->sendData(frame);
        QCOMPARE(a.readFor(200), QByteArray());
        QCOMPARE(debug.lines(),
                 (QStringList{"Open : " + a.slavePath(), "send: aa 05 00 00 a0 00 00 00 ff 12 55",
                              "Close : " + portNameOf(a.slavePath())}));
    }

    // Opening another name first closes the open port, silently: opening a
    // missing one leaves the link closed, opening another port switches to it.
    void openReplacesTheOpenPort_data()
    {
        QTest::addColumn<bool>("toMissing");
        QTest::newRow("missing name") << true;
        QTest::newRow("other port") << false;
    }
    void openReplacesTheOpenPort()
    {
        QFETCH(bool, toMissing);
        PtyPair a, b;
        Received got(link);
        QVERIFY(!link->open(kMissingPort));
        QVERIFY(!link->isOpen());
        QVERIFY(link->open(a.slavePath()));
        debug.clear();

        const QString target = toMissing ? kMissingPort : b.slavePath();
        QCOMPARE(link->open(target), !toMissing);
        QCOMPARE(link->isOpen(), !toMissing);
        QCOMPARE(debug.lines(), QStringList{"Open : " + target});
        link->queryVersion();
        const QByteArray query = QByteArray::fromHex("aa0500 0a000000 1287 55");
        QCOMPARE(b.read(query.size(), toMissing ? 200 : 2000), toMissing ? QByteArray() : query);
        QCOMPARE(a.readFor(200), QByteArray());
        QCOMPARE(lineSettingsApplied(b.slaveFd()), !toMissing);

        // Nothing that arrives on the old line is decoded any more.
        a.write(messageFrame("from a"));
        b.write(messageFrame("from b"));
        const QStringList expected = toMissing ? QStringList() : QStringList{"from b"};
        QTRY_COMPARE_WITH_TIMEOUT(got.messages, expected, 3000);
        QTest::qWait(300);
        QCOMPARE(got.messages, expected);
        QVERIFY(link->open(a.slavePath())); // the old port was released
    }

    // When passes run, in virtual time: a quiet pass 75 ms after the last
    // chunk, a busy pass 250 ms after the oldest chunk no pass has seen.
    void passSchedule_data()
    {
        QTest::addColumn<QVector<qint64>>("chunks");
        QTest::addColumn<QStringList>("passes");
        QTest::newRow("one chunk") << QVector<qint64>{0} << QStringList{"quiet@75"};
        QTest::newRow("chunks 10 ms apart: once, 75 ms after the last")
            << QVector<qint64>{0, 10, 20} << QStringList{"quiet@95"};
        QTest::newRow("a gap of 74 ms keeps the burst")
            << QVector<qint64>{0, 74} << QStringList{"quiet@149"};
        QTest::newRow("a gap of 75 ms ends it")
            << QVector<qint64>{0, 75} << QStringList{"quiet@75", "quiet@150"};
        QTest::newRow("never quiet: a chunk every 20 ms for a second")
            << every(20, 1000)
            << QStringList{"busy@250", "busy@510", "busy@770", "busy@1030", "quiet@1075"};
        QTest::newRow("a chunk every 74 ms")
            << every(74, 370) << QStringList{"busy@250", "quiet@445"};
        QVector<qint64> bursts = every(20, 160);
        for (qint64 t : every(20, 300))
            bursts << 400 + t;
        QTest::newRow("bursts apart: the delay starts afresh with each")
            << bursts << QStringList{"quiet@235", "busy@650", "quiet@775"};
    }
    void passSchedule()
    {
        QFETCH(QVector<qint64>, chunks);
        QFETCH(QStringList, passes);
        QCOMPARE(ScheduleRun(chunks).passes, passes);
    }

    // Over a long irregular line, busy and quiet by turns: every chunk is seen
    // by a pass at most 250 ms after it arrived, a quiet pass follows every
    // gap of 75 ms at its 75th millisecond, and no quiet pass runs otherwise.
    void passScheduleBoundsEveryWait()
    {
        QRandomGenerator rng(7);
        QVector<qint64> chunks{0};
        int gaps = 0;
        while (chunks.size() < 5000) {
            const qint64 gap = rng.bounded(100); // a quarter of them quiet gaps
            gaps += gap >= serial_link::kQuietTimeMs;
            chunks << chunks.last() + gap;
        }
        const ScheduleRun run(chunks);
        for (int i = 0; i < chunks.size(); ++i)
            QVERIFY2(run.waits[i] >= 0 && run.waits[i] <= serial_link::kMaxDecodeDelayMs,
                     qPrintable(QString("chunk %1 waited %2 ms").arg(i).arg(run.waits[i])));
        QStringList quiet;
        for (int i = 1; i <= chunks.size(); ++i)
            if (i == chunks.size() || chunks[i] - chunks[i - 1] >= serial_link::kQuietTimeMs)
                quiet << QString("quiet@%1").arg(chunks[i - 1] + serial_link::kQuietTimeMs);
        QCOMPARE(run.passes.filter(QRegularExpression("^quiet")), quiet);
        QCOMPARE(quiet.size(), gaps + 1);
        QVERIFY(run.passes.size() > quiet.size() + 100); // and busy ones between
    }

    // Decoding waits for 75 ms of silence: a frame in chunks 10 ms apart is
    // decoded once, whole, no earlier than 75 ms after its last chunk. A try
    // in which the machine kept the writer, or this thread that reads the
    // port, from running for most of the quiet time may split the chunks for
    // good reason, and the frame is then lost: such tries are repeated, and
    // the last one is judged allowing for that.
    void chunksCloserThanTheQuietTimeDecodeOnce()
    {
        PtyPair a;
        QVERIFY(link->open(a.slavePath()));
        const QByteArray text = "chunked message, long enough for three chunks";
        const QByteArray frame = messageFrame(text);
        const int n = frame.size();
        QVector<QByteArray> chunks;
        for (int i = 0; i < 3; ++i)
            chunks << frame.mid(i * n / 3, (i + 1) * n / 3 - i * n / 3);

        QElapsedTimer budget;
        budget.start();
        for (int attempt = 1;; ++attempt) {
            Received got(link);
            Stalls stalls;
            StarvationProbe starvation;
            PacedWriter writer(a, chunks, 10);
            waitNoting(
                stalls, [&] { return writer.isDone() && !got.messages.isEmpty(); }, 3000);
            writer.join();
            QVERIFY(!writer.failed);
            QTest::qWait(200); // nothing more comes
            stalls.add(writer.writerStalls);
            stalls.add(starvation.finish());
            if (stalls.count > 0 && budget.elapsed() < kRetryBudgetMs)
                continue;
            const QString context = QString("try %1, %2 stalls, longest %3 ms")
                                        .arg(attempt)
                                        .arg(stalls.count)
                                        .arg(stalls.longestMs);
            const QStringList whole{QString::fromUtf8(text)};
            QVERIFY2(got.messages == whole || (stalls.count > 0 && got.messages.isEmpty()),
                     qPrintable(context + ": " + got.messages.join('|')));
            if (got.messages.isEmpty())
                return;
            // Decoded whole, so after every chunk had arrived.
            const qint64 quiet = msBetween(writer.lastWrite, got.lastMessageAt);
            QVERIFY2(
                quiet >= serial_link::kQuietTimeMs - 5,
                qPrintable(
                    QString("decoded %1 ms after the last chunk (%2)").arg(quiet).arg(context)));
            return;
        }
    }

    // One burst: junk, every frame type, a status frame that does not parse;
    // all decoded in arrival order and handed over on this thread.
    void burstIsDecodedInOrder()
    {
        PtyPair a;
        Received got(link);
        QVERIFY(link->open(a.slavePath()));
        a.write(QByteArray::fromHex("0102") + statusFrame(11) + incomingFrame(0, "zero") +
                messageFrame("between") + incomingFrame(2, "two") + statusFrame(22) +
                incomingFrame(1, "short") + incomingFrame(4, QByteArray::fromHex("007f80ff")) +
                incomingFrame(4, {}));
        QTRY_COMPARE_WITH_TIMEOUT(got.tables.size(), 2, 3000);
        QCOMPARE(got.statuses, (QVector<int>{11, 22}));
        QCOMPARE(got.messages, QStringList{"between"});
        QCOMPARE(got.tables[0], (QVariantList{0, 127, 128, 255}));
        for (const QVariant &v : qAsConst(got.tables[0]))
            QCOMPARE(v.userType(), int(QMetaType::Int));
        QCOMPARE(got.tables[1], QVariantList());
        QCOMPARE(debug.linesStartingWith("dev info parse error").size(), 1);
        QVERIFY(got.onInterfaceThread);
        QCOMPARE(port->bufferedByteCount(), 0);
    }

    // Bytes left over from one connection precede the first bytes of the next.
    void leftoverBytesSurviveAReopen()
    {
        PtyPair a, b;
        Received got(link);
        const QByteArray frame = messageFrame("joined across ports");
        QCOMPARE(port->bufferedByteCount(), 0);
        QVERIFY(link->open(a.slavePath()));
        a.write(frame.left(5));
        QTRY_COMPARE_WITH_TIMEOUT(port->bufferedByteCount(), 5, 3000);
        QTest::qWait(serial_link::kQuietTimeMs * 3); // a pass has run and kept them
        QCOMPARE(port->bufferedByteCount(), 5);

        link->close();
        QVERIFY(link->open(b.slavePath()));
        QCOMPARE(port->bufferedByteCount(), 5);
        b.write(frame.mid(5));
        QTRY_COMPARE_WITH_TIMEOUT(got.messages, QStringList{"joined across ports"}, 3000);
        QCOMPARE(port->bufferedByteCount(), 0);
    }

    // A line that never pauses for 75 ms is still decoded: every record
    // within about 250 ms, none lost or repeated, and the link holds little.
    // Large frames come in pieces that do not line up with them, so nearly
    // every pass on the busy line finds a frame still arriving at the end of
    // the buffer, which it must keep. A header that claims more bytes than
    // ever come (line noise) must not hold up the frames behind it.
    //
    // A stall of the writer, or of this thread that reads the port, longer
    // than the quiet time makes the line quiet for good reason and may cost
    // the frame then arriving; tries with stalls are repeated, and the last
    // one is judged allowing for the stalls it had.
    void busyLineIsDecodedPromptly_data()
    {
        QTest::addColumn<QVector<QByteArray>>("pieces");
        QTest::addColumn<int>("periodMs");
        QTest::addColumn<int>("frameCount");
        QTest::addColumn<int>("frameSize");

        QByteArray stream;
        for (int i = 0; i < 100; ++i)
            stream += statusFrame(quint16(i), 4000);
        QVector<QByteArray> pieces;
        for (int at = 0; at < stream.size(); at += 1000)
            pieces << stream.mid(at, 1000);
        QTest::newRow("large frames in pieces") << pieces << 5 << 100 << int(stream.size() / 100);

        // 32767 bytes claimed: six seconds of this line.
        pieces = {QByteArray::fromHex("aaff7f01")};
        for (int i = 0; i < 60; ++i)
            pieces << statusFrame(quint16(i)) << QByteArray(1, '\0');
        QTest::newRow("behind a noise header") << pieces << 10 << 60 << int(statusFrame(0).size());
    }
    void busyLineIsDecodedPromptly()
    {
        QFETCH(QVector<QByteArray>, pieces);
        QFETCH(int, periodMs);
        QFETCH(int, frameCount);
        QFETCH(int, frameSize);
        qint64 streamSize = 0;
        for (const QByteArray &p : qAsConst(pieces))
            streamSize += p.size();

        QElapsedTimer budget;
        budget.start();
        for (int attempt = 1;; ++attempt) {
            PtyPair a;
            QVERIFY(link->open(a.slavePath()));
            WorkerRecords records(port);
            Stalls stalls;
            int largestBuffer = 0;
            StarvationProbe starvation;
            PacedWriter writer(a, pieces, periodMs);
            waitNoting(
                stalls,
                [&] {
                    largestBuffer = qMax(largestBuffer, port->bufferedByteCount());
                    return writer.isDone();
                },
                60000);
            writer.join();
            QVERIFY(!writer.failed);
            stalls.add(writer.writerStalls);
            // The rest is decoded once the line falls quiet.
            waitNoting(
                stalls, [&] { return records.count() >= frameCount; }, 10000);
            QTest::qWait(300);
            stalls.add(starvation.finish());
            if (stalls.count > 0 && budget.elapsed() < kRetryBudgetMs)
                continue;

            const QString context = QString("try %1, %2 stalls, longest %3 ms")
                                        .arg(attempt)
                                        .arg(stalls.count)
                                        .arg(stalls.longestMs);
            QVector<int> got;
            {
                std::lock_guard<std::mutex> hold(records.lock);
                got = records.alarms;
            }
            // In order, none twice, none lost but to a stall.
            for (int i = 1; i < got.size(); ++i)
                QVERIFY2(got[i] > got[i - 1], qPrintable(context));
            QVERIFY2(!got.isEmpty() && got.first() >= 0 && got.last() < frameCount,
                     qPrintable(context));
            QVERIFY2(frameCount - got.size() <= stalls.count,
                     qPrintable(QString("%1 of %2 records arrived (%3)")
                                    .arg(got.size())
                                    .arg(frameCount)
                                    .arg(context)));

            const qint64 allowedMs = serial_link::kMaxDecodeDelayMs + kSlackMs + stalls.longestMs;
            const qint64 silence = records.longestSilence(writer.started, writer.lastWrite);
            QVERIFY2(silence <= allowedMs,
                     qPrintable(QString("%1 ms without a record while the line was busy (%2)")
                                    .arg(silence)
                                    .arg(context)));
            // What arrives within the allowed delay, and the frame in progress.
            const qint64 writingMs = qMax<qint64>(1, msBetween(writer.started, writer.lastWrite));
            const qint64 bound = streamSize * allowedMs / writingMs + 2 * frameSize;
            QVERIFY2(largestBuffer <= bound,
                     qPrintable(QString("the link held %1 bytes, more than %2 (%3)")
                                    .arg(largestBuffer)
                                    .arg(bound)
                                    .arg(context)));
            QVERIFY(port->bufferedByteCount() < frame::kIncomingOverhead);
            return;
        }
    }

    // The peer (or the adapter) goes away while the port is open: closed
    // once, reported once, and no core left spinning.
    void vanishedPeerClosesThePortOnce()
    {
        auto a = std::make_unique<PtyPair>();
        PtyPair b;
        Received got(link);
        QVERIFY(link->open(a->slavePath()));
        debug.clear();

        a->closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(got.lost, 1, 5000);
        QVERIFY(!link->isOpen());
        const std::clock_t cpuBefore = std::clock(); // all threads of the process
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(1000);
        const double share =
            double(std::clock() - cpuBefore) / CLOCKS_PER_SEC * 1000 / wall.elapsed();
        QVERIFY2(share < 0.3, qPrintable(QString("%1 % of a core").arg(share * 100)));
        QCOMPARE(got.lost, 1);
        QVERIFY(got.onInterfaceThread);
        QCOMPARE(debug.linesStartingWith("Close : "),
                 QStringList{"Close : " + portNameOf(a->slavePath())});

        // Already closed: commands and close leave no trace; it opens again.
        link->queryVersion();
        link->close();
        QCOMPARE(debug.linesStartingWith("Close : ").size(), 1);
        QCOMPARE(debug.linesStartingWith("send: "), QStringList());
        QVERIFY(link->open(b.slavePath()));
        b.write(messageFrame("back"));
        QTRY_COMPARE_WITH_TIMEOUT(got.messages, QStringList{"back"}, 3000);
        QCOMPARE(got.lost, 1);
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serial_port.moc"
