#include "session_journal_writer.h"

#include "wave_store.h"

#include <QDeadlineTimer>
#include <QSemaphore>

namespace {

// Writes that arrive within this long of the first of a batch share its
// transaction. Every commit rewrites whole pages (each chart's newest chunk),
// so the disk's work follows the number of commits, not the number of
// samples: at two records a second this is one commit a second. What a crash
// loses, counted from the newest sample on disk, is this plus the time to the
// next record: under a second at five records a second too.
constexpr int kGatherMs = 600;
// A backlog is written in transactions of this many writes at most, so that
// one transaction never grows the write-ahead log by much.
constexpr std::size_t kMaxOpsPerTransaction = 4096;

bool writes(JournalOp::Kind kind)
{
    switch (kind) {
    case JournalOp::Sample:
    case JournalOp::ResetWave:
    case JournalOp::TrimWave:
    case JournalOp::Line:
    case JournalOp::ClearLines:
    case JournalOp::FeedEvent:
    case JournalOp::FeedEventsDone:
        return true;
    default:
        return false;
    }
}

} // namespace

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
    const bool write = writes(op.kind);
    if (write && !writeQueued) {
        writeQueued = true;
        writeDeadline.setRemainingTime(kGatherMs);
    }
    // Only a writer waiting for work needs waking, or one gathering writes
    // that must stop: a load or a barrier is not kept waiting behind them, and
    // a full transaction is not made fuller. Every wake-up is a system call
    // here and a thread switch that may take the processor from the caller.
    const bool wake =
        (idle && queue.empty()) ||
        (gathering && ((!write && !urgent) || queue.size() + 1 == kMaxOpsPerTransaction));
    urgent = urgent || !write;
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

void SessionJournalWriter::fail(SessionJournalDatabase &db, const QString &reason)
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
    SessionJournalDatabase db(options);
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
            // The gather runs from the first write's arrival, which may have
            // been while the last batch was written.
            gathering = true;
            while (!stopRequested && !urgent && queue.size() < kMaxOpsPerTransaction &&
                   !writeDeadline.hasExpired())
                wakeUp.wait(&mutex, writeDeadline);
            gathering = false;
            urgent = false;
            writeQueued = false;
            batch.swap(queue);
        }
        process(db, batch);
        batch.clear();
    }
    db.close();
}

void SessionJournalWriter::process(SessionJournalDatabase &db, std::deque<JournalOp> &batch)
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
                bool ok = true;
                if (op.kind == JournalOp::LoadWave)
                    ok = db.loadWave(op, &result.wave);
                else if (op.kind == JournalOp::LoadLines)
                    ok = db.loadLines(op, &result.lines);
                else if (op.kind == JournalOp::LoadFeedEvents)
                    ok = db.loadFeedEvents(&result.feedEvents);
                if (!ok) {
                    result = JournalResult{op.request, nullptr, {}, {}};
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
