#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVarLengthArray>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

class QSemaphore;
class WaveStore;

// One request to the journal's writer thread. The user-interface thread fills
// it in and queues it; everything that touches the disk happens on the
// writer thread, in the order the requests were queued.
struct JournalOp {
    enum Kind : quint8 {
        Sample,     // key, timeMs, values, capacity
        ResetWave,  // key
        TrimWave,   // key, capacity
        LoadWave,   // key, width, capacity, request
        Line,       // key, timeMs, text
        ClearLines, // key
        LoadLines,  // key, timeMs, text (the resume line), request
        Barrier     // done: released once everything before is written
    };

    Kind kind = Barrier;
    QString key;
    qint64 timeMs = 0;
    qint64 capacity = 0;
    int width = 0;
    QVarLengthArray<double, 4> values;
    QString text;
    quint64 request = 0;
    std::shared_ptr<QSemaphore> done;
};

// The answer to a LoadWave or LoadLines request. Empty when the journal has
// nothing for the key or has failed.
struct JournalResult {
    quint64 request = 0;
    std::unique_ptr<WaveStore> wave;
    QStringList lines;
};

// The writer thread: it owns the database connection and the lock file, and
// works through the queue. Successive requests queued within a few
// milliseconds of each other (the samples and lines of one status record)
// are written in one small transaction; a backlog is worked off in
// transactions of a bounded size. The first failure is reported once through
// failed(); from then on requests are dropped and loads answered empty.
class SessionJournalWriter : public QThread {
    Q_OBJECT
public:
    struct Options {
        QString directory;
        qint64 sizeLimit = 0; // bytes the database file may take; 0: no limit
        int lockWaitMs = 10000;
    };

    static QString databaseFileName() { return QStringLiteral("session-journal.sqlite"); }
    static QString lockFileName() { return QStringLiteral("session-journal.lock"); }

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
    class Database;

    void process(Database &db, std::deque<JournalOp> &batch);
    void fail(Database &db, const QString &reason);
    void answer(JournalResult &&result);

    const Options options;
    mutable QMutex mutex;
    QWaitCondition wakeUp;
    std::deque<JournalOp> queue;
    bool stopRequested = false;
    bool idle = false; // waiting for work (not gathering, not writing)
    std::atomic<bool> stopFlag{false};
    std::atomic<bool> failedFlag{false};
    std::vector<JournalResult> results;
    QString failureReason;
};
