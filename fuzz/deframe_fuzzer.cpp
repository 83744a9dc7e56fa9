// libFuzzer target for the receive side: arbitrary bytes arrive in arbitrary
// chunks, are cut into frames in every supported way, and every frame is
// decoded. Besides the sanitizers it checks the invariants the link relies on.
//
// Input layout (FuzzedDataProvider): the stream is taken from the front,
// chunk sizes from the back, so plain frame streams make useful seeds.

#include "protocol/data_process.h"
#include "protocol/deframer.h"
#include "protocol/message.h"
#include "protocol/status_record.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QJsonObject>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void broken(const char *what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

bool sameFrames(const QVector<Frame> &a, const QVector<Frame> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].type != b[i].type || a[i].payload != b[i].payload)
            return false;
    }
    return true;
}

int le16(const QByteArray &bytes, int at)
{
    return quint8(bytes.at(at)) | (quint8(bytes.at(at + 1)) << 8);
}

// A plain CRC-16/MODBUS, one table lookup per byte.
quint16 plainCrc16(const unsigned char *p, int size)
{
    static const std::vector<quint16> table = [] {
        std::vector<quint16> t(256);
        for (int b = 0; b < 256; ++b) {
            quint16 crc = quint16(b);
            for (int i = 0; i < 8; ++i)
                crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
            t[std::size_t(b)] = crc;
        }
        return t;
    }();
    quint16 crc = 0xFFFF;
    for (int i = 0; i < size; ++i)
        crc = quint16((crc >> 8) ^ table[(crc ^ p[i]) & 0xFF]);
    return crc;
}

// The receive rules step by step, as the reference for one whole pass.
QVector<Frame> referencePass(QByteArray &buffer)
{
    QVector<Frame> frames;
    const auto *d = reinterpret_cast<const unsigned char *>(buffer.constData());
    const int size = buffer.size();
    int pos = 0;
    for (;;) {
        if (size - pos < 7)
            break;
        while (pos < size && d[pos] != 0xAA)
            ++pos;
        if (size - pos < 7)
            break;
        const int length = d[pos + 1] | (d[pos + 2] << 8);
        const bool valid =
            size - pos >= length + 7 && d[pos + length + 6] == 0x55 &&
            plainCrc16(d + pos, length + 4) == (d[pos + length + 4] | (d[pos + length + 5] << 8)) &&
            d[pos + 3] <= 4;
        if (!valid) {
            ++pos;
            continue;
        }
        frames.append(Frame{d[pos + 3], buffer.mid(pos + 4, length)});
        pos += length + 7;
    }
    buffer.remove(0, pos);
    return frames;
}

// Whether a status payload is long enough for its two counts.
bool statusPayloadComplete(const QByteArray &p)
{
    if (p.size() <= 49)
        return false;
    const int n = le16(p, 32);
    if (p.size() < 36 + n)
        return false;
    const int k = le16(p, 34 + n);
    return p.size() >= 68 + n + k;
}

// Decodes bytes as a status and as a message payload. The bytes are copied to
// a heap block of exactly their size, without the terminating zero that a
// QByteArray keeps, so that AddressSanitizer sees a read one past the end.
void decodePayload(const QByteArray &bytes)
{
    const std::vector<char> exact(bytes.begin(), bytes.end());
    const QByteArray payload = QByteArray::fromRawData(exact.data(), int(exact.size()));

    const std::optional<DevInfoRecord> record = parseDevInfo(payload);
    if (record.has_value() != statusPayloadComplete(payload))
        broken("status payload accepted or rejected wrongly");
    if (record) {
        const QJsonObject o = DataProcess::getInstance()->devInfoToJson(*record);
        if (o.size() != 35)
            broken("status object without 35 keys");
        const double qcw = o.value("qcwFreq").toDouble();
        if (qcw < 1 || qcw >= 100000)
            broken("qcwFreq outside 1..99999");
        if (o.value("chipShortId").toString().size() > 9)
            broken("device number longer than 9 characters");
    }
    const QString text = decodeMessage(payload);
    if (text.size() > payload.size() || text.contains(QChar(0)))
        broken("message text longer than its payload or with a zero");
}

