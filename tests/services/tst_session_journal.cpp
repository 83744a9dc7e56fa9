// The session journal with the recording and the message list: what a
// restart gives back, what the journal lets go, and how it fails.

#include "services/message_log.h"
#include "services/session_journal.h"
#include "services/session_journal_database.h"
#include "services/session_journal_format.h"
#include "services/session_journal_writer.h"
#include "services/wave_recording.h"
#include "services_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

#include <unistd.h>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const qint64 kBase = 1718000000000; // 2024-06-10
const qint64 kDay = 24 * 3600 * 1000;

QVariantList row(std::initializer_list<double> values)
{
    QVariantList out;
    for (double v : values)
        out.append(v);
    return out;
}

std::unique_ptr<WaveRecording> recording(const QString &key, int curves, int capacity = 1209600)
{
    auto r = std::make_unique<WaveRecording>();
    r->setCurveCount(curves);
    r->setCapacity(capacity);
    r->setJournalKey(key);
    return r;
}

std::unique_ptr<MessageLog> messageLog(const QString &key, const QString &resume)
{
    auto log = std::make_unique<MessageLog>();
    log->setResumeLine(resume);
    log->setJournalKey(key);
    return log;
}

QStringList linesOf(const MessageLog &log)
{
    QStringList out;
    for (int i = 0; i < log.count(); ++i)
        out.append(log.lineAt(i));
    return out;
}

// Pushes n samples of one curve, 500 ms apart from t0, values start, start + 1 ...
void pushRamp(WaveRecording &r, int n, qint64 t0, int start = 0)
{
    for (int i = 0; i < n; ++i)
        r.append(double(t0 + 500 * i), row({double(start + i)}));
}

// Readings from a second connection, as a service engineer would make them.
struct Inspector {
    explicit Inspector(const QString &file)
        : name(QStringLiteral("inspect-%1").arg(quintptr(this)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.open();
    }
    ~Inspector()
    {
        QSqlDatabase::database(name).close();
        QSqlDatabase::removeDatabase(name);
    }
    qint64 number(const QString &sql) const
    {
        QSqlQuery q(QSqlDatabase::database(name));
        if (!q.exec(sql) || !q.next())
            return -1;
        return q.value(0).toLongLong();
    }
    qint64 streamId(const QString &kind, const QString &key) const
    {
        return number(QStringLiteral("SELECT id FROM stream WHERE kind = '%1' AND key = '%2'")
                          .arg(kind, key));
    }
    QString waveTable(const QString &key) const
    {
        return QStringLiteral("wave_%1").arg(streamId(QStringLiteral("wave"), key));
    }
    QString name;
};

// The journal's files as they are while it runs: what a killed program
// leaves. Taken after a flush, when the writer is idle.
bool copyJournal(const QString &from, const QString &to)
{
    const QString base = SessionJournalDatabase::fileName();
    for (const QString &name : {base, base + QStringLiteral("-wal")}) {
        if (QFile::exists(QDir(from).filePath(name)) &&
            !QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name)))
            return false;
    }
    return true;
}

