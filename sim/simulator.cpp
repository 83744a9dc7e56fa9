#include "simulator.h"

#include "alarm_logic.h"
#include "console_command.h"
#include "transport.h"

#include <QStringList>

namespace sim {
namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

QString alarmNames(quint16 word)
{
    static const QPair<quint16, const char *> names[] = {{ALARM_HUMI_OVERHIGH, "humidity"},
                                                         {ALARM_BLE_ERROR, "bluetooth"},
                                                         {ALARM_QBH_LINK, "qbh"},
                                                         {ALARM_WATER_LINK, "chiller"},
                                                         {ALARM_IN_WATER_H, "inlet high"},
                                                         {ALARM_IN_WATER_L, "inlet low"},
                                                         {ALARM_OUT_WATER_H, "outlet high"},
                                                         {ALARM_OUT_WATER_L, "outlet low"},
                                                         {ALARM_PD_ERROR, "photodiode"},
                                                         {ALARM_DRV_CURRENT_ERROR, "drive current"},
                                                         {ALARM_EMERGENCY_STOP, "emergency stop"}};
    QStringList out;
    for (const auto &n : names)
        if (word & n.first & 0x7FFF)
            out << QString::fromLatin1(n.second);
    return out.isEmpty() ? QStringLiteral("none") : out.join(QStringLiteral(", "));
}

} // namespace

Simulator::Simulator(const SimOptions &options, Transport *transport, Clock clock, QObject *parent)
    : QObject(parent)
    , options_(options)
    , transport_(transport)
    , clock_(clock)
    , model_(options.identity, clock, QDateTime::currentDateTime(), options.seed)
    , writer_(transport, options.seed + 1)
{
    statusTimer_.setInterval(options_.periodMs);
    connect(&statusTimer_, &QTimer::timeout, this, &Simulator::sendStatus);
    connect(transport_.get(), &Transport::received, this, &Simulator::onReceived);
    connect(transport_.get(), &Transport::clientConnected, this, [this] {
        emit info(QStringLiteral("client connected"));
        sendStatus();
    });
    connect(transport_.get(), &Transport::clientDisconnected, this, [this] {
        writer_.clear();
        emit info(QStringLiteral("client disconnected"));
    });
    connect(transport_.get(), &Transport::reopened, this, [this](const QString &name) {
        emit info(QStringLiteral("line offered again at %1").arg(name));
        emit lineReopened(name);
    });
    connect(transport_.get(), &Transport::failed, this, [this](const QString &error) {
        emit info(QStringLiteral("line failed: %1").arg(error));
        emit quitRequested();
    });
}

Simulator::~Simulator() = default;

bool Simulator::start(QString &error)
{
    if (!options_.logPath.isEmpty() && !log_.open(options_.logPath, error))
        return false;
    if (!transport_->open(error))
        return false;
    for (const QString &line : options_.startup) {
        const QString text = execute(line);
        if (!text.isEmpty())
            emit info(text);
    }
    for (const auto &at : options_.scheduled) {
        const QString line = at.second;
        QTimer::singleShot(at.first, this, [this, line] {
            emit info(QStringLiteral("at: %1").arg(line));
            const QString text = execute(line);
            if (!text.isEmpty())
                emit output(text);
        });
    }
    statusTimer_.start();
    return true;
}

void Simulator::onReceived(const QByteArray &bytes)
{
    for (const RawCommand &raw : parser_.feed(bytes, clock_())) {
        const DecodedCommand command = decodeCommand(raw);
        ++commandsReceived_;
        log_.write(command, QDateTime::currentDateTimeUtc());
        const CommandOutcome outcome = model_.handle(command);
        if (!options_.quiet) {
            QString line = QStringLiteral("rx ") + describeCommand(command);
            if (!outcome.note.isEmpty())
                line += QStringLiteral(" -> ") + outcome.note;
            for (const Reply &r : outcome.replies)
                line += r.type == kMessageFrame
                            ? QStringLiteral(" -> \"%1\"").arg(QString::fromUtf8(r.payload))
                            : QStringLiteral(" -> calibration table (%1 entries)")
                                  .arg(r.payload.size());
            emit info(line);
        }
        sendReplies(outcome.replies);
        flushNotices();
    }
}

