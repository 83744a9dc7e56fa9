#pragma once

#include "session_journal_database.h"
#include "session_journal_ops.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <vector>

// The writer thread: it owns the database connection and the lock file, and
// works through the queue. Writes are gathered for a while after the first
// of them (kGatherMs) and committed in one transaction (a backlog in
// transactions of a bounded size); a load or a barrier ends the gather at
// once, so it waits for no more than the writes already queued. The first
// failure is reported once through failed(); from then on requests are
// dropped and loads answered empty.
class SessionJournalWriter : public QThread {
    Q_OBJECT
public:
    using Options = SessionJournalDatabase::Options;

    explicit SessionJournalWriter(const Options &options);
    ~SessionJournalWriter() override;

    // Any thread; cheap: a lock, a move into the queue, a wake-up.
    void post(JournalOp &&op);
    // Writes what is queued, closes the database, releases the lock and ends
    // the thread. False when it has not ended within timeoutMs.
    bool stop(int timeoutMs);
    bool hasFailed() const { return failedFlag.load(std::memory_order_acquire); }
    // The reason failed() gave; empty before.
    QString failure() const;

    std::vector<JournalResult> takeResults();

signals:
    void failed(const QString &reason);
    void resultsReady();

protected:
    void run() override;

private:
    void process(SessionJournalDatabase &db, std::deque<JournalOp> &batch);
    void fail(SessionJournalDatabase &db, const QString &reason);
    void answer(JournalResult &&result);

    const Options options;
    mutable QMutex mutex;
    QWaitCondition wakeUp;
    std::deque<JournalOp> queue;
    bool stopRequested = false;
    bool idle = false;      // waiting for work (not gathering, not writing)
    bool gathering = false; // waiting for more writes before the transaction
    bool urgent = false;    // a request that is not a write is queued
    bool writeQueued = false;
    QDeadlineTimer writeDeadline; // the gather's end, from the first write queued
    std::atomic<bool> stopFlag{false};
    std::atomic<bool> failedFlag{false};
    std::vector<JournalResult> results;
    QString failureReason;
};
