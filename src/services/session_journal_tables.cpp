// The tables of the journal's streams: a chart's samples in chunks, a list's
// lines one a row. The connection itself is in session_journal_database.cpp.
#include "session_journal_database.h"

#include "wave_store.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QVector>

#include <limits>

template<class Table>
Table *SessionJournalDatabase::streamTable(std::unordered_map<QString, Table> &tables,
                                           const QString &kind, const QString &columns,
                                           const QString &key, bool create)
{
    auto found = tables.find(key);
    if (found != tables.end())
        return &found->second;
    qint64 id = 0;
    if (!streamId(kind, key, create, &id) || id == 0)
        return nullptr;
    const QString name = QStringLiteral("%1_%2").arg(kind).arg(id);
    if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1(%2)").arg(name, columns)))
        return nullptr;
    Table &table = tables[key];
    table.name = name;
    return &table;
}

SessionJournalDatabase::WaveTable *SessionJournalDatabase::waveTable(const QString &key,
                                                                     bool create)
{
    return streamTable(waves, QStringLiteral("wave"),
                       QStringLiteral("first_ms INTEGER NOT NULL, last_ms INTEGER NOT NULL, "
                                      "count INTEGER NOT NULL, data BLOB NOT NULL"),
                       key, create);
}

SessionJournalDatabase::LineTable *SessionJournalDatabase::lineTable(const QString &key,
                                                                     bool create)
{
    return streamTable(lines, QStringLiteral("lines"),
                       QStringLiteral("t INTEGER NOT NULL, line TEXT NOT NULL"), key, create);
}

bool SessionJournalDatabase::readLedger(WaveTable &table)
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

bool SessionJournalDatabase::apply(const JournalOp &op)
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
    case JournalOp::FeedEvent:
        return appendFeedEvent(op.feed);
    case JournalOp::FeedEventsDone:
        return dropFeedEvents(op.feed.run, op.feed.seq);
    default:
        return true;
    }
}

bool SessionJournalDatabase::appendSample(const JournalOp &op)
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

bool SessionJournalDatabase::dropExpired(WaveTable &table, qint64 capacity)
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

bool SessionJournalDatabase::resetWave(WaveTable &table)
{
    if (!exec(QStringLiteral("DELETE FROM %1").arg(table.name)))
        return false;
    table.ledger.clear();
    table.ledgerRead = true;
    table.current.reset();
    table.currentRow = 0;
    return true;
}

bool SessionJournalDatabase::appendLine(LineTable &table, qint64 timeMs, const QString &line)
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

bool SessionJournalDatabase::dropOldLines(LineTable &table, qint64 lastDropped, qint64 nowMs)
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

bool SessionJournalDatabase::loadWave(const JournalOp &op, std::unique_ptr<WaveStore> *out)
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

bool SessionJournalDatabase::loadLines(const JournalOp &op, JournalLines *out)
{
    LineTable *table = lineTable(op.key, false);
    if (!table) {
        *out = {};
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
    if (!query.exec(QStringLiteral("SELECT t, line FROM %1 ORDER BY rowid").arg(table->name)))
        return fail(query.lastError());
    *out = {};
    while (query.next()) {
        out->timesMs.append(query.value(0).toLongLong());
        out->texts.append(query.value(1).toString());
    }
    if (query.lastError().isValid())
        return fail(query.lastError());
    return true;
}

bool SessionJournalDatabase::appendFeedEvent(const FeedEventRow &row)
{
    QSqlQuery *insert = prepared(feedInsert, QStringLiteral("INSERT OR REPLACE INTO feed_event("
                                                            "run, seq, ts, payload) "
                                                            "VALUES (?, ?, ?, ?)"));
    if (!insert)
        return false;
    insert->bindValue(0, row.run);
    insert->bindValue(1, qint64(row.seq));
    insert->bindValue(2, row.ts);
    // A null QByteArray would be bound as NULL.
    insert->bindValue(3, row.payload.isNull() ? QByteArray("") : row.payload);
    return exec(*insert);
}

bool SessionJournalDatabase::dropFeedEvents(qint64 run, quint64 seq)
{
    QSqlQuery *drop = prepared(feedDrop, QStringLiteral("DELETE FROM feed_event WHERE run < ? OR "
                                                        "(run = ? AND seq <= ?)"));
    if (!drop)
        return false;
    // Numbers are kept below 2^63; a larger one covers the whole run.
    const quint64 largest = quint64(std::numeric_limits<qint64>::max());
    drop->bindValue(0, run);
    drop->bindValue(1, run);
    drop->bindValue(2, qint64(qMin(seq, largest)));
    return exec(*drop);
}

bool SessionJournalDatabase::loadFeedEvents(std::vector<FeedEventRow> *out)
{
    out->clear();
    QSqlQuery query(db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT run, seq, ts, payload FROM (SELECT * FROM feed_event "
                                   "ORDER BY run DESC, seq DESC LIMIT %1) ORDER BY run, seq")
                        .arg(kMaxFeedEvents)))
        return fail(query.lastError());
    while (query.next()) {
        FeedEventRow row;
        row.run = query.value(0).toLongLong();
        row.seq = quint64(query.value(1).toLongLong());
        row.ts = query.value(2).toLongLong();
        row.payload = query.value(3).toByteArray();
        out->push_back(std::move(row));
    }
    if (query.lastError().isValid())
        return fail(query.lastError());
    return true;
}
