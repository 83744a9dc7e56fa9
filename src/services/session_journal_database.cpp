#include "session_journal_database.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

constexpr int kSchemaVersion = 1;
// Pages of a new file. Each commit copies every page it changes to the
// write-ahead log, whole: one per chart (the page of its newest chunk) and
// one for new lines. With 1 KiB pages rather than SQLite's 4 KiB a commit a
// second writes a quarter as much; a chunk still fits one page
// (journal_format::ChunkWriter::kMaxBytes). An existing file keeps its size:
// changing it would rewrite the whole file.
constexpr int kPageSize = 1024;
// A leaf page keeps up to its size less 35 bytes of a row in itself. A full
// chunk is its limit, one more sample (a time and four values: at most 46
// bytes) and some 40 bytes for the row's other columns and headers.
static_assert(journal_format::ChunkWriter::kMaxBytes + 46 + 40 <= kPageSize - 35,
              "a full chunk must fit its page");
constexpr int kBusyTimeoutMs = 5000;
// A checkpoint leaves the write-ahead log at most this long.
constexpr qint64 kWalSizeLimit = 4 * 1024 * 1024;

std::atomic<int> connectionCounter{0};

} // namespace

SessionJournalDatabase::SessionJournalDatabase(const Options &options)
    : options(options)
    , path(QDir(options.directory).filePath(fileName()))
    , lock(QDir(options.directory).filePath(lockFileName()))
    , connection(QStringLiteral("session-journal-%1").arg(++connectionCounter))
{
}

SessionJournalDatabase::~SessionJournalDatabase()
{
    close();
}

QSqlDatabase SessionJournalDatabase::db() const
{
    return QSqlDatabase::database(connection, false);
}

void SessionJournalDatabase::rollback()
{
    QSqlQuery(db()).exec(QStringLiteral("ROLLBACK"));
}

bool SessionJournalDatabase::fail(const QString &what)
{
    reason = QStringLiteral("%1 (%2)").arg(what, QDir::toNativeSeparators(path));
    return false;
}

bool SessionJournalDatabase::fail(const QSqlError &error)
{
    return fail(error.databaseText().isEmpty() ? error.text() : error.databaseText());
}

bool SessionJournalDatabase::exec(const QString &sql)
{
    QSqlQuery query(db());
    return query.exec(sql) || fail(query.lastError());
}

bool SessionJournalDatabase::exec(QSqlQuery &query)
{
    return query.exec() || fail(query.lastError());
}

bool SessionJournalDatabase::prepare(QSqlQuery &query, const QString &sql)
{
    return query.prepare(sql) || fail(query.lastError());
}

QSqlQuery *SessionJournalDatabase::prepared(std::unique_ptr<QSqlQuery> &slot, const QString &sql)
{
    if (!slot) {
        auto query = std::make_unique<QSqlQuery>(db());
        if (!prepare(*query, sql))
            return nullptr;
        slot = std::move(query);
    }
    return slot.get();
}

bool SessionJournalDatabase::open(const std::atomic<bool> &stop)
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
    if (!query.exec(QStringLiteral("PRAGMA page_size=%1").arg(kPageSize)))
        return fail(query.lastError());
    // The first statement that reads the file: a file that is not a database fails here.
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
    if (!useSmallPages())
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
    if (!createTables() || !exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) ||
        !commit()) {
        rollback();
        return false;
    }
    return true;
}

// A file made by an earlier version has 4 KiB pages, and every commit writes
// each page it changed whole: four times the disk's work of small pages. It
// is rewritten once with small pages (a page size changes only outside
// write-ahead mode, by a VACUUM). Without room for the copy the file keeps
// its pages and works as before.
bool SessionJournalDatabase::useSmallPages()
{
    QSqlQuery query(db());
    if (!query.exec(QStringLiteral("PRAGMA page_size")) || !query.next())
        return fail(query.lastError());
    const int pageSize = query.value(0).toInt();
    query.finish();
    if (pageSize == kPageSize)
        return true;
    const bool rewritten = exec(QStringLiteral("PRAGMA journal_mode=DELETE")) &&
                           exec(QStringLiteral("PRAGMA page_size=%1").arg(kPageSize)) &&
                           exec(QStringLiteral("VACUUM"));
    if (!rewritten) {
        qWarning().noquote() << "Session journal: kept its" << pageSize << "byte pages:" << reason;
        reason.clear();
    }
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next())
        return fail(query.lastError());
    if (query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return fail(QStringLiteral("cannot use write-ahead logging"));
    return true;
}

bool SessionJournalDatabase::createTables()
{
    // Tables that an earlier version did not make are simply made: its files
    // load as they are, and it ignores them in ours.
    return exec(QStringLiteral("CREATE TABLE IF NOT EXISTS stream(id INTEGER PRIMARY KEY, "
                               "kind TEXT NOT NULL, key TEXT NOT NULL, UNIQUE(kind, key))")) &&
           // Without a row id: one tree, so an event costs one page, not two.
           exec(QStringLiteral("CREATE TABLE IF NOT EXISTS feed_event(run INTEGER NOT NULL, "
                               "seq INTEGER NOT NULL, ts INTEGER NOT NULL, payload BLOB NOT NULL, "
                               "PRIMARY KEY(run, seq)) WITHOUT ROWID"));
}

void SessionJournalDatabase::close()
{
    feedInsert.reset();
    feedDrop.reset();
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

bool SessionJournalDatabase::streamId(const QString &kind, const QString &key, bool create,
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
