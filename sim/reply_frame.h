#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace sim {

// Frame types the controller sends.
enum ReplyType : quint8 {
    kStatusFrame = 1,
    kMessageFrame = 3,
    kCalibTableFrame = 4,
};

// A frame the controller sends: its type and payload.
struct Reply {
    quint8 type = kMessageFrame;
    QByteArray payload;

    static Reply message(const QString &text) { return {kMessageFrame, text.toUtf8()}; }
    bool operator==(const Reply &o) const { return type == o.type && payload == o.payload; }
};

// AA | L (LE16) | type | payload | crc16 (LE) | 55
QByteArray packReplyFrame(quint8 type, const QByteArray &payload);
inline QByteArray packReplyFrame(const Reply &r)
{
    return packReplyFrame(r.type, r.payload);
}

} // namespace sim
