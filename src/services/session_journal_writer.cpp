#include "session_journal_writer.h"

#include "session_journal_format.h"
#include "wave_recording.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLockFile>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <optional>
#include <unordered_map>

using journal_format::ChunkLedger;
using journal_format::ChunkWriter;

namespace {

constexpr int kSchemaVersion = 1;
// Requests that arrive this soon after the first of a batch share its
// transaction: a status record feeds four charts in one go.
constexpr int kGatherMs = 5;
constexpr std::size_t kMaxOpsPerTransaction = 512;
constexpr int kBusyTimeoutMs = 5000;
// A checkpoint leaves the write-ahead log at most this long.
constexpr qint64 kWalSizeLimit = 4 * 1024 * 1024;

bool writes(JournalOp::Kind kind)
{
    switch (kind) {
    case JournalOp::Sample:
    case JournalOp::ResetWave:
    case JournalOp::TrimWave:
    case JournalOp::Line:
    case JournalOp::ClearLines:
        return true;
    default:
        return false;
    }
}

std::atomic<int> connectionCounter{0};

} // namespace

// The connection and everything prepared on it; lives and dies on the
// writer thread. Every failing call leaves its reason in problem.
class SessionJournalWriter::Database {
public:
    explicit Database(const Options &options)
        : options(options)
        , path(QDir(options.directory).filePath(databaseFileName()))
        , lock(QDir(options.directory).filePath(lockFileName()))
        , connection(QStringLiteral("session-journal-%1").arg(++connectionCounter))
    {
    }

    ~Database() { close(); }

    bool open(const std::atomic<bool> &stop);
    void close();
    bool isOpen() const { return opened; }
    QString problem() const { return reason; }

    bool begin() { return exec(QStringLiteral("BEGIN IMMEDIATE")); }
    bool commit() { return exec(QStringLiteral("COMMIT")); }
    void rollback() { QSqlQuery(db()).exec(QStringLiteral("ROLLBACK")); }

    bool apply(const JournalOp &op);
    bool loadWave(const JournalOp &op, std::unique_ptr<WaveStore> *out);
    bool loadLines(const JournalOp &op, QStringList *out);

private:
    struct WaveTable {
        QString name;
        bool ledgerRead = false;
        ChunkLedger ledger;
        std::optional<ChunkWriter> current; // the newest chunk, while it grows
        qint64 currentRow = 0;
        std::unique_ptr<QSqlQuery> insert, update, drop;
    };
    struct LineTable {
        QString name;
        std::unique_ptr<QSqlQuery> insert, oldest, drop;
    };

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }
    bool fail(const QString &what);
    bool fail(const QSqlError &error);
    bool exec(const QString &sql);
    bool exec(QSqlQuery &query);
    bool prepare(QSqlQuery &query, const QString &sql);
    // A statement prepared once per table.
    QSqlQuery *prepared(std::unique_ptr<QSqlQuery> &slot, const QString &sql);

    // The table of a key; nullptr when there is none (create: make one).
    WaveTable *waveTable(const QString &key, bool create);
    LineTable *lineTable(const QString &key, bool create);
    bool streamId(const QString &kind, const QString &key, bool create, qint64 *id);
    bool readLedger(WaveTable &table);

    bool appendSample(const JournalOp &op);
    bool dropExpired(WaveTable &table, qint64 capacity);
    bool resetWave(WaveTable &table);
    bool appendLine(LineTable &table, qint64 timeMs, const QString &line);
    // Drops the lines up to row lastDropped and those expired at nowMs.
    bool dropOldLines(LineTable &table, qint64 lastDropped, qint64 nowMs);

    const Options options;
    const QString path;
    QLockFile lock;
    const QString connection;
    bool opened = false;
    QString reason;
    std::unordered_map<QString, WaveTable> waves;
    std::unordered_map<QString, LineTable> lines;
};

bool SessionJournalWriter::Database::fail(const QString &what)
{
    reason = QStringLiteral("%1 (%2)").arg(what, QDir::toNativeSeparators(path));
    return false;
}

bool SessionJournalWriter::Database::fail(const QSqlError &error)
{
    return fail(error.databaseText().isEmpty() ? error.text() : error.databaseText());
}

bool SessionJournalWriter::Database::exec(const QString &sql)
{
    QSqlQuery query(db());
    return query.exec(sql) || fail(query.lastError());
}

bool SessionJournalWriter::Database::exec(QSqlQuery &query)
{
    return query.exec() || fail(query.lastError());
}

bool SessionJournalWriter::Database::prepare(QSqlQuery &query, const QString &sql)
{
    return query.prepare(sql) || fail(query.lastError());
}

