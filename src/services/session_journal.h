#pragma once

#include "session_journal_feed.h"
#include "session_journal_lines.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class SessionJournalWriter;
class WaveStore;
struct JournalOp;
struct JournalResult;

// The session journal: the charts' recordings and the message list, kept on
// disk so that a restart (a theme switch, a crash, a power cut, a window
// closed by mistake) does not throw them away. An SQLite database
// "session-journal.sqlite" in the data folder: ORRINDEL_DATA_DIR when set,
// otherwise the system's application data folder.
//
// Everything that touches the disk runs on the writer thread
// (SessionJournalWriter); the calls here only queue a request, a few
// microseconds. Loads answer later, on this thread, through the callback.
//
// Writes are gathered for 0.6 s from the first and committed together: each
// commit rewrites whole pages, so the disk's work follows the number of
// commits (one a second at two records a second). While records arrive, the
// newest one on disk is never a second old: a crash loses less than that. A
// load or flush() ends the gather at once.
//
// Streams are named by key: a chart's recording (WaveRecording.journalKey)
// or a message list (MessageLog.journalKey); one object per key. What a
// stream keeps is what its object holds: a chart its newest `capacity`
// samples, a reset deleting all before it; a list its lines of the last
// seven days (at most 200 000), Clear deleting all before it.
//
// The plant feed's events that the broker has not confirmed yet are kept the
// same way, until the feed reports them done.
//
// When the journal cannot be used (a damaged or foreign file, a read-only
// folder, a full disk, another copy of the program holding it for more than
// 10 s) it reports `problem` once and takes no more requests; the objects run
// on in memory. The 10 s cover a theme switch, where the new copy starts
// while the old one still writes its last requests.
//
// Who opens it: the program, by the first journalled object of its own
// documents (those compiled in, qrc:), in the default folder; anything else
// (tests, benchmarks running the documents from the source tree) by open().
// Objects attached to one opening ignore later ones: a recording journals
// only into the journal it was loaded from.
//
// QML: import OrrindelJournal 1.0, singleton SessionJournal:
//   active      bool, read-only: open and taking requests
//   problem     string, read-only: why the journal stopped ("" while fine)
//   directory   string, read-only: the folder of the open journal
//   sizeLimit   number (bytes, 0: none; default 1 GiB): how large the file may
//               grow, from the next open; reaching it counts as a full disk
//   open(directory)  opens the journal there ("" : the default folder); closes the one open
//   close()     writes what is queued and closes
//   flush()     waits until everything queued so far is written (true) or 10 s passed
class SessionJournal : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)
    Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)
    Q_PROPERTY(QString directory READ directory NOTIFY activeChanged)
    Q_PROPERTY(double sizeLimit READ sizeLimit WRITE setSizeLimit NOTIFY sizeLimitChanged)
public:
    using WaveCallback = std::function<void(std::unique_ptr<WaveStore>)>;
    using LinesCallback = std::function<void(const JournalLines &)>;
    using FeedEventsCallback = std::function<void(const std::vector<FeedEventRow> &)>;

    static SessionJournal *getInstance();
    // ORRINDEL_DATA_DIR, or the application data folder.
    static QString defaultDirectory();
    // The journal for an object that journals. The first such object of the
    // program's own documents opens it in the default folder.
    static SessionJournal *forObject(const QObject *user);

    SessionJournal();
    ~SessionJournal() override;

    Q_INVOKABLE bool open(const QString &directory);
    Q_INVOKABLE void close();
    Q_INVOKABLE bool flush(int timeoutMs = 10000);

    bool isActive() const;
    QString problem() const { return problemText; }
    QString directory() const { return openDirectory; }
    double sizeLimit() const { return double(limitBytes); }
    void setSizeLimit(double bytes);

    // Changes with every open; 0 before the first. Requests name the session
    // they were made for and are dropped when it is not the current one.
    quint64 session() const { return sessionId; }
    bool accepts(quint64 session) const;

    void appendSample(quint64 session, const QString &key, qint64 timeMs, const double *values,
                      int count, qint64 capacity);
    void resetWave(quint64 session, const QString &key);
    void trimWave(quint64 session, const QString &key, qint64 capacity);
    void appendLine(quint64 session, const QString &key, qint64 timeMs, const QString &line);
    void clearLines(quint64 session, const QString &key);

    // The newest `capacity` samples of a chart, in a store of `width` values
    // per entry, before any sample appended after this call. False when the
    // session is not current: done is never called. Otherwise done is called
    // once (with an empty store when the journal failed or closed) unless
    // context is gone by then.
    bool loadWave(quint64 session, const QString &key, int width, qint64 capacity, QObject *context,
                  WaveCallback done);
    // The kept lines of a list with their times, oldest first. When there are
    // any, resumeLine (written at timeMs) is added to the journal after them
    // and answered as the last one.
    bool loadLines(quint64 session, const QString &key, qint64 timeMs, const QString &resumeLine,
                   QObject *context, LinesCallback done);

    // Keeps one event until feedEventsDone covers it (an event of the same
    // run and number replaces it).
    void appendFeedEvent(quint64 session, const FeedEventRow &row);
    // Forgets every kept event up to (run, seq): all events of earlier runs,
    // and those of `run` with seq <= `seq`.
    void feedEventsDone(quint64 session, qint64 run, quint64 seq);
    // The kept events, oldest first (by run, then seq), at most the newest
    // 10 000; the same contract as loadLines.
    bool loadFeedEvents(quint64 session, QObject *context, FeedEventsCallback done);

signals:
    void activeChanged();
    void problemChanged();
    void sizeLimitChanged();

private:
    struct Pending {
        QPointer<QObject> context;
        WaveCallback wave;
        LinesCallback lines;
        FeedEventsCallback feedEvents;
    };

    // Queues a load; its answer goes to waiting.
    void postLoad(JournalOp &&op, Pending &&waiting);
    void deliver();
    void deliverAll();
    void abandonPending();
    void report(quint64 session, const QString &reason);

    std::unique_ptr<SessionJournalWriter> writer;
    quint64 sessionId = 0;
    bool everOpened = false;
    QString openDirectory;
    QString problemText;
    qint64 limitBytes = 0;
    quint64 nextRequest = 0;
    std::unordered_map<quint64, Pending> pending;
    std::vector<JournalResult> answers; // taken from the writer, not yet handed on
};