void Simulator::sendReplies(const QVector<Reply> &replies)
{
    for (const Reply &r : replies)
        writer_.send(packReplyFrame(r));
}

void Simulator::flushNotices()
{
    const QVector<Reply> notices = model_.takeNotices();
    for (const Reply &r : notices)
        emit info(QStringLiteral("notice \"%1\"").arg(QString::fromUtf8(r.payload)));
    sendReplies(notices);
}

void Simulator::sendStatus()
{
    model_.update();
    flushNotices();
    if (silent_ || !transport_->isClientConnected())
        return;
    writer_.send(packReplyFrame(kStatusFrame, model_.statusPayload()));
}

QString Simulator::statusReport() const
{
    const StatusFields s = model_.status();
    const DeviceSettings &st = model_.settings();
    const Faults &f = model_.faults();
    QStringList lines;
    lines << QStringLiteral("line: %1, client %2, %3 commands received")
                 .arg(transport_->name(), transport_->isClientConnected()
                                              ? QStringLiteral("connected")
                                              : QStringLiteral("not connected"))
                 .arg(commandsReceived_);
    lines << QStringLiteral("device: %1, %2 W, %3, %4 control, emission %5, analog %6%, gate %7")
                 .arg(QString::fromUtf8(s.chipShortId))
                 .arg(s.maxPower)
                 .arg(model_.versionText(), st.internalMode ? "internal" : "external",
                      onOff(model_.emitting()))
                 .arg(model_.analogInput())
                 .arg(onOff(model_.externalGate()));
    lines << QStringLiteral("alarm: 0x%1 (%2)")
                 .arg(s.alarmState, 4, 16, QLatin1Char('0'))
                 .arg(alarmNames(s.alarmState));
    lines << QStringLiteral("internal: power %1%, duty %2%, freq %3 Hz, on %4 ms")
                 .arg(st.intDac)
                 .arg(st.intPwmDuty)
                 .arg(st.intPwmFreq)
                 .arg(st.intLaserOnMs == kContinuousEmission ? QStringLiteral("continuous")
                                                             : QString::number(st.intLaserOnMs));
    lines << QStringLiteral(
                 "advanced: qcw %1 duty %2% freq %3 Hz, red %4, pd %5, humi %6, pump %7, "
                 "inlet %8..%9, outlet %10..%11")
                 .arg(onOff(st.qcwEnable))
                 .arg(st.qcwDuty)
                 .arg(st.qcwFreq)
                 .arg(st.redPowerLevel)
                 .arg(st.pdAlarmThes)
                 .arg(st.humiHigh)
                 .arg(st.pumpCurrentAlarmThes)
                 .arg(st.inletWaterTempLow)
                 .arg(st.inletWaterTempHigh)
                 .arg(st.outletWaterTempLow)
                 .arg(st.outletWaterTempHigh);
    lines << QStringLiteral("measured: ambient %1 C %2 %Rh, water in %3 C out %4 C, pumps %5 %6 %7 "
                            "%8 mA, red %9 mA, pd %10 %11")
                 .arg(s.ambientTemp / 10.0)
                 .arg(s.ambientHumi)
                 .arg(s.inletWaterTemp / 10.0)
                 .arg(s.outletWaterTemp / 10.0)
                 .arg(s.pumpCurrent[0])
                 .arg(s.pumpCurrent[1])
                 .arg(s.pumpCurrent[2])
                 .arg(s.pumpCurrent[3])
                 .arg(s.redCurrent)
                 .arg(s.opticalVals[0])
                 .arg(s.opticalVals[1]);
    QStringList faults;
    if (f.waterLinkOpen)
        faults << "chiller open";
    if (f.qbhLinkOpen)
        faults << "qbh open";
    if (f.emergencyStop)
        faults << "estop";
    if (f.photodiodeBlind)
        faults << "pd blind";
    if (f.bleFailed)
        faults << "ble fail";
    if (f.humidity)
        faults << QStringLiteral("humidity %1").arg(*f.humidity);
    if (f.inletTemp)
        faults << QStringLiteral("inlet %1").arg(*f.inletTemp);
    if (f.outletTemp)
        faults << QStringLiteral("outlet %1").arg(*f.outletTemp);
    if (f.leakCurrent)
        faults << QStringLiteral("leak %1 A").arg(*f.leakCurrent);
    if (writer_.chunkSize() > 0)
        faults
            << QStringLiteral("chunk %1/%2 ms").arg(writer_.chunkSize()).arg(writer_.chunkGapMs());
    if (writer_.garbage())
        faults << "garbage";
    if (silent_)
        faults << "silent";
    if (writer_.noPause())
        faults << "nopause";
    lines << QStringLiteral("faults: %1")
                 .arg(faults.isEmpty() ? QStringLiteral("none")
                                       : faults.join(QStringLiteral(", ")));
    lines << QStringLiteral("use: PwrOn %1 mins, LasOn %2 mins, status every %3 ms")
                 .arg(model_.powerOnMinutes())
                 .arg(model_.laserOnMinutes())
                 .arg(statusTimer_.interval());
    return lines.join(QLatin1Char('\n'));
}

