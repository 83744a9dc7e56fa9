#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

namespace sim {

// A command frame as cut from the line: its code and payload.
struct RawCommand {
    quint8 code = 0;
    QByteArray payload;
};

// Cuts command frames out of the bytes the program sends:
//   AA | n+5 (LE16) | code | 00 | n (LE16) | payload | crc16 (LE) | 55
// Like a controller's UART handler it waits for the rest of a frame that has
// only partly arrived, but gives the partial frame up after a quiet gap, so a
// stray 0xAA cannot stall the line.
class CommandParser {
public:
    // Longest payload a controller would buffer; a header claiming more is noise.
    static constexpr int kMaxPayload = 1024;
    // A partial frame older than this is dropped when new bytes arrive.
    static constexpr qint64 kStaleMs = 200;

    // Adds bytes received at nowMs and returns every complete frame, in order.
    QVector<RawCommand> feed(const QByteArray &bytes, qint64 nowMs);

    // Bytes thrown away so far (noise, corrupt or stale frames).
    qint64 discardedBytes() const { return discarded_; }
    int pendingBytes() const { return buffer_.size(); }

private:
    enum class Check { Frame, Incomplete, Bad };
    Check checkFront(int &frameSize) const;
    void drop(int count);

    QByteArray buffer_;
    qint64 lastFeedMs_ = 0;
    qint64 discarded_ = 0;
};

} // namespace sim
