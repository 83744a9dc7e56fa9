#include "bench_inputs.h"

#include "frame_encoding.h"

#include <QRandomGenerator>

namespace benchinput {

QByteArray statusPayload()
{
    return QByteArray::fromHex("0201 3750 E803 AAFA 2D00 E7FF 50C3 D204 0000 FFFF 2C01 EB00 FFFF"
                               "3412 FFFF B80B 0800 4C53313233343541 0600 DEADBEEFAA55"
                               "0177 01000101000102 6432 9A870100 01 5000 5A CDAB 0A280C2D"
                               "1A0C0706102A 63");
}

QByteArray statusStream(int size)
{
    const QByteArray one = testsupport::incomingFrame(1, statusPayload());
    QByteArray stream;
    stream.reserve(size + one.size());
    while (stream.size() < size)
        stream += one;
    return stream;
}

QByteArray adversarial(Pattern pattern, int size)
{
    QByteArray out;
    out.reserve(size + 128);
    auto repeat = [&](const QByteArray &period) {
        while (out.size() < size)
            out += period;
    };
    switch (pattern) {
    case Pattern::AaRun:
        out.fill(char(0xAA), size);
        break;
    case Pattern::FarHeaders:
        repeat(QByteArray::fromHex("AAFFFF01"));
        break;
    case Pattern::BadCrcFrames: {
        QByteArray bad = testsupport::incomingFrame(1, statusPayload());
        bad[bad.size() - 3] = char(bad.at(bad.size() - 3) ^ 0x01);
        repeat(bad);
        break;
    }
    case Pattern::RandomBytes: {
        QRandomGenerator rng(42);
        out.resize(size);
        for (int i = 0; i < size; ++i)
            out[i] = char(rng.bounded(256));
        break;
    }
    case Pattern::CrcForcing4K:
        repeat(QByteArray::fromHex("AA011055"));
        break;
    case Pattern::CrcForcing64K:
        repeat(QByteArray::fromHex("AAFDFF55"));
        break;
    }
    out.truncate(size);
    return out;
}

} // namespace benchinput
