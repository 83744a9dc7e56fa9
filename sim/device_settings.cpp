#include "device_settings.h"

#include <QStringList>

#include <cmath>

namespace sim {

namespace {

constexpr StoredSetting kStoredSettings[] = {
    {"redPowerLevel", &DeviceSettings::redPowerLevel, 255},
    {"qcwDuty", &DeviceSettings::qcwDuty, 255},
    {"pdAlarmThes", &DeviceSettings::pdAlarmThes, 65535},
    {"humiHigh", &DeviceSettings::humiHigh, 255},
    {"pumpCurrentAlarmThes", &DeviceSettings::pumpCurrentAlarmThes, 65535},
    {"inletWaterTempLow", &DeviceSettings::inletWaterTempLow, 255},
    {"inletWaterTempHigh", &DeviceSettings::inletWaterTempHigh, 255},
    {"outletWaterTempLow", &DeviceSettings::outletWaterTempLow, 255},
    {"outletWaterTempHigh", &DeviceSettings::outletWaterTempHigh, 255},
};

} // namespace

const StoredSetting *findStoredSetting(const QString &name)
{
    for (const StoredSetting &s : kStoredSettings)
        if (name == QLatin1String(s.name))
            return &s;
    return nullptr;
}

QString storedSettingNames()
{
    QStringList names;
    for (const StoredSetting &s : kStoredSettings)
        names << QString::fromLatin1(s.name);
    return names.join(QLatin1String(", "));
}

QByteArray factoryCalibTable(int length)
{
    QByteArray table;
    for (int i = 0; i < length; ++i) {
        const double x = length > 1 ? static_cast<double>(i) / (length - 1) : 0.0;
        table.append(static_cast<char>(std::lround(10 + 240 * std::pow(x, 0.9))));
    }
    return table;
}

} // namespace sim
