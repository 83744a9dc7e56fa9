#pragma once

#include <QtGlobal>

namespace sim {

// Codes of the status word alarmState. Bit 15 marks an alarm at which emission
// must stop; the other bits name the alarm.
enum AlarmMask : quint16 {
    ALARM_OK = 0,
    ALARM_HUMI_OVERHIGH = 0x0001,
    ALARM_BLE_ERROR = 0x0002,
    ALARM_NEEW_STOP = 0x8000,
    ALARM_QBH_LINK = 0x8010,
    ALARM_WATER_LINK = 0x8020,
    ALARM_IN_WATER_H = 0x8100,
    ALARM_IN_WATER_L = 0x8200,
    ALARM_OUT_WATER_H = 0x8400,
    ALARM_OUT_WATER_L = 0x8800,
    ALARM_PD_ERROR = 0x9000,
    ALARM_DRV_CURRENT_ERROR = 0xA000,
    ALARM_EMERGENCY_STOP = 0xC000,
    ALARM_IMPORTANT_MASK = 0x7FF0,
};

// Everything the alarm word depends on, in the units of the status record.
struct AlarmInputs {
    int ambientHumi = 0;                // %Rh
    int humiHigh = 100;                 // %Rh
    int inletWaterTemp = 0;             // tenths of a degree
    int outletWaterTemp = 0;            // tenths of a degree
    int inletLow = 0, inletHigh = 50;   // whole degrees
    int outletLow = 0, outletHigh = 50; // whole degrees
    bool qbhLink = true;
    bool waterLink = true;
    bool emergencyStop = false;
    bool bleReady = true;
    bool emitting = false;
    // Photodiode reading against the reading the present output should give.
    int pdMeasured = 0;
    int pdExpected = 0;
    int pdAlarmThes = 0; // % of the expected reading below which light counts as missing
    int maxPumpCurrentMa = 0;
    int pumpCurrentAlarmThes = 0; // tenths of an ampere
};

// The alarm word for these inputs. Limits are exclusive: a value equal to a
// limit is still in its window.
quint16 evaluateAlarms(const AlarmInputs &in);

// True when the word holds an alarm that stops emission.
inline bool isStoppingAlarm(quint16 word)
{
    return (word & ALARM_NEEW_STOP) != 0;
}

} // namespace sim