// Runs SQL on a journal's file as another program (an earlier version) would.
bool execOn(const QString &file, const QStringList &statements,
            const QVector<QVariantList> &binds = {})
{
    const QString name = QStringLiteral("writer-%1").arg(file);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        ok = db.open();
        for (int i = 0; ok && i < statements.size(); ++i) {
            QSqlQuery q(db);
            ok = q.prepare(statements[i]);
            for (const QVariant &v : i < binds.size() ? binds[i] : QVariantList())
                q.addBindValue(v);
            ok = ok && q.exec();
            if (!ok)
                qWarning() << statements[i] << q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QByteArray chunkOf(int width, std::initializer_list<std::pair<qint64, double>> samples)
{
    journal_format::ChunkWriter chunk(width);
    for (const auto &sample : samples) {
        QVector<double> values(width, sample.second);
        chunk.append(sample.first, values.constData(), width);
    }
    return chunk.data();
}

FeedEventRow feedEvent(qint64 run, quint64 seq)
{
    FeedEventRow event;
    event.run = run;
    event.seq = seq;
    event.ts = run + qint64(seq) * 1000;
    event.payload = QStringLiteral("{\"run\":%1,\"seq\":%2}").arg(run).arg(seq).toUtf8();
    return event;
}

QStringList describe(const std::vector<FeedEventRow> &events)
{
    QStringList out;
    for (const FeedEventRow &event : events)
        out.append(QStringLiteral("%1/%2").arg(event.run).arg(event.seq));
    return out;
}

} // namespace

class TestSessionJournal : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    // First: before anything has opened the journal.
    void onlyTheProgramsOwnDocumentsOpenTheDefaultJournal();

    void resetAndClearSurviveARestart();
    void exportAfterRestartIsTheExportBeforePlusNewRows();
    void pushesDuringTheLoadFollowTheHistory();
    void chartKeepsItsCapacityAndTheFileStopsGrowing();
    void linesOlderThanAWeekDisappear();

    void writesAreGatheredButLoadsAndFlushesDoNotWait();
    void aCrashLosesNoCommittedSample();
    void fullChunksFitTheirPage();
    void aFileOfTheEarlierLayoutLoads();

    void feedEventsSurviveARestartUntilDone();
    void feedEventsLoadTheNewestTenThousand();
    void feedEventsLoadOnAFailedJournalAnswersEmpty();

    void unusableJournalIsReportedOnce_data();
    void unusableJournalIsReportedOnce();
    void secondCopyWaitsForTheLockThenGivesUp();

private:
    // Closes the journal and opens it again: what a restart does to it.
    void restart();
    // The kept feed events, from a load of the current session (posted: it
    // was taken). Not answered within 30 s, or answered twice: one event of
    // run -1, which no comparison expects.
    std::vector<FeedEventRow> loadFeed(bool *posted = nullptr);

    std::unique_ptr<QTemporaryDir> dir;
    SessionJournal *journal = nullptr;
};

void TestSessionJournal::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    journal = SessionJournal::getInstance();
    journal->setSizeLimit(0);
    if (QByteArray(QTest::currentTestFunction()).startsWith("onlyTheProgramsOwn"))
        return;
    QVERIFY(journal->open(dir->path()));
    QVERIFY(journal->isActive());
}

void TestSessionJournal::cleanup()
{
    journal->close();
    dir.reset();
}

void TestSessionJournal::restart()
{
    journal->close();
    QVERIFY(journal->open(dir->path()));
}

std::vector<FeedEventRow> TestSessionJournal::loadFeed(bool *posted)
{
    // Shared: a late answer must not write into a returned frame.
    auto answers = std::make_shared<std::vector<std::vector<FeedEventRow>>>();
    const bool taken = journal->loadFeedEvents(
        journal->session(), this,
        [answers](const std::vector<FeedEventRow> &events) { answers->push_back(events); });
    if (posted)
        *posted = taken;
    if (!taken)
        return {};
    (void)QTest::qWaitFor([&] { return !answers->empty(); }, 30000);
    QCoreApplication::processEvents();
    if (answers->size() != 1)
        return {feedEvent(-1, 0)};
    return answers->front();
}

void TestSessionJournal::onlyTheProgramsOwnDocumentsOpenTheDefaultJournal()
{
    QVERIFY(!journal->isActive());
    qputenv("ORRINDEL_DATA_DIR", QFile::encodeName(dir->path()));
    qmlRegisterType<MessageLog>("OrrindelJournalTest", 1, 0, "MessageLog");
    const QByteArray document = "import QtQml 2.15\nimport OrrindelJournalTest 1.0\n"
                                "MessageLog { journalKey: \"messages\" }\n";
    QQmlEngine engine;
    // The documents run from a source tree, as tests and benchmarks do.
    QQmlComponent fromFile(&engine);
    fromFile.setData(document, QUrl::fromLocalFile(dir->filePath("Content.qml")));
    std::unique_ptr<QObject> log(fromFile.create());
    QVERIFY2(log, qPrintable(fromFile.errorString()));
    QVERIFY(!journal->isActive());
    QVERIFY(!QFile::exists(dir->filePath(SessionJournalDatabase::fileName())));
    log.reset();

    // The program's own, compiled in.
    QQmlComponent compiledIn(&engine);
    compiledIn.setData(document, QUrl(QStringLiteral("qrc:/qml/Content.qml")));
    log.reset(compiledIn.create());
    QVERIFY2(log, qPrintable(compiledIn.errorString()));
    qunsetenv("ORRINDEL_DATA_DIR");
    QVERIFY(journal->isActive());
    QCOMPARE(journal->directory(), dir->path());
    QTRY_VERIFY(!log->property("loading").toBool());
    QVERIFY(QFile::exists(dir->filePath(SessionJournalDatabase::fileName())));
}

