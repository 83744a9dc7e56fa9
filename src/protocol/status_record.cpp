#include "status_record.h"

#include <cstring>

namespace {

class LittleEndianReader {
public:
    explicit LittleEndianReader(const QByteArray &bytes)
        : data(reinterpret_cast<const unsigned char *>(bytes.constData()))
    {
    }

    void seek(int offset) { pos = offset; }
    void skip(int count) { pos += count; }
    int position() const { return pos; }

    quint8 u8() { return data[pos++]; }
    quint16 u16()
    {
        const quint16 v = static_cast<quint16>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        return v;
    }
    qint16 s16() { return static_cast<qint16>(u16()); }
    qint32 s32()
    {
        const quint32 v = quint32(data[pos]) | (quint32(data[pos + 1]) << 8) |
                          (quint32(data[pos + 2]) << 16) | (quint32(data[pos + 3]) << 24);
        pos += 4;
        return static_cast<qint32>(v);
    }
    const unsigned char *current() const { return data + pos; }

private:
    const unsigned char *data;
    int pos = 0;
};

} // namespace

std::optional<DevInfoRecord> parseDevInfo(const QByteArray &payload)
{
    const int size = payload.size();
    if (size <= status::kMinPayloadExclusive)
        return std::nullopt;

    LittleEndianReader in(payload);
    DevInfoRecord r;
    r.alarmState = in.u16();
    r.intDac = in.u8();
    r.intPwmDuty = in.u8();
    r.intPwmFreq = in.u16();
    r.intLaserOnMs = in.u16();
    r.ambientHumi = in.s16();
    r.ambientTemp = in.s16();
    for (quint16 &c : r.pumpCurrent)
        c = in.u16();
    r.redCurrent = in.u16();
    r.inletWaterTemp = in.s16();
    r.outletWaterTemp = in.s16();
    for (quint16 &v : r.opticalVals)
        v = in.u16();
    r.maxPower = in.u16();

    const int idLength = in.u16();
    // The count K sits right after the device number: it must be inside too.
    if (size < in.position() + idLength + 2)
        return std::nullopt;
    std::memcpy(r.chipShortId, in.current(), size_t(qMin(idLength, status::kMaxChipIdBytes)));
    in.skip(idLength);

    const int reservedLength = in.u16();
    if (size < status::kFixedSize + idLength + reservedLength)
        return std::nullopt;
    in.skip(reservedLength);

    r.mode = in.u8();
    in.skip(1);
    r.framGood = in.u8();
    r.rtcGood = in.u8();
    r.laserOutputting = in.u8();
    r.qbhLink = in.u8();
    r.waterLink = in.u8();
    r.emergencyStop = in.u8();
    r.bleState = in.u8();
    r.redPowerLevel = in.u8();
    r.qcwDuty = in.u8();
    r.qcwFreq = in.s32();
    r.qcwEnable = in.u8();
    r.pdAlarmThes = in.u16();
    r.humiHigh = in.u8();
    r.pumpCurrentAlarmThes = in.u16();
    r.inletWaterTempLow = in.u8();
    r.inletWaterTempHigh = in.u8();
    r.outletWaterTempLow = in.u8();
    r.outletWaterTempHigh = in.u8();
    for (quint8 &t : r.rtcTime)
        t = in.u8();
    r.db25Power = in.u8();
    return r;
}

qint32 normalizedQcwFreq(qint32 raw)
{
    const qint32 r = raw % 100000;
    return r >= 1 ? r : 1;
}