void decodeAll(const QVector<Frame> &frames)
{
    for (const Frame &f : frames) {
        if (f.type > 4)
            broken("frame of a type above 4 delivered");
        decodePayload(f.payload);
    }
}

// After a KeepIncomplete pass: either too few bytes, or a header whose frame
// reaches past the end.
bool keptTailIsIncompleteHeader(const QByteArray &buffer)
{
    if (buffer.size() < 7)
        return true;
    return quint8(buffer.at(0)) == 0xAA && buffer.size() < le16(buffer, 1) + 7;
}

QByteArray fromFirstHeader(const QByteArray &bytes)
{
    const int at = bytes.indexOf(char(0xAA));
    return at < 0 ? QByteArray() : bytes.mid(at);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    QByteArray whole;
    QByteArray dropBuffer;
    QByteArray keepBuffer;
    QVector<Frame> keepFrames;

    while (in.remaining_bytes() > 0) {
        const size_t chunkSize = in.ConsumeIntegralInRange<size_t>(1, 300);
        const std::string chunk = in.ConsumeBytesAsString(chunkSize);
        const QByteArray bytes(chunk.data(), int(chunk.size()));
        whole += bytes;
        dropBuffer += bytes;
        keepBuffer += bytes;

        // unpackFrame, called until it finds nothing, and the reference must
        // match one pass.
        QByteArray referenceBuffer = dropBuffer;
        const QVector<Frame> expected = referencePass(referenceBuffer);
        QByteArray unpackBuffer = dropBuffer;
        QVector<Frame> unpacked;
        for (;;) {
            UnpackResult r = unpackFrame(unpackBuffer);
            if (!r.found)
                break;
            unpacked.append(Frame{r.type, r.payload});
        }
        if (unpackBuffer.size() > 6)
            broken("unpackFrame found nothing with 7 or more bytes left");

        const QVector<Frame> taken = takeFrames(dropBuffer, TailPolicy::DropIncomplete);
        if (dropBuffer.size() > 6)
            broken("more than 6 bytes left after a DropIncomplete pass");
        if (!sameFrames(taken, unpacked) || unpackBuffer != dropBuffer)
            broken("unpackFrame and takeFrames disagree");
        if (!sameFrames(taken, expected) || referenceBuffer != dropBuffer)
            broken("takeFrames differs from the step-by-step reference");
        decodeAll(taken);

        keepFrames += takeFrames(keepBuffer, TailPolicy::KeepIncomplete);
        if (!keptTailIsIncompleteHeader(keepBuffer))
            broken("KeepIncomplete kept something other than an incomplete frame");
    }

    // Waiting for incomplete frames, then a final DropIncomplete pass, gives
    // the frames of one pass over the whole stream. The leftovers may differ
    // only by bytes before a header, which a buffer of fewer than 7 bytes
    // keeps.
    keepFrames += takeFrames(keepBuffer, TailPolicy::DropIncomplete);
    QByteArray referenceBuffer = whole;
    const QVector<Frame> expected = referencePass(referenceBuffer);
    QVector<Frame> oneShot = takeFrames(whole, TailPolicy::DropIncomplete);
    if (!sameFrames(expected, oneShot) || referenceBuffer != whole)
        broken("takeFrames differs from the step-by-step reference");
    if (!sameFrames(keepFrames, oneShot) || fromFirstHeader(keepBuffer) != fromFirstHeader(whole))
        broken("KeepIncomplete stream differs from one pass over all bytes");
    decodeAll(oneShot);

    // Valid frames need a matching CRC, which mutation rarely finds: the
    // decoders also get the raw input as a payload.
    decodePayload(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    return 0;
}
