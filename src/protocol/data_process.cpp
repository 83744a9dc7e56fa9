#include "data_process.h"

#include "common/single_instance.h"
#include "frame.h"

#include <QDebug>
#include <QJsonArray>

#include <cmath>

namespace {

constexpr int kPercentModulus = 101;
constexpr int kWaterLimitModulus = 51;

void appendBigEndian16(QByteArray &out, quint16 value)
{
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value & 0xFF));
}

char percent(quint8 value)
{
    return static_cast<char>(value % kPercentModulus);
}
char waterLimit(quint8 value)
{
    return static_cast<char>(value % kWaterLimitModulus);
}
char flag(bool value)
{
    return value ? '\x01' : '\x00';
}

// A calibration entry: numbers by their integer value, anything else as 0.
qint64 calibEntryValue(const QVariant &entry)
{
    switch (static_cast<QMetaType::Type>(entry.userType())) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return entry.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = entry.toDouble();
        return std::isfinite(d) && std::fabs(d) < 9.2e18 ? static_cast<qint64>(d) : 0;
    }
    default:
        return 0;
    }
}

QJsonArray toArray(const quint16 *values, int count, double scale = 1.0)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(scale == 1.0 ? double(values[i]) : values[i] * scale);
    return array;
}

} // namespace

DataProcess *DataProcess::getInstance()
{
    return SingleInstance<DataProcess>::get();
}

QByteArray DataProcess::setCtrlMod(bool intCtrl)
{
    return packFrame(CommandCode::SetCtrlMod, QByteArray(1, flag(intCtrl)));
}

QByteArray DataProcess::setLaserState(bool state)
{
    return packFrame(CommandCode::SetLaserState, QByteArray(1, flag(state)));
}

QByteArray DataProcess::setIntCtrlParam(quint8 power, quint8 duty, quint16 freq, quint16 openMs)
{
    QByteArray payload;
    payload.append(percent(power));
    payload.append(percent(duty));
    appendBigEndian16(payload, freq);
    appendBigEndian16(payload, openMs);
    return packFrame(CommandCode::SetIntCtrlParam, payload);
}

QByteArray DataProcess::setAdvancedParam(quint8 qcwDuty, quint16 qcwFreq, bool qcwEnable,
                                         quint8 redLevel, quint16 pdThes, quint8 humiThes,
                                         quint16 pumpThes, quint8 inTempLow, quint8 inTempHigh,
                                         quint8 outTempLow, quint8 outTempHigh)
{
    QByteArray payload;
    payload.append(static_cast<char>(qcwDuty));
    appendBigEndian16(payload, qcwFreq);
    payload.append(flag(qcwEnable));
    payload.append(percent(redLevel));
    appendBigEndian16(payload, pdThes);
    payload.append(percent(humiThes));
    appendBigEndian16(payload, pumpThes);
    payload.append(waterLimit(inTempLow));
    payload.append(waterLimit(inTempHigh));
    payload.append(waterLimit(outTempLow));
    payload.append(waterLimit(outTempHigh));
    qDebug() << "red:" << redLevel % kPercentModulus;
    qDebug() << "qcwFreq:" << qcwFreq;
    return packFrame(CommandCode::SetAdvancedParam, payload);
}

QByteArray DataProcess::queryVersion()
{
    return packFrame(CommandCode::QueryVersion, {});
}

QByteArray DataProcess::setCalib(QVariantList list)
{
    QByteArray payload;
    payload.reserve(list.size());
    for (const QVariant &entry : list)
        payload.append(static_cast<char>(calibEntryValue(entry) & 0xFF));
    return packFrame(CommandCode::SetCalib, payload);
}

QByteArray DataProcess::queryCalibTable()
{
    return packFrame(CommandCode::QueryCalibTable, {});
}

QByteArray DataProcess::queryUseTime()
{
    return packFrame(CommandCode::QueryUseTime, {});
}

QByteArray DataProcess::resetParam()
{
    return packFrame(CommandCode::ResetParam, {});
}

QJsonObject DataProcess::devInfoToJson(const DevInfoRecord &r) const
{
    QJsonObject o;
    o.insert("alarmState", r.alarmState);
    o.insert("intDac", r.intDac);
    o.insert("intPwmDuty", r.intPwmDuty);
    o.insert("intPwmFreq", r.intPwmFreq);
    o.insert("intLaserOnMs", r.intLaserOnMs);
    o.insert("ambientHumi", r.ambientHumi);
    o.insert("ambientTemp", r.ambientTemp * 0.1);
    o.insert("pumpCurrent", toArray(r.pumpCurrent, 4, 0.001));
    o.insert("redCurrent", r.redCurrent);
    o.insert("inletWaterTemp", r.inletWaterTemp * 0.1);
    o.insert("outletWaterTemp", r.outletWaterTemp * 0.1);
    o.insert("opticalVals", toArray(r.opticalVals, 2));
    o.insert("maxPower", r.maxPower);
    o.insert("chipShortId",
             QString::fromUtf8(r.chipShortId, int(qstrnlen(r.chipShortId, sizeof r.chipShortId))));
    o.insert("mode", r.mode);
    o.insert("framGood", r.framGood);
    o.insert("rtcGood", r.rtcGood);
    o.insert("laserOutputting", r.laserOutputting);
    o.insert("qbhLink", r.qbhLink);
    o.insert("waterLink", r.waterLink);
    o.insert("emergencyStop", r.emergencyStop);
    o.insert("bleState", r.bleState);
    o.insert("redPowerLevel", r.redPowerLevel);
    o.insert("qcwDuty", r.qcwDuty);
    o.insert("qcwFreq", normalizedQcwFreq(r.qcwFreq));
    o.insert("qcwEnable", r.qcwEnable);
    o.insert("pdAlarmThes", r.pdAlarmThes);
    o.insert("humiHigh", r.humiHigh);
    o.insert("pumpCurrentAlarmThes", r.pumpCurrentAlarmThes);
    o.insert("inletWaterTempLow", r.inletWaterTempLow);
    o.insert("inletWaterTempHigh", r.inletWaterTempHigh);
    o.insert("outletWaterTempLow", r.outletWaterTempLow);
    o.insert("outletWaterTempHigh", r.outletWaterTempHigh);
    QJsonArray clock;
    for (quint8 t : r.rtcTime)
        clock.append(t);
    o.insert("rtcTime", clock);
    o.insert("db25Power", r.db25Power);
    return o;
}
