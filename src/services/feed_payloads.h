#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

#include <optional>

// The plant feed's messages, as compact JSON, apart from any network. Times
// (`ts`) are UTC milliseconds; a value that is not known is null, never a
// made-up one. Topics are <prefix>/<id>/ + the name in each comment.
namespace feed_payloads {

// state (retained): the program and its link.
struct LinkState {
    bool connected = false;
    QString port; // empty: null
    bool deviceOnline = false;
    qint64 session = 0;
};
QByteArray state(const LinkState &link, qint64 ts);
// state, as the broker's Last Will, and as a clean exit says it itself.
QByteArray offline(qint64 session);
QByteArray offline(qint64 session, qint64 ts);

// info (retained): what is known of the program and the device.
struct Info {
    QString programVersion;
    QString deviceVersion; // empty: null
    QString deviceId;      // empty: null
    std::optional<int> maxPowerW;
};
QByteArray info(const Info &info, qint64 ts);

// status (retained): every record, exactly as the window receives it.
QByteArray status(quint64 seq, qint64 ts, const QJsonObject &record);

// alarm (retained): the alarm word and the alarms it holds.
struct Alarm {
    int bit = 0;
    QString text;   // English
    QString textCn; // Chinese
};
QByteArray alarm(int word, const QVector<Alarm> &alarms, qint64 ts);

// events (not retained), each with its own seq, and its session: events of
// an earlier run kept over a restart go out in the next run, and a consumer
// tells a repeat by session and seq.
struct EventStamp {
    quint64 seq = 0;
    qint64 ts = 0;
    qint64 session = 0;
};
QByteArray alarmEvent(const EventStamp &stamp, int from, int to, const QString &text,
                      const QString &textCn);
QByteArray messageEvent(const EventStamp &stamp, const QString &raw, const QString &text);
// event: "connected", "lost", "reconnected" or "closed".
QByteArray linkEvent(const EventStamp &stamp, const QString &event, const QString &port);
// How many waiting events were dropped (no seq of its own: the gap it
// explains is in the seq of the events around it).
QByteArray droppedEvent(int count, qint64 ts, qint64 session);

} // namespace feed_payloads
