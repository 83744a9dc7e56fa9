#pragma once

// Frames as the controller sends them, written from the wire format alone:
// the tests and benchmarks compare the program's decoding against these, so
// nothing here may call the program's own frame or CRC code.
//
//   AA | L (LE16) | type | payload (L bytes) | crc16 (LE) | 55
//
// The CRC (CRC-16/MODBUS) covers the header, the length, the type and the payload.

#include <QByteArray>
#include <QtGlobal>

namespace testsupport {

// CRC-16/MODBUS one bit at a time: the slowest and most obvious form.
quint16 bitwiseCrc16(const QByteArray &bytes);

void appendLe16(QByteArray &out, quint16 value);

// An incoming (controller-to-program) frame with a correct CRC.
QByteArray incomingFrame(quint8 type, const QByteArray &payload);

// Whether a frame laid out as above carries the CRC of its first bytes. Reads
// the length from the frame; false when the frame is shorter than that length says.
bool frameCrcMatches(const QByteArray &frame);

// The frame with its CRC (the two bytes before the last) made right again for
// the bytes in front of it, so that a changed header field is the only fault.
QByteArray withValidCrc(QByteArray frame);

} // namespace testsupport