void TestSessionJournal::resetAndClearSurviveARestart()
{
    qint64 appendedFrom = 0;
    qint64 appendedTo = 0;
    {
        auto chart = recording("chart", 2);
        auto log = messageLog("list", "resumed 1");
        QTRY_VERIFY(!chart->isLoading() && !log->isLoading());
        chart->append(kBase, row({1, 2}));
        chart->append(kBase + 500, row({3, 4}));
        chart->clear();
        chart->append(kBase + 1000, row({5, 6}));
        log->append("before clear");
        log->clear();
        appendedFrom = QDateTime::currentMSecsSinceEpoch();
        log->append("after clear");
        appendedTo = QDateTime::currentMSecsSinceEpoch();

        // A list cleared last comes back empty, without a resume line.
        auto empty = messageLog("empty", "resumed");
        QTRY_VERIFY(!empty->isLoading());
        empty->append("gone");
        empty->clear();
    }
    restart();
    {
        auto chart = recording("chart", 2);
        auto log = messageLog("list", "resumed 2");
        auto empty = messageLog("empty", "resumed");
        QSignalSpy loaded(chart.get(), &WaveRecording::historyLoaded);
        QTRY_VERIFY(!chart->isLoading() && !log->isLoading() && !empty->isLoading());
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(chart->count(), 1);
        QCOMPARE(chart->timeMs(0), double(kBase + 1000));
        QCOMPARE(chart->values(0), row({5, 6}));
        QCOMPARE(linesOf(*log), QStringList({"after clear", "resumed 2"}));
        // Each line comes back with the time it was written: the charts
        // look back to it.
        QVERIFY(log->timeMsAt(0) >= appendedFrom && log->timeMsAt(0) <= appendedTo);
        QVERIFY(log->timeMsAt(1) >= appendedTo);
        QVERIFY(qIsNaN(log->timeMsAt(2)));
        QCOMPARE(empty->count(), 0);
        log->append("second session");
    }
    // The resume line is a line like the others: the next restart keeps it.
    restart();
    auto log = messageLog("list", "resumed 3");
    QTRY_VERIFY(!log->isLoading());
    QCOMPARE(linesOf(*log),
             QStringList({"after clear", "resumed 2", "second session", "resumed 3"}));
}

void TestSessionJournal::exportAfterRestartIsTheExportBeforePlusNewRows()
{
    const QStringList names{"a", "b", "c"};
    // Values of every kind the codec has a form for, and a few it has not.
    const QVector<QVariantList> rows{row({0, -0.0, kNaN}),
                                     row({253 * 0.1, -57 * 0.1, 12345 * 0.001}),
                                     row({1.0 / 3, 1e300, -1e-300}),
                                     row({2000, 1500.0 * 16.5 / 100, 0.1 + 0.2}),
                                     QVariantList{QString("text"), QVariant(), true},
                                     row({7})};
    WaveRecording plain; // the same pushes without a journal
    plain.setCurveCount(3);
    QString before;
    {
        auto chart = recording("export", 3);
        QTRY_VERIFY(!chart->isLoading());
        for (int i = 0; i < rows.size(); ++i) {
            chart->append(double(kBase + 499 * i), rows[i]);
            plain.append(double(kBase + 499 * i), rows[i]);
        }
        before = chart->exportText("Time", names);
        QCOMPARE(before, plain.exportText("Time", names));
    }
    restart();
    auto chart = recording("export", 3);
    QTRY_VERIFY(!chart->isLoading());
    QCOMPARE(chart->exportText("Time", names), before);
    for (int i = 0; i < 3; ++i) {
        chart->append(double(kBase + 60000 + i), row({double(i), 0.5, kNaN}));
        plain.append(double(kBase + 60000 + i), row({double(i), 0.5, kNaN}));
    }
    const QString after = chart->exportText("Time", names);
    QVERIFY(after.startsWith(before + "\n"));
    QCOMPARE(after, plain.exportText("Time", names));
}

