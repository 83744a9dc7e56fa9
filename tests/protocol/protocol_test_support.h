#pragma once

// Helpers shared by the protocol tests, written from the wire format alone so
// that the production code can be compared against them.

#include <QByteArray>
#include <QRandomGenerator>
#include <QtGlobal>

#include <cstdlib>

namespace testsupport {

// CRC-16/MODBUS one bit at a time: the slowest and most obvious form.
inline quint16 bitwiseCrc16(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= static_cast<quint8>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

inline quint8 byteAt(const QByteArray &bytes, int i)
{
    return static_cast<quint8>(bytes.at(i));
}

inline void xorByte(QByteArray &bytes, int i, int mask)
{
    bytes[i] = static_cast<char>(byteAt(bytes, i) ^ mask);
}

inline void appendLe16(QByteArray &out, quint16 value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>(value >> 8));
}

// An incoming frame: AA | L (LE16) | type | payload | crc (LE) | 55.
inline QByteArray incomingFrame(quint8 type, const QByteArray &payload)
{
    QByteArray f(1, '\xAA');
    appendLe16(f, quint16(payload.size()));
    f.append(static_cast<char>(type));
    f.append(payload);
    appendLe16(f, bitwiseCrc16(f));
    f.append('\x55');
    return f;
}

inline QByteArray hexBytes(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

inline QByteArray randomBytes(QRandomGenerator &rng, int count)
{
    QByteArray out(count, '\0');
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<char>(rng.bounded(256));
    return out;
}

// Fixed by default so that a failure can be replayed; ORRINDEL_TEST_SEED
// explores other sequences.
inline quint32 testSeed(quint32 fallback)
{
    const char *env = std::getenv("ORRINDEL_TEST_SEED");
    return env ? static_cast<quint32>(std::strtoul(env, nullptr, 0)) : fallback;
}

} // namespace testsupport
