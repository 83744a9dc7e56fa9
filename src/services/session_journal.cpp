#include "session_journal.h"

#include "common/single_instance.h"
#include "session_journal_writer.h"
#include "wave_store.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QStandardPaths>
#include <QTimer>

namespace {

// Written queues are short; a disk that takes longer than this at exit
// costs the rest of the queue, not a hung program.
constexpr int kCloseTimeoutMs = 10000;
// Far above what the retention rules let the file reach (some 50 MB): a
// safety net, reported like a full disk.
constexpr qint64 kDefaultSizeLimit = qint64(1) << 30;

// A request for the writer about the stream of key.
JournalOp journalOp(JournalOp::Kind kind, const QString &key, qint64 timeMs = 0,
                    qint64 capacity = 0)
{
    JournalOp op;
    op.kind = kind;
    op.key = key;
    op.timeMs = timeMs;
    op.capacity = capacity;
    return op;
}

void closeAtExit()
{
    if (SessionJournal *journal = SingleInstance<SessionJournal>::peek())
        journal->close();
}

} // namespace

SessionJournal *SessionJournal::getInstance()
{
    return SingleInstance<SessionJournal>::get();
}

QString SessionJournal::defaultDirectory()
{
    const QString overridden = qEnvironmentVariable("ORRINDEL_DATA_DIR");
    if (!overridden.isEmpty())
        return QDir::fromNativeSeparators(overridden);
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

SessionJournal *SessionJournal::forObject(const QObject *user)
{
    SessionJournal *journal = getInstance();
    // The program's own documents are compiled in; the same documents run
    // from a source tree (tests, benchmarks) must not touch the operator's
    // journal.
    const QQmlContext *context = qmlContext(user);
    if (!journal->everOpened && context &&
        context->baseUrl().scheme().compare(QLatin1String("qrc"), Qt::CaseInsensitive) == 0)
        journal->open(QString());
    return journal;
}

SessionJournal::SessionJournal()
    : limitBytes(kDefaultSizeLimit)
{
    // The queue must be on disk before the program ends; the database
    // driver and the thread must go before the application object does.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &SessionJournal::close);
    qAddPostRoutine(closeAtExit);
    // exit() (Qt calls it when the display server goes away) destroys static
    // objects in the reverse order of their creation. Qt SQL's own (its
    // connections and drivers) are made here, first, so that they outlive
    // this object, whose destruction stops the writer that still uses them.
    (void)QSqlDatabase::drivers();
    (void)QSqlDatabase::connectionNames();
}

SessionJournal::~SessionJournal()
{
    close();
}

bool SessionJournal::open(const QString &directory)
{
    close();
    const QString folder = directory.isEmpty() ? defaultDirectory() : directory;
    everOpened = true;
    ++sessionId;
    openDirectory = folder;
    const bool hadProblem = !problemText.isEmpty();
    problemText.clear();
    if (hadProblem)
        emit problemChanged();
    if (folder.isEmpty()) {
        problemText = QStringLiteral("the system names no data folder");
        emit problemChanged();
        emit activeChanged();
        return false;
    }

    SessionJournalWriter::Options options;
    options.directory = folder;
    options.sizeLimit = limitBytes;
    writer = std::make_unique<SessionJournalWriter>(options);
    const quint64 session = sessionId;
    connect(writer.get(), &SessionJournalWriter::failed, this,
            [this, session](const QString &reason) { report(session, reason); });
    connect(writer.get(), &SessionJournalWriter::resultsReady, this, &SessionJournal::deliver);
    // Below the user interface where the system honours it.
    writer->start(QThread::LowPriority);
    emit activeChanged();
    return true;
}

void SessionJournal::close()
{
    if (!writer) {
        abandonPending();
        return;
    }
    if (!writer->stop(kCloseTimeoutMs)) {
        // Still writing: leave the thread to the process's end rather than
        // destroy it under its feet.
        qDebug().noquote() << "session journal: still writing at close";
        disconnect(writer.get(), nullptr, this, nullptr);
        writer.release();
    } else {
        deliverAll();
        writer.reset();
    }
    abandonPending();
    openDirectory.clear();
    emit activeChanged();
}

bool SessionJournal::flush(int timeoutMs)
{
    if (!writer)
        return true;
    auto done = std::make_shared<QSemaphore>();
    JournalOp op;
    op.kind = JournalOp::Barrier;
    op.done = done;
    writer->post(std::move(op));
    const bool written = done->tryAcquire(1, timeoutMs);
    // The queued signals may not have arrived: the state is taken here.
    if (writer->hasFailed())
        report(sessionId, writer->failure());
    deliverAll();
    return written;
}

bool SessionJournal::isActive() const
{
    return writer && problemText.isEmpty();
}

void SessionJournal::setSizeLimit(double bytes)
{
    const qint64 limit = bytes > 0 ? qint64(bytes) : 0;
    if (limit == limitBytes)
        return;
    limitBytes = limit;
    emit sizeLimitChanged();
}

bool SessionJournal::accepts(quint64 session) const
{
    return writer && session == sessionId && problemText.isEmpty() && !writer->hasFailed();
}

void SessionJournal::appendSample(quint64 session, const QString &key, qint64 timeMs,
                                  const double *values, int count, qint64 capacity)
{
    if (!accepts(session))
        return;
    JournalOp op = journalOp(JournalOp::Sample, key, timeMs, capacity);
    op.values.append(values, qMax(0, count));
    writer->post(std::move(op));
}

void SessionJournal::resetWave(quint64 session, const QString &key)
{
    if (accepts(session))
        writer->post(journalOp(JournalOp::ResetWave, key));
}

void SessionJournal::trimWave(quint64 session, const QString &key, qint64 capacity)
{
    if (accepts(session))
        writer->post(journalOp(JournalOp::TrimWave, key, 0, capacity));
}

void SessionJournal::appendLine(quint64 session, const QString &key, qint64 timeMs,
                                const QString &line)
{
    if (!accepts(session))
        return;
    JournalOp op = journalOp(JournalOp::Line, key, timeMs);
    op.text = line;
    writer->post(std::move(op));
}

void SessionJournal::clearLines(quint64 session, const QString &key)
{
    if (accepts(session))
        writer->post(journalOp(JournalOp::ClearLines, key));
}

bool SessionJournal::loadWave(quint64 session, const QString &key, int width, qint64 capacity,
                              QObject *context, WaveCallback done)
{
    if (!accepts(session))
        return false;
    JournalOp op = journalOp(JournalOp::LoadWave, key, 0, capacity);
    op.width = width;
    postLoad(std::move(op), Pending{context, std::move(done), {}, {}});
    return true;
}

bool SessionJournal::loadLines(quint64 session, const QString &key, qint64 timeMs,
                               const QString &resumeLine, QObject *context, LinesCallback done)
{
    if (!accepts(session))
        return false;
    JournalOp op = journalOp(JournalOp::LoadLines, key, timeMs);
    op.text = resumeLine;
    postLoad(std::move(op), Pending{context, {}, std::move(done), {}});
    return true;
}

void SessionJournal::appendFeedEvent(quint64 session, const FeedEventRow &row)
{
    if (!accepts(session))
        return;
    JournalOp op;
    op.kind = JournalOp::FeedEvent;
    op.feed = row;
    writer->post(std::move(op));
}

void SessionJournal::feedEventsDone(quint64 session, qint64 run, quint64 seq)
{
    if (!accepts(session))
        return;
    JournalOp op;
    op.kind = JournalOp::FeedEventsDone;
    op.feed.run = run;
    op.feed.seq = seq;
    writer->post(std::move(op));
}

bool SessionJournal::loadFeedEvents(quint64 session, QObject *context, FeedEventsCallback done)
{
    if (!accepts(session))
        return false;
    JournalOp op;
    op.kind = JournalOp::LoadFeedEvents;
    postLoad(std::move(op), Pending{context, {}, {}, std::move(done)});
    return true;
}

void SessionJournal::postLoad(JournalOp &&op, Pending &&waiting)
{
    op.request = ++nextRequest;
    pending[op.request] = std::move(waiting);
    writer->post(std::move(op));
}

void SessionJournal::deliver()
{
    if (writer) {
        for (JournalResult &result : writer->takeResults())
            answers.push_back(std::move(result));
    }
    // One answer per pass of the event loop: each may rebuild a chart's
    // curves, and four in a row would hold the window up four times as long.
    if (answers.empty())
        return;
    JournalResult result = std::move(answers.front());
    answers.erase(answers.begin());
    if (!answers.empty())
        QTimer::singleShot(0, this, &SessionJournal::deliver);
    auto found = pending.find(result.request);
    if (found == pending.end())
        return;
    Pending request = std::move(found->second);
    pending.erase(found);
    if (!request.context)
        return;
    if (request.wave)
        request.wave(std::move(result.wave));
    else if (request.lines)
        request.lines(result.lines);
    else if (request.feedEvents)
        request.feedEvents(result.feedEvents);
}

void SessionJournal::deliverAll()
{
    deliver();
    while (!answers.empty())
        deliver();
}

void SessionJournal::abandonPending()
{
    answers.clear();
    // Whoever waits for a load learns that none is coming.
    auto left = std::move(pending);
    pending.clear();
    for (auto &entry : left) {
        Pending &request = entry.second;
        if (!request.context)
            continue;
        if (request.wave)
            request.wave(nullptr);
        else if (request.lines)
            request.lines({});
        else if (request.feedEvents)
            request.feedEvents({});
    }
}

void SessionJournal::report(quint64 session, const QString &reason)
{
    // A writer's failure may arrive after it was closed or replaced.
    if (!writer || session != sessionId || !problemText.isEmpty())
        return;
    problemText = reason.isEmpty() ? QStringLiteral("unknown error") : reason;
    qDebug().noquote() << "session journal:" << problemText;
    emit problemChanged();
    emit activeChanged();
}
