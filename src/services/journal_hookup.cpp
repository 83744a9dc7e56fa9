#include "journal_hookup.h"

JournalHookup::JournalHookup(QObject *owner, std::function<void()> loadingChanged)
    : owner(owner)
    , loadingChanged(std::move(loadingChanged))
{
}

bool JournalHookup::setKey(const QString &key)
{
    if (key == streamKey)
        return false;
    streamKey = key;
    journalSession = 0;
    setLoadRequest(0);
    return true;
}

bool JournalHookup::answered(quint64 request)
{
    if (request != loadRequest)
        return false;
    setLoadRequest(0);
    return true;
}

void JournalHookup::setLoadRequest(quint64 request)
{
    if (request == loadRequest)
        return;
    loadRequest = request;
    loadingChanged();
}
