#include "alarm_logic.h"

namespace sim {

quint16 evaluateAlarms(const AlarmInputs &in)
{
    quint16 word = ALARM_OK;
    if (in.ambientHumi > in.humiHigh)
        word |= ALARM_HUMI_OVERHIGH;
    if (!in.bleReady)
        word |= ALARM_BLE_ERROR;
    if (!in.qbhLink)
        word |= ALARM_QBH_LINK;
    if (!in.waterLink)
        word |= ALARM_WATER_LINK;
    if (in.inletWaterTemp > in.inletHigh * 10)
        word |= ALARM_IN_WATER_H;
    if (in.inletWaterTemp < in.inletLow * 10)
        word |= ALARM_IN_WATER_L;
    if (in.outletWaterTemp > in.outletHigh * 10)
        word |= ALARM_OUT_WATER_H;
    if (in.outletWaterTemp < in.outletLow * 10)
        word |= ALARM_OUT_WATER_L;
    // Light is missing when the photodiode gives less than the threshold share
    // of what the commanded output should give; without expected light there
    // is nothing to miss.
    if (in.emitting && in.pdExpected > 0 &&
        static_cast<qint64>(in.pdMeasured) * 100 <
            static_cast<qint64>(in.pdExpected) * in.pdAlarmThes)
        word |= ALARM_PD_ERROR;
    if (!in.emitting && in.maxPumpCurrentMa > in.pumpCurrentAlarmThes * 100)
        word |= ALARM_DRV_CURRENT_ERROR;
    if (in.emergencyStop)
        word |= ALARM_EMERGENCY_STOP;
    return word;
}

} // namespace sim
