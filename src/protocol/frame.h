#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>

// Layout of the frames on the serial line, both directions.
//
// Outgoing (tool -> controller), payload of n bytes:
//   AA | n+5 (LE16) | code | 00 | n (LE16) | payload | crc16 (LE) | 55
// Incoming (controller -> tool), payload of L bytes:
//   AA | L (LE16) | type | payload | crc16 (LE) | 55
namespace frame {
constexpr quint8 kHeader = 0xAA;
constexpr quint8 kTrailer = 0x55;
constexpr int kOutgoingOverhead = 10;
constexpr int kIncomingOverhead = 7;
// n + 5 must fit the 16-bit frame length field.
constexpr int kMaxOutgoingPayload = 65530;
constexpr quint8 kMaxFrameType = 4;
} // namespace frame

enum class CommandCode : quint8 {
    SetCtrlMod = 0x02,
    SetIntCtrlParam = 0x03,
    SetLaserState = 0x04,
    SetAdvancedParam = 0x07,
    SetCalib = 0x09,
    QueryVersion = 0x0A,
    QueryCalibTable = 0x0B,
    QueryUseTime = 0x0C,
    ResetParam = 0x0E,
};

// Types 0 and 2 are valid but carry nothing this program uses.
enum class FrameType : quint8 {
    Status = 1,
    Message = 3,
    CalibTable = 4,
};

// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.
quint16 crc16(const char *data, std::size_t size);
// The 256-entry byte table of the reflected polynomial, for range arithmetic.
const quint16 *crc16Table();
inline quint16 crc16(const QByteArray &bytes)
{
    return crc16(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Builds a complete outgoing frame. Returns an empty array when the payload is
// longer than frame::kMaxOutgoingPayload, as its length could not be expressed.
QByteArray packFrame(quint8 command, const QByteArray &payload);
inline QByteArray packFrame(CommandCode command, const QByteArray &payload)
{
    return packFrame(static_cast<quint8>(command), payload);
}