QString Simulator::execute(const QString &line)
{
    using Verb = ConsoleCommand::Verb;
    const ConsoleCommand c = parseConsoleLine(line);
    Faults &f = model_.faults();
    QString reply = QStringLiteral("ok");
    switch (c.verb) {
    case Verb::Invalid:
        return c.error;
    case Verb::Empty:
        return {};
    case Verb::Help:
        return consoleHelp();
    case Verb::Status:
        model_.update();
        flushNotices();
        return statusReport();
    case Verb::Chiller:
        f.waterLinkOpen = c.flag;
        break;
    case Verb::Qbh:
        f.qbhLinkOpen = c.flag;
        break;
    case Verb::Estop:
        f.emergencyStop = c.flag;
        break;
    case Verb::Humidity:
        f.humidity = c.value ? std::optional<int>(static_cast<int>(*c.value)) : std::nullopt;
        break;
    case Verb::Inlet:
        f.inletTemp = c.value;
        break;
    case Verb::Outlet:
        f.outletTemp = c.value;
        break;
    case Verb::Pd:
        f.photodiodeBlind = c.flag;
        break;
    case Verb::Leak:
        f.leakCurrent = c.value;
        break;
    case Verb::Ble:
        f.bleFailed = c.flag;
        break;
    case Verb::Mode: {
        // The front panel acts like the command would.
        DecodedCommand cmd = decodeCommand({kSetCtrlMod, QByteArray(1, c.flag ? 1 : 0)});
        model_.handle(cmd);
        break;
    }
    case Verb::Analog:
        model_.setAnalogInput(static_cast<int>(*c.value));
        break;
    case Verb::Gate:
        model_.setExternalGate(c.flag);
        break;
    case Verb::Set:
        model_.storeSetting(*findStoredSetting(c.text), static_cast<int>(*c.value));
        break;
    case Verb::Chunk:
        writer_.setChunking(static_cast<int>(*c.value), c.gapMs);
        break;
    case Verb::Garbage:
        writer_.setGarbage(c.flag);
        break;
    case Verb::Silent:
        silent_ = c.flag;
        break;
    case Verb::NoPause:
        writer_.setNoPause(c.flag);
        break;
    case Verb::Hangup:
        writer_.clear();
        transport_->hangUp(c.gapMs);
        return QStringLiteral("line closed, offered again in %1 ms").arg(c.gapMs);
    case Verb::Period:
        statusTimer_.setInterval(static_cast<int>(*c.value));
        break;
    case Verb::Send:
        sendReplies({Reply::message(c.text)});
        reply = transport_->isClientConnected() ? QStringLiteral("sent")
                                                : QStringLiteral("no client: not sent");
        break;
    case Verb::Calib:
        sendReplies({Reply{kCalibTableFrame, model_.calibTable()}});
        reply = transport_->isClientConnected() ? QStringLiteral("sent")
                                                : QStringLiteral("no client: not sent");
        break;
    case Verb::Clear:
        f = Faults{};
        writer_.setChunking(0, writer_.chunkGapMs());
        writer_.setGarbage(false);
        writer_.setNoPause(false);
        silent_ = false;
        break;
    case Verb::Quit:
        emit quitRequested();
        return {};
    }
    model_.update();
    flushNotices();
    return reply;
}

} // namespace sim
