#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

namespace sim {

// The controller's status as it goes on the wire, in raw units.
struct StatusFields {
    quint16 alarmState = 0;
    quint8 intDac = 0;
    quint8 intPwmDuty = 0;
    quint16 intPwmFreq = 0;
    quint16 intLaserOnMs = 0;
    qint16 ambientHumi = 0;
    qint16 ambientTemp = 0;               // tenths of a degree
    std::array<quint16, 4> pumpCurrent{}; // mA
    quint16 redCurrent = 0;               // mA
    qint16 inletWaterTemp = 0;            // tenths of a degree
    qint16 outletWaterTemp = 0;           // tenths of a degree
    std::array<quint16, 2> opticalVals{};
    quint16 maxPower = 0;
    QByteArray chipShortId;   // N bytes, sent as they are
    QByteArray reservedBlock; // K bytes, opaque to the program
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
    std::array<quint8, 6> rtcTime{}; // year - 2000, month, day, hour, minute, second
    quint8 db25Power = 0;
};

// The status payload: 68 + N + K bytes, multi-byte fields little-endian.
QByteArray encodeStatusPayload(const StatusFields &s);

} // namespace sim
