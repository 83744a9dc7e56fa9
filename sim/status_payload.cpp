#include "status_payload.h"

namespace sim {
namespace {

class Writer {
public:
    explicit Writer(QByteArray &out)
        : out_(out)
    {
    }
    void u8(quint8 v) { out_.append(static_cast<char>(v)); }
    void u16(quint16 v)
    {
        u8(static_cast<quint8>(v & 0xFF));
        u8(static_cast<quint8>(v >> 8));
    }
    void s16(qint16 v) { u16(static_cast<quint16>(v)); }
    void s32(qint32 v)
    {
        const auto u = static_cast<quint32>(v);
        u16(static_cast<quint16>(u & 0xFFFF));
        u16(static_cast<quint16>(u >> 16));
    }
    void block(const QByteArray &bytes)
    {
        u16(static_cast<quint16>(bytes.size()));
        out_.append(bytes);
    }

private:
    QByteArray &out_;
};

} // namespace

QByteArray encodeStatusPayload(const StatusFields &s)
{
    QByteArray out;
    out.reserve(68 + s.chipShortId.size() + s.reservedBlock.size());
    Writer w(out);
    w.u16(s.alarmState);
    w.u8(s.intDac);
    w.u8(s.intPwmDuty);
    w.u16(s.intPwmFreq);
    w.u16(s.intLaserOnMs);
    w.s16(s.ambientHumi);
    w.s16(s.ambientTemp);
    for (quint16 c : s.pumpCurrent)
        w.u16(c);
    w.u16(s.redCurrent);
    w.s16(s.inletWaterTemp);
    w.s16(s.outletWaterTemp);
    for (quint16 v : s.opticalVals)
        w.u16(v);
    w.u16(s.maxPower);
    w.block(s.chipShortId);
    w.block(s.reservedBlock);
    w.u8(s.mode);
    w.u8(0); // spare byte of the record
    w.u8(s.framGood);
    w.u8(s.rtcGood);
    w.u8(s.laserOutputting);
    w.u8(s.qbhLink);
    w.u8(s.waterLink);
    w.u8(s.emergencyStop);
    w.u8(s.bleState);
    w.u8(s.redPowerLevel);
    w.u8(s.qcwDuty);
    w.s32(s.qcwFreq);
    w.u8(s.qcwEnable);
    w.u16(s.pdAlarmThes);
    w.u8(s.humiHigh);
    w.u16(s.pumpCurrentAlarmThes);
    w.u8(s.inletWaterTempLow);
    w.u8(s.inletWaterTempHigh);
    w.u8(s.outletWaterTempLow);
    w.u8(s.outletWaterTempHigh);
    for (quint8 t : s.rtcTime)
        w.u8(t);
    w.u8(s.db25Power);
    return out;
}

} // namespace sim
