#pragma once

#include <QString>
#include <QtGlobal>

// The link's supervision as rules apart from ports and timers: the caller
// tells what happened and the time (milliseconds on one monotonic clock) and
// carries out the decision it gets back.
namespace link_supervision {

// The device is online while its status records arrive less than this far
// apart on the open port.
constexpr qint64 kSilenceMs = 1100;
// How often a lost port is looked for.
constexpr qint64 kWatchPeriodMs = 1000;
// A port handed over by a theme restart is tried this often while the earlier
// copy may still hold it, for this long after the first failure.
constexpr qint64 kHandoverPeriodMs = 200;
constexpr qint64 kHandoverPatienceMs = 5000;

// What a status record means for the online state.
struct RecordOutcome {
    bool cameOnline = false; // it was offline: ask once for the version
    bool recovered = false;  // its silence on this connection was told: tell the return
};

// What the silence timeout means.
struct SilenceOutcome {
    bool wentOffline = false;
    bool silent = false; // a device heard on this connection stopped answering: tell it
};

class OnlineSupervision {
public:
    RecordOutcome noteRecord(qint64 now);
    // Asked at or after deadline(); earlier it changes nothing. portOpen: a
    // lost port may already read closed before its loss is handled.
    SilenceOutcome noteTime(qint64 now, bool portOpen);
    // A port opened, closed or lost: records start afresh, and an earlier
    // silence is no longer news. The online state keeps until the timeout.
    void noteNewConnection();

    bool online() const { return isOnline; }
    bool heardOnConnection() const { return heard; }
    // When the device counts as silent; -1 while online is false.
    qint64 deadline() const { return silentAt; }

private:
    bool isOnline = false;
    bool heard = false;
    bool silenceTold = false;
    qint64 silentAt = -1;
};

// What the reconnection watch asks for next.
enum class WatchStep {
    Wait,    // nothing now; ask again after period()
    TryOpen, // open port(), then report with noteOpened
    Confirm, // the reopened port held: tell it, the watch has ended
    GiveUp,  // the handed-over port never opened: tell why, the watch has ended
    End,     // another port is open: the watch has ended silently
};

// Watches for a lost port to come back, and reopens a port handed over by a
// theme restart. A port reopened by the watch counts only when it is still
// open at the next look, so a port that opens and drops at once is not told
// again and again.
class ReconnectWatch {
public:
    // The open port was lost. Returns whether the loss is news: a port that
    // the watch reopened and that dropped before its confirmation is not.
    bool noteLost(const QString &lostPort);
    void startHandover(const QString &handedPort);
    // The operator's own choice ends any watch.
    void stop();

    WatchStep look(bool portOpen) const;
    // The outcome of the open that look() asked for.
    WatchStep noteOpened(bool opened, qint64 now);

    bool active() const { return !watched.isEmpty(); }
    QString port() const { return watched; }
    bool pending() const { return reopened; }
    qint64 period() const { return handover ? kHandoverPeriodMs : kWatchPeriodMs; }

private:
    QString watched;
    bool reopened = false;
    bool handover = false;
    qint64 firstFailureAt = -1;
};

} // namespace link_supervision
