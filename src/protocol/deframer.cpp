#include "deframer.h"

#include "frame.h"
#include "range_crc.h"

#include <cstring>

namespace {

// Scans from pos for the next valid frame. On success fills out, moves pos
// past the frame and returns true. Otherwise leaves pos at the first byte
// that must stay in the buffer and returns false.
bool scanFrame(const QByteArray &buffer, RangeCrc &crcs, int &pos, TailPolicy policy, Frame *out)
{
    const auto *data = reinterpret_cast<const unsigned char *>(buffer.constData());
    const int size = buffer.size();
    while (size - pos >= frame::kIncomingOverhead) {
        if (data[pos] != frame::kHeader) {
            const void *next = std::memchr(data + pos, frame::kHeader, size_t(size - pos));
            pos = next ? int(static_cast<const unsigned char *>(next) - data) : size;
            continue;
        }
        const int remaining = size - pos;
        const int length = data[pos + 1] | (data[pos + 2] << 8);
        const int frameSize = length + frame::kIncomingOverhead;
        if (remaining < frameSize) {
            if (policy == TailPolicy::KeepIncomplete)
                return false;
            ++pos;
            continue;
        }
        const unsigned char *f = data + pos;
        if (f[length + 6] != frame::kTrailer) {
            ++pos;
            continue;
        }
        // The type is checked before the CRC only because it is cheaper: both
        // failures drop the same single byte.
        const quint16 expected = static_cast<quint16>(f[length + 4] | (f[length + 5] << 8));
        if (f[3] > frame::kMaxFrameType || crcs.crc(pos, pos + length + 4) != expected) {
            ++pos;
            continue;
        }
        out->type = f[3];
        out->payload = buffer.mid(pos + 4, length);
        pos += frameSize;
        return true;
    }
    return false;
}

} // namespace

UnpackResult unpackFrame(QByteArray &buffer)
{
    int pos = 0;
    Frame f;
    RangeCrc crcs(buffer);
    UnpackResult result;
    result.found = scanFrame(buffer, crcs, pos, TailPolicy::DropIncomplete, &f);
    if (result.found) {
        result.type = f.type;
        result.payload = f.payload;
    }
    buffer.remove(0, pos);
    return result;
}

QVector<Frame> takeFrames(QByteArray &buffer, TailPolicy policy)
{
    QVector<Frame> frames;
    int pos = 0;
    Frame f;
    RangeCrc crcs(buffer);
    while (scanFrame(buffer, crcs, pos, policy, &f))
        frames.append(std::move(f));
    buffer.remove(0, pos);
    return frames;
}
