#pragma once

// Helpers shared by the protocol tests, written from the wire format alone so
// that the production code can be compared against them. The frame encoder
// and the CRC are shared with the other tests (tests/support).

#include "frame_encoding.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QtGlobal>

#include <cstdlib>

namespace testsupport {

inline quint8 byteAt(const QByteArray &bytes, int i)
{
    return static_cast<quint8>(bytes.at(i));
}

inline void xorByte(QByteArray &bytes, int i, int mask)
{
    bytes[i] = static_cast<char>(byteAt(bytes, i) ^ mask);
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