void TestSessionJournal::pushesDuringTheLoadFollowTheHistory()
{
    {
        auto chart = recording("order", 1);
        QTRY_VERIFY(!chart->isLoading());
        pushRamp(*chart, 300, kBase);
        auto log = messageLog("order", "resumed");
        QTRY_VERIFY(!log->isLoading());
        log->append("old");
    }
    restart();
    // The load answers through the event loop: these come first here.
    auto chart = recording("order", 1);
    auto log = messageLog("order", "resumed");
    QVERIFY(chart->isLoading() && log->isLoading());
    pushRamp(*chart, 2, kBase + 500 * 300, 300);
    log->append("new");
    QCOMPARE(chart->count(), 2);
    QTRY_VERIFY(!chart->isLoading() && !log->isLoading());
    QCOMPARE(chart->count(), 302);
    for (int i = 0; i < 302; ++i)
        QCOMPARE(chart->values(i), row({double(i)}));
    QCOMPARE(linesOf(*log), QStringList({"old", "resumed", "new"}));

    // And the journal holds them in that order too.
    restart();
    auto again = recording("order", 1);
    auto log2 = messageLog("order", "");
    QTRY_VERIFY(!again->isLoading() && !log2->isLoading());
    QCOMPARE(again->count(), 302);
    QCOMPARE(again->values(301), row({301}));
    QCOMPARE(linesOf(*log2), QStringList({"old", "resumed", "new"}));
}

void TestSessionJournal::chartKeepsItsCapacityAndTheFileStopsGrowing()
{
    const int cap = 1000;
    const QString file = QDir(dir->path()).filePath(SessionJournalDatabase::fileName());
    auto chart = recording("cap", 1, cap);
    QTRY_VERIFY(!chart->isLoading());
    auto samplesInFile = [&] {
        Inspector look(file);
        return look.number(QStringLiteral("SELECT sum(count) FROM %1").arg(look.waveTable("cap")));
    };
    auto pagesInUse = [&] {
        Inspector look(file);
        return look.number(QStringLiteral("PRAGMA page_count")) -
               look.number(QStringLiteral("PRAGMA freelist_count"));
    };
    pushRamp(*chart, 3 * cap, kBase);
    QVERIFY(journal->flush());
    const qint64 pages = pagesInUse();
    for (int round = 1; round <= 3; ++round) {
        pushRamp(*chart, 3 * cap, kBase + 1500 * cap * round, 3 * cap * round);
        QVERIFY(journal->flush());
        const qint64 held = samplesInFile();
        QVERIFY2(held >= cap && held <= cap + 128, qPrintable(QString::number(held)));
        QVERIFY2(pagesInUse() <= pages + 2, qPrintable(QString::number(pagesInUse())));
    }
    QCOMPARE(chart->count(), cap);
    const QString before = chart->exportText("T", {"v"});
    chart.reset();
    restart();
    chart = recording("cap", 1, cap);
    QTRY_VERIFY(!chart->isLoading());
    QCOMPARE(chart->count(), cap);
    QCOMPARE(chart->values(0), row({double(12 * cap - cap)}));
    QCOMPARE(chart->exportText("T", {"v"}), before);

    // A lower capacity drops at once, in the journal too.
    chart->setCapacity(10);
    chart.reset();
    restart();
    chart = recording("cap", 1, 10);
    QTRY_VERIFY(!chart->isLoading());
    QCOMPARE(chart->count(), 10);
    QCOMPARE(chart->values(9), row({double(12 * cap - 1)}));
    QVERIFY(samplesInFile() <= 10 + 128);
}

void TestSessionJournal::linesOlderThanAWeekDisappear()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const quint64 session = journal->session();
    // Written directly, with their times: a list only writes "now".
    for (qint64 age : {10 * kDay, 8 * kDay, 7 * kDay - 60000, kDay})
        journal->appendLine(session, "week", now - age,
                            QStringLiteral("%1 h old").arg(age / 3600000));
    QVERIFY(journal->flush());
    restart();
    // The restart's line arrives "now": lines over seven days older go.
    auto log = messageLog("week", "resumed");
    QTRY_VERIFY(!log->isLoading());
    QCOMPARE(linesOf(*log), QStringList({"167 h old", "24 h old", "resumed"}));

    // Nothing younger than a week: no earlier lines, so no resume line either.
    journal->appendLine(journal->session(), "stale", now - 9 * kDay, "stale");
    QVERIFY(journal->flush());
    auto stale = messageLog("stale", "resumed");
    QTRY_VERIFY(!stale->isLoading());
    QCOMPARE(stale->count(), 0);
}

