#include "link_supervision.h"

namespace link_supervision {

RecordOutcome OnlineSupervision::noteRecord(qint64 now)
{
    RecordOutcome out;
    out.cameOnline = !isOnline;
    out.recovered = silenceTold;
    isOnline = true;
    heard = true;
    silenceTold = false;
    silentAt = now + kSilenceMs;
    return out;
}

SilenceOutcome OnlineSupervision::noteTime(qint64 now, bool portOpen)
{
    SilenceOutcome out;
    if (!isOnline || now < silentAt)
        return out;
    isOnline = false;
    silentAt = -1;
    out.wentOffline = true;
    // Only a device that answered on this connection and stopped is news.
    if (heard && portOpen) {
        silenceTold = true;
        out.silent = true;
    }
    return out;
}

void OnlineSupervision::noteNewConnection()
{
    heard = false;
    silenceTold = false;
}

bool ReconnectWatch::noteLost(const QString &lostPort)
{
    const bool news = !reopened;
    watched = lostPort;
    reopened = false;
    handover = false;
    firstFailureAt = -1;
    return news;
}

void ReconnectWatch::startHandover(const QString &handedPort)
{
    watched = handedPort;
    reopened = false;
    handover = !handedPort.isEmpty();
    firstFailureAt = -1;
}

void ReconnectWatch::stop()
{
    watched.clear();
    reopened = false;
    handover = false;
    firstFailureAt = -1;
}

WatchStep ReconnectWatch::look(bool portOpen) const
{
    if (!active())
        return WatchStep::End;
    if (handover)
        return WatchStep::TryOpen;
    // Our reopened port has held; any other open port is someone else's
    // choice: either way nothing is left to watch.
    if (portOpen)
        return reopened ? WatchStep::Confirm : WatchStep::End;
    return WatchStep::TryOpen;
}

WatchStep ReconnectWatch::noteOpened(bool opened, qint64 now)
{
    if (!handover) {
        reopened = opened;
        return WatchStep::Wait;
    }
    if (opened)
        return WatchStep::Confirm;
    if (firstFailureAt < 0)
        firstFailureAt = now;
    return now - firstFailureAt < kHandoverPatienceMs ? WatchStep::Wait : WatchStep::GiveUp;
}

} // namespace link_supervision
