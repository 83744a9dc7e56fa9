#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <vector>

// CRC-16/MODBUS of arbitrary ranges of one buffer, each in O(log n) after a
// single linear pass that is made only when a long range is first asked for.
//
// The de-framer checks the CRC of every candidate header whose trailer byte
// happens to match; a crafted stream can make that a CRC over up to 64 KiB for
// every few bytes, which would hold the port lock for seconds. The register is
// linear over GF(2), so a range's CRC follows from two prefix registers and
// "advance by n zero bytes", which is applied with precomputed powers.
class RangeCrc {
public:
    explicit RangeCrc(const QByteArray &buffer)
        : buffer(buffer)
    {
    }

    // crc16 of buffer[begin, end).
    quint16 crc(int begin, int end);

private:
    const QByteArray &buffer;
    // prefix[i]: the register after buffer[0, i) starting from zero.
    std::vector<quint16> prefix;
};