void TestSessionJournal::writesAreGatheredButLoadsAndFlushesDoNotWait()
{
    const QString file = QDir(dir->path()).filePath(SessionJournalDatabase::fileName());
    const quint64 session = journal->session();
    QVERIFY(journal->flush()); // the file is made
    auto committed = [&] { return Inspector(file).streamId("lines", "gather") > 0; };
    QElapsedTimer clock;
    clock.start();
    journal->appendLine(session, "gather", kBase, "first");
    const bool atOnce = committed();
    // Only meaningful when the machine did not stall for most of the gather.
    if (clock.elapsed() < 300)
        QVERIFY(!atOnce);
    // Nobody asks: it is committed all the same, within a second.
    QTRY_VERIFY_WITH_TIMEOUT(committed(), 5000);

    // A flush or a load ends the gather: ten of each, each 0.1 s behind a
    // write (the writer is gathering by then), take far less than the six
    // seconds that waiting for the gathers would.
    const int rounds = 10;
    clock.restart();
    for (int i = 0; i < rounds; ++i) {
        journal->appendLine(session, "gather", kBase + i, "flushed");
        QTest::qSleep(100);
        QVERIFY(journal->flush());
    }
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    clock.restart();
    for (int i = 0; i < rounds; ++i) {
        journal->appendLine(session, "loaded", kBase + i, "line");
        QTest::qSleep(100);
        auto lines = std::make_shared<QStringList>();
        auto answered = std::make_shared<bool>(false);
        QVERIFY(journal->loadLines(session, "loaded", kBase + i, QString(), this,
                                   [lines, answered](const JournalLines &l) {
                                       *lines = l.texts;
                                       *answered = true;
                                   }));
        QTRY_VERIFY(*answered);
        // Behind the write it follows.
        QCOMPARE(lines->size(), i + 1);
    }
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
}

void TestSessionJournal::aCrashLosesNoCommittedSample()
{
    QTemporaryDir crashed;
    {
        // Two full chunks and one still growing.
        auto chart = recording("crash", 2);
        auto log = messageLog("crash", "resumed");
        QTRY_VERIFY(!chart->isLoading() && !log->isLoading());
        for (int i = 0; i < 300; ++i)
            chart->append(double(kBase + 500 * i), row({double(i), 0.5 * i}));
        log->append("before the crash");
        QVERIFY(journal->flush());
        QVERIFY(copyJournal(dir->path(), crashed.path()));
    }
    journal->close();
    QVERIFY(journal->open(crashed.path()));
    {
        auto chart = recording("crash", 2);
        auto log = messageLog("crash", "resumed");
        QTRY_VERIFY(!chart->isLoading() && !log->isLoading());
        QCOMPARE(chart->count(), 300);
        for (int i = 0; i < 300; i += 37)
            QCOMPARE(chart->values(i), row({double(i), 0.5 * i}));
        QCOMPARE(chart->values(299), row({299, 149.5}));
        QCOMPARE(linesOf(*log), QStringList({"before the crash", "resumed"}));
        // The chunk that was growing is closed: a new one follows it.
        chart->append(double(kBase + 500 * 300), row({300, 150}));
    }
    journal->close();
    QVERIFY(journal->open(crashed.path()));
    auto chart = recording("crash", 2);
    QTRY_VERIFY(!chart->isLoading());
    QCOMPARE(chart->count(), 301);
    QCOMPARE(chart->values(300), row({300, 150}));
    journal->close(); // before its folder goes
}

