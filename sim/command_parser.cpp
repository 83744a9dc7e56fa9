#include "command_parser.h"

#include "protocol/frame.h"

namespace sim {
namespace {

constexpr int kHeaderSize = 7;
constexpr int kOverhead = 10;

quint16 le16(const QByteArray &b, int at)
{
    return static_cast<quint16>(static_cast<quint8>(b[at]) | (static_cast<quint8>(b[at + 1]) << 8));
}

} // namespace

void CommandParser::drop(int count)
{
    buffer_.remove(0, count);
    discarded_ += count;
}

CommandParser::Check CommandParser::checkFront(int &frameSize) const
{
    // The caller guarantees buffer_[0] == 0xAA.
    if (buffer_.size() < kHeaderSize)
        return Check::Incomplete;
    const int frameLength = le16(buffer_, 1);
    const int n = le16(buffer_, 5);
    if (frameLength != n + 5 || n > kMaxPayload || buffer_[4] != 0)
        return Check::Bad;
    frameSize = n + kOverhead;
    if (buffer_.size() < frameSize)
        return Check::Incomplete;
    if (static_cast<quint8>(buffer_[frameSize - 1]) != frame::kTrailer)
        return Check::Bad;
    const quint16 crc = crc16(buffer_.constData(), static_cast<std::size_t>(kHeaderSize + n));
    if (crc != le16(buffer_, kHeaderSize + n))
        return Check::Bad;
    return Check::Frame;
}

QVector<RawCommand> CommandParser::feed(const QByteArray &bytes, qint64 nowMs)
{
    if (!buffer_.isEmpty() && nowMs - lastFeedMs_ > kStaleMs)
        drop(buffer_.size());
    lastFeedMs_ = nowMs;
    buffer_.append(bytes);

    QVector<RawCommand> out;
    while (!buffer_.isEmpty()) {
        const int header = buffer_.indexOf(static_cast<char>(frame::kHeader));
        if (header < 0) {
            drop(buffer_.size());
            break;
        }
        drop(header);
        int size = 0;
        const Check check = checkFront(size);
        if (check == Check::Incomplete)
            break;
        if (check == Check::Bad) {
            // Only the header goes: a real frame may start inside the rejected bytes.
            drop(1);
            continue;
        }
        out.append({static_cast<quint8>(buffer_[3]), buffer_.mid(kHeaderSize, size - kOverhead)});
        buffer_.remove(0, size);
    }
    return out;
}

} // namespace sim
