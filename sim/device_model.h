#pragma once

#include "command_decoder.h"
#include "device_settings.h"
#include "physics.h"
#include "reply_frame.h"
#include "status_payload.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QVector>

#include <functional>
#include <optional>

namespace sim {

// Monotonic milliseconds; injected so tests can move time by hand.
using Clock = std::function<qint64()>;

// Conditions forced from outside, as a technician would on a bench.
struct Faults {
    bool waterLinkOpen = false;
    bool qbhLinkOpen = false;
    bool emergencyStop = false;
    bool photodiodeBlind = false; // no light reaches the photodiode
    bool bleFailed = false;
    std::optional<int> humidity;       // %Rh
    std::optional<double> inletTemp;   // degrees
    std::optional<double> outletTemp;  // degrees
    std::optional<double> leakCurrent; // A on every pump while not emitting
};

// The result of one command: frames to send back and a note for the operator.
struct CommandOutcome {
    QVector<Reply> replies;
    QString note;
};

// The controller: settings, emission, measurements, alarms and the answers to
// commands. Time comes only from the injected clock.
class DeviceModel {
public:
    DeviceModel(const DeviceIdentity &identity, Clock clock, QDateTime rtcAtStart,
                quint32 seed = 1);

    // Brings emission, running times, measurements and alarms up to now.
    void update();
    CommandOutcome handle(const DecodedCommand &command);
    // Messages the controller raises on its own (e.g. a photodiode lock) since
    // the last call.
    QVector<Reply> takeNotices();

    StatusFields status() const;
    QByteArray statusPayload() const { return encodeStatusPayload(status()); }

    Faults &faults() { return faults_; }
    const Faults &faults() const { return faults_; }
    // DB25 analogue power demand (% of maxPower) and emission enable, read in
    // external mode.
    void setAnalogInput(int percent) { analogInput_ = qBound(0, percent, 100); }
    void setExternalGate(bool on);
    // A stored setting written directly (see StoredSetting).
    void storeSetting(const StoredSetting &setting, int value) { settings_.*setting.field = value; }

    bool emitting() const { return emitting_; }
    quint16 alarmState() const { return alarmState_; }
    const DeviceSettings &settings() const { return settings_; }
    const DeviceIdentity &identity() const { return identity_; }
    const QByteArray &calibTable() const { return calibTable_; }
    int analogInput() const { return analogInput_; }
    bool externalGate() const { return gate_; }
    int powerOnMinutes() const;
    int laserOnMinutes() const;
    QString versionText() const;
    // Share of the rated power emitted now, 0 to 1.
    double outputFraction() const;

private:
    void startEmission(qint64 now);
    void stopEmission();
    void advanceEmission(qint64 now);
    void evaluateAlarms();
    CommandOutcome setLaserState(bool on);
    CommandOutcome setAdvancedParam(const QJsonObject &a);
    int expectedPhotodiode() const;
    int measuredPhotodiode() const;
    std::array<quint16, 4> pumpCurrents() const;

    DeviceIdentity identity_;
    Clock clock_;
    QDateTime rtcAtStart_;
    QRandomGenerator rng_;
    DeviceSettings settings_;
    QByteArray calibTable_;
    Faults faults_;
    Environment env_;

    qint64 startMs_ = 0;
    qint64 lastUpdateMs_ = 0;
    qint64 laserOnMs_ = 0; // emission time accumulated this run
    bool emitting_ = false;
    bool continuous_ = false;
    qint64 emitStartMs_ = 0;
    qint64 emitEndMs_ = 0;
    bool gate_ = false;
    int analogInput_ = 50;
    bool pdLocked_ = false;
    int pdLockCount_ = 0;
    quint16 alarmState_ = 0;
    QVector<Reply> notices_;
    // Sensor noise drawn at update time, so status() stays const and repeatable.
    double pumpNoise_[4] = {};
    double pdNoise_ = 0;
};

// intLaserOnMs value that means "emit until stopped".
constexpr int kContinuousEmission = 0xFAAA;

} // namespace sim
