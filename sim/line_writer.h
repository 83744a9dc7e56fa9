#pragma once

#include <QByteArray>
#include <QObject>
#include <QQueue>
#include <QRandomGenerator>
#include <QTimer>

namespace sim {

class Transport;

// Puts frames on the line, applying the line faults that are switched on:
// chunking with short gaps, garbage between frames, and a filler stream that
// never leaves the line quiet.
class LineWriter : public QObject {
    Q_OBJECT
public:
    explicit LineWriter(Transport *transport, quint32 seed = 1, QObject *parent = nullptr);

    void send(const QByteArray &frame);
    // Drops bytes still queued (e.g. when the client went away).
    void clear();

    // chunkSize 0 sends every frame in one write.
    void setChunking(int chunkSize, int gapMs);
    void setGarbage(bool on) { garbage_ = on; }
    void setNoPause(bool on);

    int chunkSize() const { return chunkSize_; }
    int chunkGapMs() const { return chunkGapMs_; }
    bool garbage() const { return garbage_; }
    bool noPause() const { return fillerTimer_.isActive(); }

    // Longest gap of the filler stream; well under the receiver's 75 ms.
    static constexpr int kFillerIntervalMs = 25;

private:
    struct Piece {
        QByteArray bytes;
        bool endsFrame; // the last piece of what one send() put on the line
    };

    void writeNextChunk();
    void fill();

    Transport *transport_;
    QRandomGenerator rng_;
    int chunkSize_ = 0;
    int chunkGapMs_ = 10;
    bool garbage_ = false;
    int garbageIndex_ = 0;
    QQueue<Piece> chunks_;
    // A frame is half on the line: a filler byte now would land inside it.
    bool midFrame_ = false;
    // A filler byte that fell due inside a frame, sent right after it.
    bool fillerDue_ = false;
    QTimer chunkTimer_;
    QTimer fillerTimer_;
};

} // namespace sim
