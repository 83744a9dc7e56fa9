#include "range_crc.h"

#include "frame.h"

#include <array>

namespace {

// Ranges shorter than this are cheaper to compute directly.
constexpr int kDirectLimit = 512;
constexpr int kPowers = 17; // ranges up to 65539 bytes (a whole frame minus trailer)

struct ZeroAdvance {
    // advance[k] applies "process 2^k zero bytes" to a register, as two
    // lookups on its low and high byte.
    std::array<std::array<quint16, 256>, kPowers> low{}, high{};

    quint16 apply(int k, quint16 x) const { return low[k][x & 0xFF] ^ high[k][x >> 8]; }

    ZeroAdvance()
    {
        const quint16 *table = crc16Table();
        auto oneZeroByte = [table](quint16 x) {
            return static_cast<quint16>((x >> 8) ^ table[x & 0xFF]);
        };
        for (int b = 0; b < 256; ++b) {
            low[0][b] = oneZeroByte(static_cast<quint16>(b));
            high[0][b] = oneZeroByte(static_cast<quint16>(b << 8));
        }
        for (int k = 1; k < kPowers; ++k)
            for (int b = 0; b < 256; ++b) {
                low[k][b] = apply(k - 1, apply(k - 1, static_cast<quint16>(b)));
                high[k][b] = apply(k - 1, apply(k - 1, static_cast<quint16>(b << 8)));
            }
    }

    quint16 advance(quint16 x, int n) const
    {
        for (int k = 0; n; ++k, n >>= 1)
            if (n & 1)
                x = apply(k, x);
        return x;
    }
};

const ZeroAdvance &zeroAdvance()
{
    static const ZeroAdvance instance;
    return instance;
}

} // namespace

quint16 RangeCrc::crc(int begin, int end)
{
    const int length = end - begin;
    if (length < kDirectLimit || length >= (1 << kPowers))
        return crc16(buffer.constData() + begin, std::size_t(length));

    if (prefix.empty()) {
        prefix.reserve(std::size_t(buffer.size()) + 1);
        prefix.push_back(0);
    }
    if (int(prefix.size()) <= end) {
        const quint16 *table = crc16Table();
        const auto *data = reinterpret_cast<const unsigned char *>(buffer.constData());
        quint16 reg = prefix.back();
        for (int i = int(prefix.size()) - 1; i < end; ++i) {
            reg = static_cast<quint16>((reg >> 8) ^ table[(reg ^ data[i]) & 0xFF]);
            prefix.push_back(reg);
        }
    }
    // register(from 0xFFFF over [begin, end)) = A^n(0xFFFF ^ P(begin)) ^ P(end)
    const quint16 start = static_cast<quint16>(0xFFFF ^ prefix[std::size_t(begin)]);
    return zeroAdvance().advance(start, length) ^ prefix[std::size_t(end)];
}
