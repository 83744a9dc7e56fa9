#include "device_model.h"

#include "alarm_logic.h"

#include <QJsonArray>

#include <cmath>

namespace sim {
namespace {

// Drive current of one pump at full rated power, mA.
constexpr double kPumpFullScaleMa = 12000;
// Small differences between the four pump drivers.
constexpr double kPumpGain[4] = {1.00, 0.98, 1.02, 0.99};
// Photodiode reading at full rated power; the second diode sees a bit less.
constexpr double kPdFullScale = 4000;
constexpr double kPdSecondShare = 0.92;
// Light needs a moment to build up before its absence counts as a fault.
constexpr qint64 kPdGraceMs = 200;
// Red pilot current per level step, mA; the pilot is off while emitting.
constexpr double kRedMaPerLevel = 0.3;

qint16 toTenths(double degrees)
{
    return static_cast<qint16>(std::lround(degrees * 10));
}

} // namespace

DeviceModel::DeviceModel(const DeviceIdentity &identity, Clock clock, QDateTime rtcAtStart,
                         quint32 seed)
    : identity_(identity)
    , clock_(std::move(clock))
    , rtcAtStart_(std::move(rtcAtStart))
    , rng_(seed)
    , settings_(factorySettings())
    , calibTable_(factoryCalibTable(identity.calibLength))
{
    if (!identity_.qcwCapable)
        settings_.qcwEnable = false;
    startMs_ = lastUpdateMs_ = clock_();
    evaluateAlarms();
}

double DeviceModel::outputFraction() const
{
    if (!emitting_)
        return 0.0;
    if (!settings_.internalMode)
        return analogInput_ / 100.0;
    const int duty = settings_.qcwEnable ? settings_.qcwDuty : settings_.intPwmDuty;
    return qBound(0, settings_.intDac, 100) / 100.0 * qBound(0, duty, 100) / 100.0;
}

int DeviceModel::expectedPhotodiode() const
{
    return static_cast<int>(std::lround(kPdFullScale * outputFraction()));
}

int DeviceModel::measuredPhotodiode() const
{
    if (faults_.photodiodeBlind)
        return static_cast<int>(std::lround(std::fabs(pdNoise_) * 3)); // dark reading
    const double v = expectedPhotodiode() * (1.0 + pdNoise_ * 0.01);
    return qMax(0, static_cast<int>(std::lround(v)));
}

std::array<quint16, 4> DeviceModel::pumpCurrents() const
{
    std::array<quint16, 4> out{};
    for (int i = 0; i < 4; ++i) {
        double ma = 0;
        if (emitting_)
            ma = kPumpFullScaleMa * outputFraction() * kPumpGain[i] + pumpNoise_[i] * 15;
        else if (faults_.leakCurrent)
            ma = *faults_.leakCurrent * 1000 + pumpNoise_[i] * 15;
        out[i] = static_cast<quint16>(qBound(0.0, std::round(ma), 65535.0));
    }
    return out;
}

void DeviceModel::startEmission(qint64 now)
{
    emitting_ = true;
    emitStartMs_ = now;
    continuous_ = !settings_.internalMode || settings_.intLaserOnMs == kContinuousEmission;
    emitEndMs_ = now + settings_.intLaserOnMs;
}

void DeviceModel::stopEmission()
{
    emitting_ = false;
}

void DeviceModel::advanceEmission(qint64 now)
{
    if (!emitting_)
        return;
    const qint64 until = continuous_ ? now : qMin(now, emitEndMs_);
    if (until > lastUpdateMs_)
        laserOnMs_ += until - lastUpdateMs_;
    if (!continuous_ && now >= emitEndMs_)
        emitting_ = false;
}

void DeviceModel::evaluateAlarms()
{
    const StatusFields s = status();
    AlarmInputs in;
    in.ambientHumi = s.ambientHumi;
    in.humiHigh = settings_.humiHigh;
    in.inletWaterTemp = s.inletWaterTemp;
    in.outletWaterTemp = s.outletWaterTemp;
    in.inletLow = settings_.inletWaterTempLow;
    in.inletHigh = settings_.inletWaterTempHigh;
    in.outletLow = settings_.outletWaterTempLow;
    in.outletHigh = settings_.outletWaterTempHigh;
    in.qbhLink = !faults_.qbhLinkOpen;
    in.waterLink = !faults_.waterLinkOpen;
    in.emergencyStop = faults_.emergencyStop;
    in.bleReady = !faults_.bleFailed;
    in.emitting = emitting_;
    if (emitting_ && lastUpdateMs_ - emitStartMs_ >= kPdGraceMs) {
        in.pdMeasured = measuredPhotodiode();
        in.pdExpected = expectedPhotodiode();
    }
    in.pdAlarmThes = settings_.pdAlarmThes;
    for (quint16 c : s.pumpCurrent)
        in.maxPumpCurrentMa = qMax<int>(in.maxPumpCurrentMa, c);
    in.pumpCurrentAlarmThes = settings_.pumpCurrentAlarmThes;

    quint16 word = sim::evaluateAlarms(in);
    if ((word & ALARM_PD_ERROR & ~ALARM_NEEW_STOP) && !pdLocked_) {
        pdLocked_ = true;
        ++pdLockCount_;
        notices_.append(Reply::message(QStringLiteral("PD ERROR LOCK(%1)").arg(pdLockCount_)));
    }
    if (pdLocked_)
        word |= ALARM_PD_ERROR;
    if (emitting_ && isStoppingAlarm(word)) {
        stopEmission();
        evaluateAlarms(); // not emitting any more: a leaking driver now shows
        return;
    }
    alarmState_ = word;
}

void DeviceModel::update()
{
    const qint64 now = qMax(clock_(), lastUpdateMs_);
    advanceEmission(now);
    env_ = stepEnvironment(env_, now - startMs_, now - lastUpdateMs_, outputFraction(), rng_);
    for (double &n : pumpNoise_)
        n = noise(rng_, 1.0);
    pdNoise_ = noise(rng_, 1.0);
    lastUpdateMs_ = now;
    evaluateAlarms();
    if (!settings_.internalMode) {
        if (gate_ && !emitting_ && !isStoppingAlarm(alarmState_)) {
            startEmission(now);
            evaluateAlarms();
        } else if (!gate_ && emitting_) {
            stopEmission();
            evaluateAlarms();
        }
    }
}

void DeviceModel::setExternalGate(bool on)
{
    if (on && !gate_)
        pdLocked_ = false; // a new enable edge re-arms the photodiode check
    gate_ = on;
}

QVector<Reply> DeviceModel::takeNotices()
{
    QVector<Reply> out;
    out.swap(notices_);
    return out;
}

int DeviceModel::powerOnMinutes() const
{
    return identity_.powerOnMinutes + static_cast<int>((lastUpdateMs_ - startMs_) / 60000);
}

int DeviceModel::laserOnMinutes() const
{
    return identity_.laserOnMinutes + static_cast<int>(laserOnMs_ / 60000);
}

QString DeviceModel::versionText() const
{
    return QStringLiteral("DevVer:") + identity_.firmware +
           (identity_.qcwCapable ? QStringLiteral("-QCW") : QString());
}

CommandOutcome DeviceModel::setLaserState(bool on)
{
    if (!settings_.internalMode)
        return {{}, QStringLiteral("ignored: external control, emission follows the DB25 gate")};
    pdLocked_ = false; // a new command acknowledges a photodiode lock
    if (!on) {
        stopEmission();
        evaluateAlarms();
        return {{}, QStringLiteral("emission off")};
    }
    evaluateAlarms();
    if (isStoppingAlarm(alarmState_))
        return {{},
                QStringLiteral("refused: stopping alarm 0x%1")
                    .arg(alarmState_, 4, 16, QLatin1Char('0'))};
    startEmission(lastUpdateMs_);
    evaluateAlarms();
    return {{},
            continuous_ ? QStringLiteral("emission on until stopped")
                        : QStringLiteral("emission on for %1 ms").arg(settings_.intLaserOnMs)};
}

CommandOutcome DeviceModel::setAdvancedParam(const QJsonObject &a)
{
    const bool qcwBefore = settings_.qcwEnable;
    settings_.qcwDuty = a.value(QLatin1String("qcwDuty")).toInt();
    settings_.qcwFreq = a.value(QLatin1String("qcwFreq")).toInt();
    settings_.redPowerLevel = a.value(QLatin1String("redLevel")).toInt();
    settings_.pdAlarmThes = a.value(QLatin1String("pdThes")).toInt();
    settings_.humiHigh = a.value(QLatin1String("humiThes")).toInt();
    settings_.pumpCurrentAlarmThes = a.value(QLatin1String("pumpThes")).toInt();
    settings_.inletWaterTempLow = a.value(QLatin1String("inTempLow")).toInt();
    settings_.inletWaterTempHigh = a.value(QLatin1String("inTempHigh")).toInt();
    settings_.outletWaterTempLow = a.value(QLatin1String("outTempLow")).toInt();
    settings_.outletWaterTempHigh = a.value(QLatin1String("outTempHigh")).toInt();
    // A controller without QCW mode keeps it off whatever it is told.
    settings_.qcwEnable = identity_.qcwCapable && a.value(QLatin1String("qcwEnable")).toBool();

    CommandOutcome out;
    out.replies.append(Reply::message(QStringLiteral("Set advanced param success")));
    if (settings_.qcwEnable != qcwBefore)
        out.replies.append(Reply::message(settings_.qcwEnable ? QStringLiteral("Set qcw on")
                                                              : QStringLiteral("Set qcw off")));
    evaluateAlarms();
    return out;
}

CommandOutcome DeviceModel::handle(const DecodedCommand &command)
{
    update();
    if (!command.ok)
        return {{}, QStringLiteral("ignored: ") + command.error};
    const QJsonObject &a = command.args;
    switch (command.code) {
    case kSetCtrlMod: {
        const bool internal = a.value(QLatin1String("intCtrl")).toBool();
        if (internal != settings_.internalMode)
            stopEmission();
        settings_.internalMode = internal;
        update();
        return {{},
                internal ? QStringLiteral("internal control") : QStringLiteral("external control")};
    }
    case kSetIntCtrlParam:
        settings_.intDac = a.value(QLatin1String("power")).toInt();
        settings_.intPwmDuty = a.value(QLatin1String("duty")).toInt();
        settings_.intPwmFreq = a.value(QLatin1String("freq")).toInt();
        settings_.intLaserOnMs = a.value(QLatin1String("openMs")).toInt();
        return {};
    case kSetLaserState:
        return setLaserState(a.value(QLatin1String("state")).toBool());
    case kSetAdvancedParam:
        return setAdvancedParam(a);
    case kResetParam:
        settings_ = factorySettings();
        stopEmission();
        pdLocked_ = false;
        evaluateAlarms();
        return {{Reply::message(QStringLiteral("Reset param ok"))}, {}};
    case kQueryVersion:
        return {{Reply::message(versionText())}, {}};
    case kQueryUseTime:
        return {{Reply::message(QString::asprintf("PwrOn:%dmins LasOn:%dmins", powerOnMinutes(),
                                                  laserOnMinutes()))},
                {}};
    case kQueryCalibTable:
        return {{Reply{kCalibTableFrame, calibTable_}}, {}};
    case kSetCalib: {
        const QJsonArray table = a.value(QLatin1String("table")).toArray();
        if (table.size() != identity_.calibLength)
            return {{Reply::message(QStringLiteral("Calibrate failed"))},
                    QStringLiteral("table of %1 entries, expected %2")
                        .arg(table.size())
                        .arg(identity_.calibLength)};
        calibTable_ = command.payload;
        return {{Reply::message(QStringLiteral("Calibrate ok"))}, {}};
    }
    default:
        return {{}, QStringLiteral("ignored")};
    }
}

StatusFields DeviceModel::status() const
{
    StatusFields s;
    s.alarmState = alarmState_;
    s.intDac = static_cast<quint8>(settings_.intDac);
    s.intPwmDuty = static_cast<quint8>(settings_.intPwmDuty);
    s.intPwmFreq = static_cast<quint16>(settings_.intPwmFreq);
    s.intLaserOnMs = static_cast<quint16>(settings_.intLaserOnMs);
    s.ambientHumi =
        static_cast<qint16>(faults_.humidity ? *faults_.humidity : std::lround(env_.humidity));
    s.ambientTemp = static_cast<qint16>(toTenths(env_.ambientTemp));
    s.pumpCurrent = pumpCurrents();
    s.redCurrent =
        emitting_ ? 0 : static_cast<quint16>(std::lround(settings_.redPowerLevel * kRedMaPerLevel));
    s.inletWaterTemp = static_cast<qint16>(toTenths(faults_.inletTemp.value_or(env_.inletTemp)));
    s.outletWaterTemp = static_cast<qint16>(toTenths(faults_.outletTemp.value_or(env_.outletTemp)));
    const int pd = measuredPhotodiode();
    s.opticalVals = {static_cast<quint16>(pd),
                     static_cast<quint16>(std::lround(pd * kPdSecondShare))};
    s.maxPower = static_cast<quint16>(identity_.maxPower);
    s.chipShortId = identity_.chipShortId;
    for (int i = 0; i < identity_.reservedLength; ++i)
        s.reservedBlock.append(static_cast<char>(i + 1));
    s.mode = settings_.internalMode ? 1 : 0;
    s.framGood = 1;
    s.rtcGood = 1;
    s.laserOutputting = emitting_ ? 1 : 0;
    s.qbhLink = faults_.qbhLinkOpen ? 0 : 1;
    s.waterLink = faults_.waterLinkOpen ? 0 : 1;
    s.emergencyStop = faults_.emergencyStop ? 1 : 0;
    s.bleState = faults_.bleFailed ? 0 : 1;
    s.redPowerLevel = static_cast<quint8>(settings_.redPowerLevel);
    s.qcwDuty = static_cast<quint8>(settings_.qcwDuty);
    s.qcwFreq = settings_.qcwFreq;
    s.qcwEnable = settings_.qcwEnable ? 1 : 0;
    s.pdAlarmThes = static_cast<quint16>(settings_.pdAlarmThes);
    s.humiHigh = static_cast<quint8>(settings_.humiHigh);
    s.pumpCurrentAlarmThes = static_cast<quint16>(settings_.pumpCurrentAlarmThes);
    s.inletWaterTempLow = static_cast<quint8>(settings_.inletWaterTempLow);
    s.inletWaterTempHigh = static_cast<quint8>(settings_.inletWaterTempHigh);
    s.outletWaterTempLow = static_cast<quint8>(settings_.outletWaterTempLow);
    s.outletWaterTempHigh = static_cast<quint8>(settings_.outletWaterTempHigh);
    const QDateTime rtc = rtcAtStart_.addMSecs(lastUpdateMs_ - startMs_);
    const QDate d = rtc.date();
    const QTime t = rtc.time();
    s.rtcTime = {static_cast<quint8>(d.year() - 2000), static_cast<quint8>(d.month()),
                 static_cast<quint8>(d.day()),         static_cast<quint8>(t.hour()),
                 static_cast<quint8>(t.minute()),      static_cast<quint8>(t.second())};
    s.db25Power = settings_.internalMode ? 0 : static_cast<quint8>(analogInput_);
    return s;
}

} // namespace sim