void TestSessionJournal::fullChunksFitTheirPage()
{
    const QString file = QDir(dir->path()).filePath(SessionJournalDatabase::fileName());
    // The largest samples there are: four values of nine bytes each, times far apart.
    auto chart = recording("large", 4);
    QTRY_VERIFY(!chart->isLoading());
    const int n = 3000;
    for (int i = 0; i < n; ++i) {
        const double v = 1.0 / (i + 3);
        chart->append(double(kBase) + 1e9 * i, row({v, -v, v / 7, 1e300 * v}));
    }
    QVERIFY(journal->flush());
    Inspector look(file);
    QCOMPARE(look.number("PRAGMA page_size"), 1024);
    const qint64 chunks =
        look.number(QStringLiteral("SELECT count(*) FROM %1").arg(look.waveTable("large")));
    const qint64 pages = look.number("PRAGMA page_count") - look.number("PRAGMA freelist_count");
    QVERIFY(chunks > n / 30);
    // One page a chunk and the tree's few inner pages; a chunk spilling over
    // its page would take two.
    QVERIFY2(pages < chunks * 5 / 4 + 10,
             qPrintable(QStringLiteral("%1 pages for %2 chunks").arg(pages).arg(chunks)));
}

void TestSessionJournal::aFileOfTheEarlierLayoutLoads()
{
    journal->close();
    QTemporaryDir earlier;
    const QString file = earlier.filePath(SessionJournalDatabase::fileName());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    // The tables as the earlier version made them, in its pages.
    QVERIFY(execOn(
        file,
        {"PRAGMA page_size=4096", "PRAGMA journal_mode=WAL",
         "CREATE TABLE stream(id INTEGER PRIMARY KEY, kind TEXT NOT NULL, key TEXT NOT NULL, "
         "UNIQUE(kind, key))",
         "INSERT INTO stream(id, kind, key) VALUES (1, 'wave', 'old'), (2, 'lines', 'old')",
         "CREATE TABLE wave_1(first_ms INTEGER NOT NULL, last_ms INTEGER NOT NULL, "
         "count INTEGER NOT NULL, data BLOB NOT NULL)",
         "INSERT INTO wave_1(first_ms, last_ms, count, data) VALUES (?, ?, 3, ?)",
         "CREATE TABLE lines_2(t INTEGER NOT NULL, line TEXT NOT NULL)",
         "INSERT INTO lines_2(t, line) VALUES (?, 'old line')", "PRAGMA user_version=1"},
        {{},
         {},
         {},
         {},
         {},
         {kBase, kBase + 1000, chunkOf(1, {{kBase, 1}, {kBase + 500, 2}, {kBase + 1000, 3}})},
         {},
         {now}}));
    QVERIFY(journal->open(earlier.path()));
    {
        auto chart = recording("old", 1);
        auto log = messageLog("old", "resumed");
        QTRY_VERIFY(!chart->isLoading() && !log->isLoading());
        QCOMPARE(chart->count(), 3);
        QCOMPARE(chart->values(2), row({3}));
        QCOMPARE(linesOf(*log), QStringList({"old line", "resumed"}));
        pushRamp(*chart, 2, kBase + 1500, 4);
    }
    journal->close();
    QVERIFY(journal->open(earlier.path()));
    auto chart = recording("old", 1);
    QTRY_VERIFY(!chart->isLoading());
    QCOMPARE(chart->count(), 5);
    QCOMPARE(chart->values(4), row({5}));
    journal->close(); // before its folder goes
    // Rewritten once with the small pages that keep the disk's work low.
    QCOMPARE(Inspector(file).number("PRAGMA page_size"), 1024);
}

