#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace sim {

// What identifies the simulated controller; fixed for a run.
struct DeviceIdentity {
    int maxPower = 1500;                 // W
    QByteArray chipShortId = "SN240403"; // device number, N bytes
    int reservedLength = 6;              // K, bytes of the block the program skips
    QString firmware = QStringLiteral("V2.3.1");
    bool qcwCapable = true;
    int powerOnMinutes = 1260; // running times at start
    int laserOnMinutes = 312;
    int calibLength = 32; // entries of the calibration table
};

// Everything the commands set; resetParam restores factorySettings().
struct DeviceSettings {
    bool internalMode = true;
    int intDac = 20;       // % peak power
    int intPwmDuty = 50;   // %
    int intPwmFreq = 1000; // Hz
    int intLaserOnMs = 1000;
    int redPowerLevel = 50;
    int qcwDuty = 50;
    int qcwFreq = 1000;
    bool qcwEnable = false;
    int pdAlarmThes = 30;                                // % of the expected photodiode reading
    int humiHigh = 80;                                   // %Rh
    int pumpCurrentAlarmThes = 10;                       // tenths of an ampere, while not emitting
    int inletWaterTempLow = 15, inletWaterTempHigh = 35; // degrees
    int outletWaterTempLow = 15, outletWaterTempHigh = 40; // degrees
};

inline DeviceSettings factorySettings()
{
    return {};
}

// A stored alarm threshold or QCW value by its status-record name, as a
// service tool writes it into the controller: any value its status field
// carries, also one the program's set command cannot send (a water limit of
// 5 or 60, an inverted window). Null for an unknown name.
struct StoredSetting {
    const char *name;
    int DeviceSettings::*field;
    int max; // the largest value of its status field
};
const StoredSetting *findStoredSetting(const QString &name);
// The names, for help texts.
QString storedSettingNames();

// The calibration table a new controller holds: a gentle rising curve.
QByteArray factoryCalibTable(int length);

} // namespace sim
