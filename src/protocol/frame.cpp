#include "frame.h"

#include <array>

namespace {

constexpr quint16 kPolynomial = 0xA001;

// tables[k][b]: the register after byte b followed by k zero bytes, starting
// from zero. Eight tables let the main loop fold eight bytes per step.
struct CrcTables {
    std::array<std::array<quint16, 256>, 8> t{};
    constexpr CrcTables()
    {
        for (int b = 0; b < 256; ++b) {
            quint16 crc = static_cast<quint16>(b);
            for (int i = 0; i < 8; ++i)
                crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ kPolynomial)
                                : static_cast<quint16>(crc >> 1);
            t[0][b] = crc;
        }
        for (int k = 1; k < 8; ++k)
            for (int b = 0; b < 256; ++b)
                t[k][b] = static_cast<quint16>((t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF]);
    }
};

constexpr CrcTables kTables;

} // namespace

const quint16 *crc16Table()
{
    return kTables.t[0].data();
}

quint16 crc16(const char *data, std::size_t size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const auto &t = kTables.t;
    quint16 crc = 0xFFFF;
    while (size >= 8) {
        const quint16 x = crc ^ static_cast<quint16>(p[0] | (p[1] << 8));
        crc = t[7][x & 0xFF] ^ t[6][x >> 8] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^
              t[1][p[6]] ^ t[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size--)
        crc = static_cast<quint16>((crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF]);
    return crc;
}

QByteArray packFrame(quint8 command, const QByteArray &payload)
{
    if (payload.size() > frame::kMaxOutgoingPayload)
        return {};
    const auto n = static_cast<quint16>(payload.size());
    const auto length = static_cast<quint16>(n + 5);

    QByteArray out;
    out.reserve(payload.size() + frame::kOutgoingOverhead);
    out.append(static_cast<char>(frame::kHeader));
    out.append(static_cast<char>(length & 0xFF));
    out.append(static_cast<char>(length >> 8));
    out.append(static_cast<char>(command));
    out.append('\0');
    out.append(static_cast<char>(n & 0xFF));
    out.append(static_cast<char>(n >> 8));
    out.append(payload);
    const quint16 crc = crc16(out);
    out.append(static_cast<char>(crc & 0xFF));
    out.append(static_cast<char>(crc >> 8));
    out.append(static_cast<char>(frame::kTrailer));
    return out;
}
