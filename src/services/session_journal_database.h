#pragma once

#include "session_journal_format.h"
#include "session_journal_ops.h"

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;
class WaveStore;

// The journal's database: the connection and everything prepared on it;
// lives and dies on the writer thread (SessionJournalWriter). Every failing
// call leaves its reason in problem(). The connection is in
// session_journal_database.cpp, the streams' tables in session_journal_tables.cpp.
class SessionJournalDatabase {
public:
    struct Options {
        QString directory;
        qint64 sizeLimit = 0; // bytes the database file may take; 0: no limit
        int lockWaitMs = 10000;
    };

    static QString fileName() { return QStringLiteral("session-journal.sqlite"); }
    static QString lockFileName() { return QStringLiteral("session-journal.lock"); }

    explicit SessionJournalDatabase(const Options &options);
    ~SessionJournalDatabase();

    bool open(const std::atomic<bool> &stop);
    void close();
    bool isOpen() const { return opened; }
    QString problem() const { return reason; }

    bool begin() { return exec(QStringLiteral("BEGIN IMMEDIATE")); }
    bool commit() { return exec(QStringLiteral("COMMIT")); }
    void rollback();

    bool apply(const JournalOp &op);
    bool loadWave(const JournalOp &op, std::unique_ptr<WaveStore> *out);
    bool loadLines(const JournalOp &op, JournalLines *out);
    // The kept plant-feed events, oldest first, at most the newest kMaxFeedEvents.
    bool loadFeedEvents(std::vector<FeedEventRow> *out);

    static constexpr int kMaxFeedEvents = 10000;

private:
    struct WaveTable {
        QString name;
        bool ledgerRead = false;
        journal_format::ChunkLedger ledger;
        std::optional<journal_format::ChunkWriter> current; // the newest chunk, while it grows
        qint64 currentRow = 0;
        std::unique_ptr<QSqlQuery> insert, update, drop;
    };
    struct LineTable {
        QString name;
        std::unique_ptr<QSqlQuery> insert, oldest, drop;
    };

    QSqlDatabase db() const;
    bool fail(const QString &what);
    bool fail(const QSqlError &error);
    bool exec(const QString &sql);
    bool useSmallPages();
    bool exec(QSqlQuery &query);
    bool prepare(QSqlQuery &query, const QString &sql);
    // A statement prepared once per table.
    QSqlQuery *prepared(std::unique_ptr<QSqlQuery> &slot, const QString &sql);

    // The table of a key; nullptr when there is none (create: make one).
    WaveTable *waveTable(const QString &key, bool create);
    LineTable *lineTable(const QString &key, bool create);
    // The table named kind_id, with these columns when it is made.
    template<class Table>
    Table *streamTable(std::unordered_map<QString, Table> &tables, const QString &kind,
                       const QString &columns, const QString &key, bool create);
    bool streamId(const QString &kind, const QString &key, bool create, qint64 *id);
    bool readLedger(WaveTable &table);

    bool createTables();
    bool appendSample(const JournalOp &op);
    bool dropExpired(WaveTable &table, qint64 capacity);
    bool resetWave(WaveTable &table);
    bool appendLine(LineTable &table, qint64 timeMs, const QString &line);
    // Drops the lines up to row lastDropped and those expired at nowMs.
    bool dropOldLines(LineTable &table, qint64 lastDropped, qint64 nowMs);
    bool appendFeedEvent(const FeedEventRow &row);
    bool dropFeedEvents(qint64 run, quint64 seq);

    const Options options;
    const QString path;
    QLockFile lock;
    const QString connection;
    bool opened = false;
    QString reason;
    std::unordered_map<QString, WaveTable> waves;
    std::unordered_map<QString, LineTable> lines;
    std::unique_ptr<QSqlQuery> feedInsert, feedDrop;
};
