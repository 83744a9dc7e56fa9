#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The fixed-layout controller status, copied field by field from a status
// frame's payload (little-endian). Scaling happens later, in devInfoToJson.
struct DevInfoRecord {
    quint16 alarmState = 0;
    quint8 intDac = 0;
    quint8 intPwmDuty = 0;
    quint16 intPwmFreq = 0;
    quint16 intLaserOnMs = 0;
    qint16 ambientHumi = 0;
    qint16 ambientTemp = 0;
    quint16 pumpCurrent[4] = {};
    quint16 redCurrent = 0;
    qint16 inletWaterTemp = 0;
    qint16 outletWaterTemp = 0;
    quint16 opticalVals[2] = {};
    quint16 maxPower = 0;
    char chipShortId[10] = {};
    quint8 mode = 0;
    quint8 framGood = 0;
    quint8 rtcGood = 0;
    quint8 laserOutputting = 0;
    quint8 qbhLink = 0;
    quint8 waterLink = 0;
    quint8 emergencyStop = 0;
    quint8 bleState = 0;
    quint8 redPowerLevel = 0;
    quint8 qcwDuty = 0;
    qint32 qcwFreq = 0;
    quint8 qcwEnable = 0;
    quint16 pdAlarmThes = 0;
    quint8 humiHigh = 0;
    quint16 pumpCurrentAlarmThes = 0;
    quint8 inletWaterTempLow = 0;
    quint8 inletWaterTempHigh = 0;
    quint8 outletWaterTempLow = 0;
    quint8 outletWaterTempHigh = 0;
    quint8 rtcTime[6] = {};
    quint8 db25Power = 0;
};

namespace status {
// Payloads of this size or less are not status records.
constexpr int kMinPayloadExclusive = 49;
// Fixed bytes around the two counted blocks: the payload is this + N + K long.
constexpr int kFixedSize = 68;
// The device number keeps at most this many bytes (plus a terminating zero).
constexpr int kMaxChipIdBytes = 9;
} // namespace status

// Decodes a status payload. Fails (no value) when the payload is 49 bytes or
// shorter, or shorter than its two counted blocks require: nothing is read
// beyond the payload and no field is made up. A device number longer than 9
// bytes keeps its first 9.
std::optional<DevInfoRecord> parseDevInfo(const QByteArray &payload);

// The qcwFreq delivery rule: the remainder modulo 100000 (sign of the value),
// or 1 when that is below 1.
qint32 normalizedQcwFreq(qint32 raw);