QSqlQuery *SessionJournalWriter::Database::prepared(std::unique_ptr<QSqlQuery> &slot,
                                                    const QString &sql)
{
    if (!slot) {
        auto query = std::make_unique<QSqlQuery>(db());
        if (!prepare(*query, sql))
            return nullptr;
        slot = std::move(query);
    }
    return slot.get();
}

bool SessionJournalWriter::Database::open(const std::atomic<bool> &stop)
{
    if (!QDir().mkpath(options.directory))
        return fail(QStringLiteral("cannot create the folder"));

    // One program at a time: a second copy would interleave its rows with
    // ours. After a theme switch the old copy is still closing its journal,
    // hence the wait. A lock left by a crashed copy names a process that is
    // gone, which QLockFile recognises; its age alone must not count.
    lock.setStaleLockTime(0);
    QDeadlineTimer deadline(options.lockWaitMs);
    while (!lock.tryLock(100)) {
        if (lock.error() != QLockFile::LockFailedError)
            return fail(QStringLiteral("cannot write the lock file"));
        if (deadline.hasExpired() || stop.load()) {
            qint64 pid = 0;
            QString host, application;
            lock.getLockInfo(&pid, &host, &application);
            return fail(QStringLiteral("in use by another program (process %1)").arg(pid));
        }
    }

    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        if (!database.isValid())
            return fail(QStringLiteral("the SQLite driver of Qt SQL is missing"));
        database.setDatabaseName(path);
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!database.open())
            return fail(database.lastError());
    }
    opened = true;

    QSqlQuery query(db());
    // The first statement reads the file: a file that is not a database fails here.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next())
        return fail(query.lastError());
    if (query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return fail(QStringLiteral("cannot use write-ahead logging"));
    query.finish();
    // In write-ahead mode NORMAL loses no committed transaction when the
    // program dies, only (at worst) the last ones at a power cut.
    if (!exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
        !exec(QStringLiteral("PRAGMA journal_size_limit=%1").arg(kWalSizeLimit)))
        return false;
    if (options.sizeLimit > 0) {
        if (!query.exec(QStringLiteral("PRAGMA page_size")) || !query.next())
            return fail(query.lastError());
        const qint64 pageSize = qMax<qint64>(512, query.value(0).toLongLong());
        query.finish();
        if (!exec(QStringLiteral("PRAGMA max_page_count=%1")
                      .arg(qMax<qint64>(1, options.sizeLimit / pageSize))))
            return false;
    }

    // Writing the version each time proves at once that the file takes writes.
    if (!begin())
        return false;
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        rollback();
        return fail(query.lastError());
    }
    const int version = query.value(0).toInt();
    query.finish();
    if (version > kSchemaVersion) {
        rollback();
        return fail(QStringLiteral("written by a newer version of the program"));
    }
    if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS stream(id INTEGER PRIMARY KEY, "
                             "kind TEXT NOT NULL, key TEXT NOT NULL, UNIQUE(kind, key))")) ||
        !exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) || !commit()) {
        rollback();
        return false;
    }
    return true;
}

void SessionJournalWriter::Database::close()
{
    waves.clear();
    lines.clear();
    if (opened) {
        {
            QSqlDatabase database = db();
            database.close();
        }
        opened = false;
    }
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::removeDatabase(connection);
    lock.unlock();
}

bool SessionJournalWriter::Database::streamId(const QString &kind, const QString &key, bool create,
                                              qint64 *id)
{
    QSqlQuery query(db());
    if (!prepare(query, QStringLiteral("SELECT id FROM stream WHERE kind = ? AND key = ?")))
        return false;
    query.addBindValue(kind);
    query.addBindValue(key);
    if (!exec(query))
        return false;
    if (query.next()) {
        *id = query.value(0).toLongLong();
        return true;
    }
    *id = 0;
    if (!create)
        return true;
    QSqlQuery insert(db());
    if (!prepare(insert, QStringLiteral("INSERT INTO stream(kind, key) VALUES (?, ?)")))
        return false;
    insert.addBindValue(kind);
    insert.addBindValue(key);
    if (!exec(insert))
        return false;
    *id = insert.lastInsertId().toLongLong();
    return true;
}

SessionJournalWriter::Database::WaveTable *
SessionJournalWriter::Database::waveTable(const QString &key, bool create)
{
    auto found = waves.find(key);
    if (found != waves.end())
        return &found->second;
    qint64 id = 0;
    if (!streamId(QStringLiteral("wave"), key, create, &id) || id == 0)
        return nullptr;
    const QString name = QStringLiteral("wave_%1").arg(id);
    if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1(first_ms INTEGER NOT NULL, "
                             "last_ms INTEGER NOT NULL, count INTEGER NOT NULL, "
                             "data BLOB NOT NULL)")
                  .arg(name)))
        return nullptr;
    WaveTable &table = waves[key];
    table.name = name;
    return &table;
}