void TestSessionJournal::feedEventsSurviveARestartUntilDone()
{
    const qint64 runA = kBase, runB = kBase + kDay;
    QVERIFY(loadFeed().empty());
    // Queued out of order: the load sorts by run, then number.
    for (quint64 seq : {3, 1, 5, 2, 4})
        journal->appendFeedEvent(journal->session(), feedEvent(runA, seq));
    journal->feedEventsDone(journal->session(), runA, 2);
    restart();
    std::vector<FeedEventRow> events = loadFeed();
    QCOMPARE(describe(events), QStringList({QString("%1/3").arg(runA), QString("%1/4").arg(runA),
                                            QString("%1/5").arg(runA)}));
    QCOMPARE(events[0].ts, runA + 3000);
    QCOMPARE(events[0].payload, feedEvent(runA, 3).payload);

    // The next run: the broker confirms the earlier run's events later.
    journal->appendFeedEvent(journal->session(), feedEvent(runB, 1));
    journal->appendFeedEvent(journal->session(), feedEvent(runB, 2));
    journal->feedEventsDone(journal->session(), runA, 4);
    restart();
    QCOMPARE(describe(loadFeed()),
             QStringList({QString("%1/5").arg(runA), QString("%1/1").arg(runB),
                          QString("%1/2").arg(runB)}));
    // Done with a later run covers all of the earlier ones.
    journal->feedEventsDone(journal->session(), runB, 1);
    QCOMPARE(describe(loadFeed()), QStringList({QString("%1/2").arg(runB)}));
    // Done for an earlier run than those kept forgets nothing.
    journal->feedEventsDone(journal->session(), runA, 1000);
    QCOMPARE(loadFeed().size(), std::size_t(1));
    // The largest number covers the whole run; an event without payload is kept as one.
    FeedEventRow empty = feedEvent(runB, 7);
    empty.payload.clear();
    journal->appendFeedEvent(journal->session(), empty);
    QCOMPARE(loadFeed().size(), std::size_t(2));
    QVERIFY(journal->isActive());
    journal->feedEventsDone(journal->session(), runB, std::numeric_limits<quint64>::max());
    QVERIFY(loadFeed().empty());

    // A request for an earlier session is dropped; a load for one is refused.
    const quint64 old = journal->session();
    restart();
    journal->appendFeedEvent(old, feedEvent(runB, 9));
    auto answered = std::make_shared<bool>(false);
    QVERIFY(!journal->loadFeedEvents(
        old, this, [answered](const std::vector<FeedEventRow> &) { *answered = true; }));
    bool posted = false;
    QVERIFY(loadFeed(&posted).empty());
    QVERIFY(posted);
    QVERIFY(!*answered);
}

void TestSessionJournal::feedEventsLoadTheNewestTenThousand()
{
    const int cap = SessionJournalDatabase::kMaxFeedEvents;
    const qint64 run1 = kBase, run2 = kBase + 1;
    for (int seq = 1; seq <= 6; ++seq)
        journal->appendFeedEvent(journal->session(), feedEvent(run1, quint64(seq)));
    for (int seq = 1; seq <= cap; ++seq)
        journal->appendFeedEvent(journal->session(), feedEvent(run2, quint64(seq)));
    restart();
    std::vector<FeedEventRow> events = loadFeed();
    QCOMPARE(int(events.size()), cap);
    QCOMPARE(events.front().run, run2);
    QCOMPARE(events.front().seq, quint64(1));
    QCOMPARE(events.back().seq, quint64(cap));
    // The older ones are kept all the same.
    QCOMPARE(Inspector(dir->filePath(SessionJournalDatabase::fileName()))
                 .number("SELECT count(*) FROM feed_event"),
             cap + 6);
    journal->feedEventsDone(journal->session(), run2, quint64(cap - 10));
    events = loadFeed();
    QCOMPARE(int(events.size()), 10);
    QCOMPARE(describe(events).first(), QString("%1/%2").arg(run2).arg(cap - 9));
    QCOMPARE(describe(events).last(), QString("%1/%2").arg(run2).arg(cap));
}

void TestSessionJournal::feedEventsLoadOnAFailedJournalAnswersEmpty()
{
    // An event a working journal would answer.
    journal->appendFeedEvent(journal->session(), feedEvent(kBase, 1));
    QVERIFY(journal->flush());
    journal->close();
    journal->setSizeLimit(48 * 1024);
    QVERIFY(journal->open(dir->path()));
    // The writes and the load are queued together; the writes fill the disk
    // and the load behind them finds the journal failed.
    FeedEventRow large = feedEvent(kBase, 2);
    large.payload = QByteArray(128 * 1024, 'x');
    journal->appendFeedEvent(journal->session(), large);
    // Shared: a late answer must not write into a returned frame.
    auto answers = std::make_shared<std::vector<std::vector<FeedEventRow>>>();
    const auto keep = [answers](const std::vector<FeedEventRow> &e) { answers->push_back(e); };
    QVERIFY(journal->loadFeedEvents(journal->session(), this, keep));
    // A load whose context is gone is not answered.
    auto context = std::make_unique<QObject>();
    QVERIFY(journal->loadFeedEvents(journal->session(), context.get(), keep));
    context.reset();
    QTRY_VERIFY(!journal->problem().isEmpty());
    QTRY_COMPARE(answers->size(), std::size_t(1));
    QVERIFY(answers->front().empty());
    QTest::qWait(50);
    QCOMPARE(answers->size(), std::size_t(1));
    QVERIFY(journal->problem().contains("full"));
}

