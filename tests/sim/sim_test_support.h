#pragma once

#include "command_decoder.h"
#include "device_model.h"
#include "transport.h"

#include <QByteArray>
#include <QDateTime>
#include <QVector>

#include <memory>

// The bytes of a command payload from a list of values, each one byte.
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// A big-endian 16-bit value, as command payloads carry them.
inline QByteArray be16(int v)
{
    return bytes({(v >> 8) & 0xFF, v & 0xFF});
}

// setAdvancedParam payload in wire order.
inline QByteArray advancedPayload(int qcwDuty, int qcwFreq, bool qcwEnable, int red, int pd,
                                  int humi, int pump, int inLow, int inHigh, int outLow,
                                  int outHigh)
{
    return bytes({qcwDuty}) + be16(qcwFreq) + bytes({qcwEnable ? 1 : 0, red}) + be16(pd) +
           bytes({humi}) + be16(pump) + bytes({inLow, inHigh, outLow, outHigh});
}

// The factory values, with only the QCW switch and the limits for humidity and inlet changed.
inline QByteArray advancedPayload(bool qcw, int humiHigh = 80, int inletHigh = 35)
{
    return advancedPayload(50, 1000, qcw, 50, 30, humiHigh, 10, 15, inletHigh, 15, 40);
}

inline QByteArray intCtrlPayload(int power, int duty, int freq, int openMs)
{
    return bytes({power, duty}) + be16(freq) + be16(openMs);
}

inline QStringList messages(const QVector<sim::Reply> &replies)
{
    QStringList out;
    for (const sim::Reply &r : replies)
        if (r.type == sim::kMessageFrame)
            out << QString::fromUtf8(r.payload);
    return out;
}

// A model on a clock that moves only when the test says so, started on a fixed date.
struct ModelFixture {
    qint64 now = 1000;
    std::unique_ptr<sim::DeviceModel> model;
    explicit ModelFixture(sim::DeviceIdentity identity = {})
        : model(std::make_unique<sim::DeviceModel>(
              identity, [this] { return now; }, QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53)), 7))
    {
    }
    sim::CommandOutcome send(quint8 code, const QByteArray &payload = {})
    {
        return model->handle(sim::decodeCommand({code, payload}));
    }
    QStringList ask(quint8 code, const QByteArray &payload = {})
    {
        return messages(send(code, payload).replies);
    }
    // Starts emission at power 50 %, duty 50 %, for openMs.
    void startEmission(int openMs = sim::kContinuousEmission)
    {
        send(sim::kSetIntCtrlParam, intCtrlPayload(50, 50, 1000, openMs));
        send(sim::kSetLaserState, bytes({1}));
    }
    void advance(qint64 ms)
    {
        now += ms;
        model->update();
    }
};

// A line that records what is written and lets a test play the client.
class FakeTransport : public sim::Transport {
public:
    bool connected = true;
    QVector<QByteArray> writes;
    int hangUps = 0;

    bool open(QString &) override { return true; }
    QString name() const override { return QStringLiteral("fake"); }
    bool isClientConnected() const override { return connected; }
    void write(const QByteArray &b) override
    {
        if (connected)
            writes.append(b);
    }
    void hangUp(int) override
    {
        ++hangUps;
        connected = false;
        emit clientDisconnected();
    }
};
