#include "line_writer.h"

#include "line_faults.h"
#include "transport.h"

namespace sim {

LineWriter::LineWriter(Transport *transport, quint32 seed, QObject *parent)
    : QObject(parent)
    , transport_(transport)
    , rng_(seed)
{
    chunkTimer_.setSingleShot(true);
    connect(&chunkTimer_, &QTimer::timeout, this, &LineWriter::writeNextChunk);
    fillerTimer_.setInterval(kFillerIntervalMs);
    connect(&fillerTimer_, &QTimer::timeout, this, &LineWriter::fill);
}

void LineWriter::fill()
{
    // Only between frames: a byte inside one would corrupt it, not delay it.
    if (midFrame_) {
        fillerDue_ = true;
        return;
    }
    fillerDue_ = false;
    // A byte that can never start a frame keeps the receiver waiting.
    transport_->write(QByteArray(1, '\0'));
}

void LineWriter::setChunking(int chunkSize, int gapMs)
{
    chunkSize_ = qMax(0, chunkSize);
    chunkGapMs_ = qMax(0, gapMs);
}

void LineWriter::setNoPause(bool on)
{
    if (on)
        fillerTimer_.start();
    else
        fillerTimer_.stop();
    fillerDue_ = false;
}

void LineWriter::clear()
{
    chunks_.clear();
    chunkTimer_.stop();
    midFrame_ = false;
    fillerDue_ = false;
}

void LineWriter::send(const QByteArray &frame)
{
    QByteArray bytes;
    if (garbage_)
        bytes = linefault::garbageBurst(rng_, garbageIndex_++);
    bytes.append(frame);
    if (chunkSize_ <= 0 && chunks_.isEmpty()) {
        transport_->write(bytes);
        return;
    }
    const QVector<QByteArray> pieces =
        linefault::splitChunks(bytes, chunkSize_ > 0 ? chunkSize_ : bytes.size());
    for (int i = 0; i < pieces.size(); ++i)
        chunks_.enqueue({pieces[i], i == pieces.size() - 1});
    if (!chunkTimer_.isActive())
        writeNextChunk();
}

void LineWriter::writeNextChunk()
{
    if (chunks_.isEmpty())
        return;
    const Piece piece = chunks_.dequeue();
    transport_->write(piece.bytes);
    midFrame_ = !piece.endsFrame;
    if (!midFrame_ && fillerDue_ && fillerTimer_.isActive())
        fill();
    if (!chunks_.isEmpty())
        chunkTimer_.start(chunkGapMs_);
}

} // namespace sim
