#include "reply_frame.h"

#include "protocol/frame.h"

namespace sim {

QByteArray packReplyFrame(quint8 type, const QByteArray &payload)
{
    const auto length = static_cast<quint16>(payload.size());
    QByteArray out;
    out.reserve(payload.size() + frame::kIncomingOverhead);
    out.append(static_cast<char>(frame::kHeader));
    out.append(static_cast<char>(length & 0xFF));
    out.append(static_cast<char>(length >> 8));
    out.append(static_cast<char>(type));
    out.append(payload);
    const quint16 crc = crc16(out);
    out.append(static_cast<char>(crc & 0xFF));
    out.append(static_cast<char>(crc >> 8));
    out.append(static_cast<char>(frame::kTrailer));
    return out;
}

} // namespace sim
