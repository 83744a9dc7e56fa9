#include "session_journal_writer.h"

#include "wave_store.h"

#include <QDeadlineTimer>
#include <QSemaphore>

namespace {

// Requests that arrive this soon after the first of a batch share its
// transaction: a status record feeds four charts in one go.
constexpr int kGatherMs = 5;
constexpr std::size_t kMaxOpsPerTransaction = 512;

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