SessionJournalWriter::Database::LineTable *
SessionJournalWriter::Database::lineTable(const QString &key, bool create)
{
    auto found = lines.find(key);
    if (found != lines.end())
        return &found->second;
    qint64 id = 0;
    if (!streamId(QStringLiteral("lines"), key, create, &id) || id == 0)
        return nullptr;
    const QString name = QStringLiteral("lines_%1").arg(id);
    if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1(t INTEGER NOT NULL, "
                             "line TEXT NOT NULL)")
                  .arg(name)))
        return nullptr;
    LineTable &table = lines[key];
    table.name = name;
    return &table;
}

bool SessionJournalWriter::Database::readLedger(WaveTable &table)
{
    if (table.ledgerRead)
        return true;
    QSqlQuery query(db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT rowid, count FROM %1 ORDER BY rowid").arg(table.name)))
        return fail(query.lastError());
    table.ledger.clear();
    while (query.next())
        table.ledger.addChunk(query.value(0).toLongLong(), query.value(1).toLongLong());
    if (query.lastError().isValid())
        return fail(query.lastError());
    table.ledgerRead = true;
    return true;
}

bool SessionJournalWriter::Database::apply(const JournalOp &op)
{
    switch (op.kind) {
    case JournalOp::Sample:
        return appendSample(op);
    case JournalOp::ResetWave: {
        WaveTable *table = waveTable(op.key, false);
        return table ? resetWave(*table) : reason.isEmpty();
    }
    case JournalOp::TrimWave: {
        WaveTable *table = waveTable(op.key, false);
        if (!table)
            return reason.isEmpty();
        return readLedger(*table) && dropExpired(*table, op.capacity);
    }
    case JournalOp::Line: {
        LineTable *table = lineTable(op.key, true);
        return table && appendLine(*table, op.timeMs, op.text);
    }
    case JournalOp::ClearLines: {
        LineTable *table = lineTable(op.key, false);
        if (!table)
            return reason.isEmpty();
        return exec(QStringLiteral("DELETE FROM %1").arg(table->name));
    }
    default:
        return true;
    }
}

bool SessionJournalWriter::Database::appendSample(const JournalOp &op)
{
    WaveTable *table = waveTable(op.key, true);
    if (!table || !readLedger(*table))
        return false;
    if (op.capacity <= 0)
        return resetWave(*table);
    const int width = int(op.values.size());
    if (!table->current || table->current->width() != width || table->current->isFull()) {
        // A new chunk each session too: a chunk written by an earlier one is never rewritten.
        table->current.emplace(width);
        table->current->append(op.timeMs, op.values.constData(), width);
        QSqlQuery *insert =
            prepared(table->insert, QStringLiteral("INSERT INTO %1(first_ms, last_ms, count, data) "
                                                   "VALUES (?, ?, 1, ?)")
                                        .arg(table->name));
        if (!insert)
            return false;
        insert->bindValue(0, op.timeMs);
        insert->bindValue(1, op.timeMs);
        insert->bindValue(2, table->current->data());
        if (!exec(*insert))
            return false;
        table->currentRow = insert->lastInsertId().toLongLong();
        table->ledger.addChunk(table->currentRow, 1);
    } else {
        table->current->append(op.timeMs, op.values.constData(), width);
        QSqlQuery *update =
            prepared(table->update, QStringLiteral("UPDATE %1 SET last_ms = ?, count = ?, data = ? "
                                                   "WHERE rowid = ?")
                                        .arg(table->name));
        if (!update)
            return false;
        update->bindValue(0, op.timeMs);
        update->bindValue(1, table->current->count());
        update->bindValue(2, table->current->data());
        update->bindValue(3, table->currentRow);
        if (!exec(*update))
            return false;
        table->ledger.addToNewest(1);
    }
    return dropExpired(*table, op.capacity);
}

bool SessionJournalWriter::Database::dropExpired(WaveTable &table, qint64 capacity)
{
    const int expired = table.ledger.expired(capacity);
    if (expired == 0)
        return true;
    if (expired == table.ledger.size())
        return resetWave(table);
    QSqlQuery *drop =
        prepared(table.drop, QStringLiteral("DELETE FROM %1 WHERE rowid <= ?").arg(table.name));
    if (!drop)
        return false;
    drop->bindValue(0, table.ledger.rowAt(expired - 1));
    if (!exec(*drop))
        return false;
    table.ledger.dropOldest(expired);
    return true;
}

bool SessionJournalWriter::Database::resetWave(WaveTable &table)
{
    if (!exec(QStringLiteral("DELETE FROM %1").arg(table.name)))
        return false;
    table.ledger.clear();
    table.ledgerRead = true;
    table.current.reset();
    table.currentRow = 0;
    return true;
}

bool SessionJournalWriter::Database::appendLine(LineTable &table, qint64 timeMs,
                                                const QString &line)
{
    QSqlQuery *insert = prepared(
        table.insert, QStringLiteral("INSERT INTO %1(t, line) VALUES (?, ?)").arg(table.name));
    if (!insert)
        return false;
    insert->bindValue(0, timeMs);
    insert->bindValue(1, line);
    if (!exec(*insert))
        return false;
    const qint64 row = insert->lastInsertId().toLongLong();
    return dropOldLines(table, journal_format::lastRowOverLimit(row, journal_format::kMaxLines),
                        timeMs);
}

bool SessionJournalWriter::Database::dropOldLines(LineTable &table, qint64 lastDropped,
                                                  qint64 nowMs)
{
    // The age rule looks at the oldest few lines only: lines arrive in time
    // order, so once these are young the rest are too.
    QSqlQuery *oldest =
        prepared(table.oldest,
                 QStringLiteral("SELECT rowid, t FROM %1 ORDER BY rowid LIMIT 64").arg(table.name));
    if (!oldest || !exec(*oldest))
        return false;
    QVector<qint64> rows, times;
    while (oldest->next()) {
        rows.append(oldest->value(0).toLongLong());
        times.append(oldest->value(1).toLongLong());
    }
    oldest->finish();
    const int expired = journal_format::expiredLines(times, nowMs);
    if (expired > 0)
        lastDropped = qMax(lastDropped, rows[expired - 1]);
    if (lastDropped < 1)
        return true;
    QSqlQuery *drop =
        prepared(table.drop, QStringLiteral("DELETE FROM %1 WHERE rowid <= ?").arg(table.name));
    if (!drop)
        return false;
    drop->bindValue(0, lastDropped);
    return exec(*drop);
}

bool SessionJournalWriter::Database::loadWave(const JournalOp &op, std::unique_ptr<WaveStore> *out)
{
    auto store = std::make_unique<WaveStore>(op.width);
    store->setCapacity(op.capacity);
    WaveTable *table = waveTable(op.key, false);
    if (!table) {
        *out = std::move(store);
        return reason.isEmpty();
    }
    if (!readLedger(*table))
        return false;
    // Whole chunks of surplus are skipped by row, the rest sample by sample.
    qint64 skip = table->ledger.surplus(op.capacity);
    int firstChunk = 0;
    while (firstChunk < table->ledger.size() && skip >= table->ledger.samplesAt(firstChunk))
        skip -= table->ledger.samplesAt(firstChunk++);
    if (firstChunk == table->ledger.size()) {
        *out = std::move(store);
        return true;
    }
    QSqlQuery query(db());
    query.setForwardOnly(true);
    if (!prepare(query, QStringLiteral("SELECT count, data FROM %1 WHERE rowid >= ? ORDER BY rowid")
                            .arg(table->name)))
        return false;
    query.addBindValue(table->ledger.rowAt(firstChunk));
    if (!exec(query))
        return false;
    WaveStore *target = store.get();
    const auto sink = [target](qint64 timeMs, const double *values, int width) {
        target->append(double(timeMs), values, width);
    };
    while (query.next()) {
        const qint64 count = query.value(0).toLongLong();
        if (journal_format::readChunk(query.value(1).toByteArray(), skip, sink) != count)
            return fail(QStringLiteral("the journal is damaged: a chart's samples cannot be read"));
        skip = 0;
    }
    if (query.lastError().isValid())
        return fail(query.lastError());
    *out = std::move(store);
    return true;
}

bool SessionJournalWriter::Database::loadLines(const JournalOp &op, QStringList *out)
{
    LineTable *table = lineTable(op.key, false);
    if (!table) {
        out->clear();
        return reason.isEmpty();
    }
    // The resume line follows the earlier lines that are still kept, and only
    // when there are any; it is a line of the list like the others.
    if (!op.text.isEmpty()) {
        if (!begin())
            return false;
        bool ok = dropOldLines(*table, 0, op.timeMs);
        QSqlQuery any(db());
        if (ok && (!any.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1)").arg(table->name)) ||
                   !any.next()))
            ok = fail(any.lastError());
        const bool hasLines = ok && any.value(0).toBool();
        any.finish();
        if (!ok || (hasLines && !appendLine(*table, op.timeMs, op.text)) || !commit()) {
            rollback();
            return false;
        }
    }
    QSqlQuery query(db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT line FROM %1 ORDER BY rowid").arg(table->name)))
        return fail(query.lastError());
    out->clear();
    while (query.next())
        out->append(query.value(0).toString());
    if (query.lastError().isValid())
        return fail(query.lastError());
    return true;
}

SessionJournalWriter::SessionJournalWriter(const Options &options)
    : options(options)
{
    setObjectName(QStringLiteral("SessionJournalWriter"));
}

SessionJournalWriter::~SessionJournalWriter()
{
    stop(-1);
}

void SessionJournalWriter::post(JournalOp &&op)
{
    QMutexLocker lock(&mutex);
    // Only a writer waiting for work needs waking: one gathering a batch
    // wakes by itself, and every wake-up is a system call here and a thread
    // switch that may take the processor from the caller.
    const bool wake = idle && queue.empty();
    queue.push_back(std::move(op));
    if (wake)
        wakeUp.wakeOne();
}

bool SessionJournalWriter::stop(int timeoutMs)
{
    {
        QMutexLocker lock(&mutex);
        stopRequested = true;
        stopFlag.store(true);
        wakeUp.wakeOne();
    }
    if (!isRunning())
        return true;
    return timeoutMs < 0 ? wait() : wait(QDeadlineTimer(timeoutMs));
}

std::vector<JournalResult> SessionJournalWriter::takeResults()
{
    QMutexLocker lock(&mutex);
    std::vector<JournalResult> taken;
    taken.swap(results);
    return taken;
}

void SessionJournalWriter::answer(JournalResult &&result)
{
    {
        QMutexLocker lock(&mutex);
        results.push_back(std::move(result));
    }
    emit resultsReady();
}

QString SessionJournalWriter::failure() const
{
    QMutexLocker lock(&mutex);
    return failureReason;
}

void SessionJournalWriter::fail(Database &db, const QString &reason)
{
    db.close();
    {
        QMutexLocker lock(&mutex);
        if (!failureReason.isEmpty())
            return;
        failureReason = reason.isEmpty() ? QStringLiteral("unknown error") : reason;
    }
    failedFlag.store(true, std::memory_order_release);
    emit failed(failureReason);
}

void SessionJournalWriter::run()
{
    Database db(options);
    if (!db.open(stopFlag))
        fail(db, db.problem());

    std::deque<JournalOp> batch;
    for (;;) {
        {
            QMutexLocker lock(&mutex);
            idle = true;
            while (queue.empty() && !stopRequested)
                wakeUp.wait(&mutex);
            idle = false;
            if (queue.empty())
                break;
            if (!stopRequested && writes(queue.front().kind)) {
                // Only stop() wakes this wait early.
                QDeadlineTimer gather(kGatherMs);
                while (!stopRequested && !gather.hasExpired())
                    wakeUp.wait(&mutex, gather);
            }
            batch.swap(queue);
        }
        process(db, batch);
        batch.clear();
    }
    db.close();
}

void SessionJournalWriter::process(Database &db, std::deque<JournalOp> &batch)
{
    std::size_t i = 0;
    while (i < batch.size()) {
        JournalOp &op = batch[i];
        if (!writes(op.kind)) {
            ++i;
            if (op.kind == JournalOp::Barrier) {
                if (op.done)
                    op.done->release();
                continue;
            }
            JournalResult result;
            result.request = op.request;
            if (!hasFailed() && db.isOpen()) {
                const bool ok = op.kind == JournalOp::LoadWave ? db.loadWave(op, &result.wave)
                                                               : db.loadLines(op, &result.lines);
                if (!ok) {
                    result = JournalResult{op.request, nullptr, {}};
                    fail(db, db.problem());
                }
            }
            answer(std::move(result));
            continue;
        }
        if (hasFailed() || !db.isOpen()) {
            ++i;
            continue;
        }
        // One transaction for the run of writes, bounded.
        if (!db.begin()) {
            fail(db, db.problem());
            continue;
        }
        std::size_t done = 0;
        bool ok = true;
        while (ok && i < batch.size() && writes(batch[i].kind) && done < kMaxOpsPerTransaction) {
            ok = db.apply(batch[i]);
            ++i;
            ++done;
        }
        if (!ok || !db.commit()) {
            const QString reason = db.problem();
            db.rollback();
            fail(db, reason);
        }
    }
}