void TestSessionJournal::unusableJournalIsReportedOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("garbage file") << "garbage"
                                  << "file is not a database";
    QTest::newRow("disk full during the session") << "full"
                                                  << "database or disk is full";
    QTest::newRow("read-only file") << "file"
                                    << "attempt to write a readonly database";
    QTest::newRow("read-only folder") << "folder"
                                      << "cannot write the lock file";
}

void TestSessionJournal::unusableJournalIsReportedOnce()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    {
        auto chart = recording("u", 4);
        QTRY_VERIFY(!chart->isLoading());
        chart->append(double(kBase), row({1, 2, 3, 4}));
    }
    journal->close();
    const QString file = QDir(dir->path()).filePath(SessionJournalDatabase::fileName());
    const QByteArray garbage = QByteArray("not a journal but a shopping list\n").repeated(300);
    QString readOnly;
    if (kind == "garbage") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    } else if (kind == "full") {
        journal->setSizeLimit(48 * 1024);
    } else {
        readOnly = kind == "folder" ? dir->path() : file;
        if (!makeReadOnly(readOnly)) {
            makeWritable(readOnly);
            QSKIP("cannot make a read-only file here (root without chattr)");
        }
    }
    QSignalSpy problems(journal, &SessionJournal::problemChanged);
    journal->open(dir->path());
    auto chart = recording("u", 4);
    auto log = messageLog("u", "resumed");
    int pushed = 0;
    // Values that take 9 bytes each: a full disk comes soon.
    for (int round = 0; round < 100 && journal->isActive(); ++round) {
        for (int i = 0; i < 200; ++i, ++pushed)
            chart->append(double(kBase + 500 * pushed),
                          row({1.0 / (pushed + 3), 1e-7 * pushed, 2, 3}));
        log->append("a line");
        journal->flush();
    }
    if (!readOnly.isEmpty())
        makeWritable(readOnly);
    QCOMPARE(journal->problem(), reason + " (" + QDir::toNativeSeparators(file) + ")");
    QVERIFY(!journal->isActive());
    // The objects run on in memory; nothing more is reported.
    for (int i = 0; i < 500; ++i, ++pushed)
        chart->append(double(kBase + 500 * pushed), row({1, 2, 3, 4}));
    QVERIFY(journal->flush());
    QTest::qWait(50);
    QCOMPARE(problems.count(), 1);
    QVERIFY(!chart->isLoading() && !log->isLoading());
    // Only the journal that filled up could be read at the start.
    QCOMPARE(chart->count(), pushed + (kind == "full" ? 1 : 0));
    if (kind == "garbage") {
        // Left as it is, for whoever wants to look at it.
        journal->close();
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), garbage);
    }
}

void TestSessionJournal::secondCopyWaitsForTheLockThenGivesUp()
{
    journal->close();
    SessionJournalWriter::Options options;
    options.directory = dir->path();
    SessionJournalWriter first(options);
    first.start();
    QTRY_VERIFY(QFile::exists(QDir(dir->path()).filePath(SessionJournalDatabase::lockFileName())));

    options.lockWaitMs = 300;
    SessionJournalWriter impatient(options);
    QSignalSpy refused(&impatient, &SessionJournalWriter::failed);
    impatient.start();
    QVERIFY(refused.wait(5000));
    QVERIFY2(refused.at(0).at(0).toString().contains(
                 QStringLiteral("in use by another program (process %1)").arg(getpid())),
             qPrintable(refused.at(0).at(0).toString()));

    // A theme switch: the new copy starts while the old one still closes.
    options.lockWaitMs = 10000;
    SessionJournalWriter next(options);
    QSignalSpy nextFailed(&next, &SessionJournalWriter::failed);
    next.start();
    QTest::qWait(300);
    QVERIFY(first.stop(5000));
    auto done = std::make_shared<QSemaphore>();
    JournalOp barrier;
    barrier.done = done;
    next.post(std::move(barrier));
    QVERIFY(done->tryAcquire(1, 10000));
    QCOMPARE(nextFailed.count(), 0);
    QVERIFY(!next.hasFailed());
}

QTEST_GUILESS_MAIN(TestSessionJournal)
#include "tst_session_journal.moc"
