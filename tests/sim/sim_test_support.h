#pragma once

#include "command_decoder.h"
#include "device_model.h"
#include "transport.h"

#include <QByteArray>
#include <QDateTime>
#include <QVector>

#include <memory>

// Time that moves only when a test says so.
struct ManualClock {
    qint64 now = 1000;
    sim::Clock clock()
    {
        return [this] { return now; };
    }
};

// The bytes of a command payload from a list of values, each one byte.
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

inline sim::DecodedCommand command(quint8 code, const QByteArray &payload = {})
{
    return sim::decodeCommand({code, payload});
}

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

inline QByteArray intCtrlPayload(int power, int duty, int freq, int openMs)
{
    return bytes({power, duty}) + be16(freq) + be16(openMs);
}

inline QStringList messages(const sim::CommandOutcome &o)
{
    QStringList out;
    for (const sim::Reply &r : o.replies)
        if (r.type == sim::kMessageFrame)
            out << QString::fromUtf8(r.payload);
    return out;
}

// A model on a manual clock, started on a fixed date.
struct ModelFixture {
    ManualClock time;
    std::unique_ptr<sim::DeviceModel> model;
    explicit ModelFixture(sim::DeviceIdentity identity = {})
    {
        model = std::make_unique<sim::DeviceModel>(
            identity, time.clock(), QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53)), 7);
    }
    sim::CommandOutcome send(quint8 code, const QByteArray &payload = {})
    {
        return model->handle(command(code, payload));
    }
    void advance(qint64 ms)
    {
        time.now += ms;
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
    QByteArray all() const
    {
        QByteArray out;
        for (const QByteArray &w : writes)
            out += w;
        return out;
    }
    void clientSends(const QByteArray &b) { emit received(b); }
};
