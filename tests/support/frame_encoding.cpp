#include "frame_encoding.h"

namespace testsupport {

quint16 bitwiseCrc16(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= static_cast<quint8>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

void appendLe16(QByteArray &out, quint16 value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>(value >> 8));
}

QByteArray incomingFrame(quint8 type, const QByteArray &payload)
{
    QByteArray f(1, '\xAA');
    appendLe16(f, quint16(payload.size()));
    f.append(static_cast<char>(type));
    f.append(payload);
    appendLe16(f, bitwiseCrc16(f));
    f.append('\x55');
    return f;
}

bool frameCrcMatches(const QByteArray &frame)
{
    if (frame.size() < 7)
        return false;
    const int length = static_cast<quint8>(frame[1]) | (static_cast<quint8>(frame[2]) << 8);
    if (frame.size() < length + 6)
        return false;
    const quint16 carried =
        static_cast<quint8>(frame[length + 4]) | (static_cast<quint8>(frame[length + 5]) << 8);
    return bitwiseCrc16(frame.left(length + 4)) == carried;
}

QByteArray withValidCrc(QByteArray frame)
{
    const int crcAt = frame.size() - 3;
    if (crcAt < 0)
        return frame;
    const quint16 crc = bitwiseCrc16(frame.left(crcAt));
    frame[crcAt] = static_cast<char>(crc & 0xFF);
    frame[crcAt + 1] = static_cast<char>(crc >> 8);
    return frame;
}

} // namespace testsupport
