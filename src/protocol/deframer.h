#pragma once

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// Cutting incoming frames out of the receive buffer.
//
// Rules, applied at the front of the buffer until no frame is left:
//  - fewer than 7 bytes: stop, the bytes stay;
//  - drop bytes up to the next 0xAA (stop if fewer than 7 are then left);
//  - a header whose frame is incomplete, has no 0x55 trailer, a wrong CRC or a
//    type above 4 loses only its 0xAA, so a header inside it is tried next;
//  - a valid frame is removed whole and delivered.

struct Frame {
    quint8 type = 0;
    QByteArray payload;
};

struct UnpackResult {
    bool found = false;
    quint8 type = 0;
    QByteArray payload;
};

enum class TailPolicy {
    // A frame cut off by the end of the buffer counts as corrupt.
    DropIncomplete,
    // A header whose frame would reach past the end is kept for later bytes:
    // used when the buffer must be drained while the line is still busy.
    KeepIncomplete,
};

// Finds the next valid frame at the front of the buffer, removing what it
// discards and the frame itself. found is false only when fewer than 7 bytes
// are left.
UnpackResult unpackFrame(QByteArray &buffer);

// One whole de-framing pass in linear time: every frame in arrival order, with
// the buffer compacted once at the end. Leaves exactly what repeated
// unpackFrame calls would leave (under DropIncomplete).
QVector<Frame> takeFrames(QByteArray &buffer, TailPolicy policy = TailPolicy::DropIncomplete);
