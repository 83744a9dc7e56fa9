#pragma once

#include "session_journal.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <utility>

// What ties a journalled object (a chart's recording, a message list) to the
// session journal: its key, the session it journals into and the load of its
// history it waits for. The object attaches once it is complete (QML has set
// its initial properties) and has a key; a new key detaches it.
class JournalHookup {
public:
    // loadingChanged is called whenever isLoading() changes.
    JournalHookup(QObject *owner, std::function<void()> loadingChanged);

    const QString &key() const { return streamKey; }
    // Detaches and takes the key; false (nothing done) when it is the same.
    // The owner attaches again when complete.
    bool setKey(const QString &key);

    void classBegin() { complete = false; }
    void componentComplete() { complete = true; }
    bool isComplete() const { return complete; }

    // The session journalled into; 0: not journalling.
    quint64 session() const { return journalSession; }
    bool isLoading() const { return loadRequest != 0; }
    // A history still on its way is dropped when it arrives.
    void cancelLoad() { setLoadRequest(0); }

    // load(journal, session, done) asks the journal for the key's history,
    // done being the callback, and tells whether the journal took the request.
    // When it did, the object journals into that session from here on:
    // replay() journals what the object held before (it follows the history),
    // then the load is waited for. The answer reaches take() only while the
    // owner lives and this load is still the one waited for.
    template<class Answer, class Load, class Take, class Replay>
    void attach(Load load, Take take, Replay replay)
    {
        if (streamKey.isEmpty())
            return;
        SessionJournal *journal = SessionJournal::forObject(owner);
        const quint64 session = journal->session();
        const quint64 request = ++requests;
        QPointer<QObject> self(owner);
        const std::function<void(Answer)> done = [this, self, request, take](Answer answer) {
            if (self && answered(request))
                take(std::forward<Answer>(answer));
        };
        if (!load(*journal, session, done))
            return;
        journalSession = session;
        replay();
        setLoadRequest(request);
    }

private:
    // Whether request is the load waited for; if so the wait ends.
    bool answered(quint64 request);
    void setLoadRequest(quint64 request);

    QObject *const owner;
    const std::function<void()> loadingChanged;
    QString streamKey;
    bool complete = true;       // false while QML sets the initial properties
    quint64 journalSession = 0; // 0: not journalling
    quint64 loadRequest = 0;    // the load waited for; 0: none
    quint64 requests = 0;
};
