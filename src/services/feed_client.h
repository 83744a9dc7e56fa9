#pragma once

#include "feed_settings.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <memory>

struct FeedClientRelay;

// One connection to the plant's MQTT 3.1.1 broker, through Paho C's
// asynchronous client. Lives on one thread (the feed's); every call is made
// there, and the library's callbacks, which come on its own threads, only
// queue a call back to it: they never call the library, as it may deadlock
// when a callback creates or destroys a client or waits for a token.
//
// It connects by itself and again after any loss or failed attempt, after
// 1 s, then twice as long each time, at most 10 s. The session is clean and
// nothing is kept on disk (the library's default persistence would write
// files into the working folder). With mqtts the server's certificate and
// host name are always checked. It never subscribes.
class FeedClient : public QObject {
    Q_OBJECT
public:
    struct Message {
        QByteArray topic;
        QByteArray payload;
        int qos = 0;
        bool retained = false;
    };

    // will: what the broker publishes when the connection ends without a
    // goodbye (a crash, a pulled cable).
    FeedClient(const feed_settings::FeedSettings &settings, const Message &will,
               QObject *parent = nullptr);
    // Without finish(): drops the connection at once (the broker then sends
    // the will).
    ~FeedClient() override;

    void start();
    bool isConnected() const { return state == State::Connected; }

    // False when not connected or the library refused it. A QoS 1 message
    // answers later with delivered(tag) or failed(tag); a lost connection
    // fails every message still on its way (failed(tag) for each).
    bool publish(const Message &message, quint64 tag = 0);

    // The goodbye: publishes last (when connected), waits for the broker to
    // confirm it, then disconnects; at most timeoutMs in all. No reconnection
    // after.
    void finish(const Message &last, int timeoutMs);

signals:
    void connected();
    // A loss or a failed attempt, with the reason in a few words.
    void interrupted(const QString &reason);
    void delivered(quint64 tag);
    void failed(quint64 tag);

private:
    enum class State { Idle, Connecting, Connected, Finished };

    void connectNow();
    void onConnected();
    void onConnectFailed(const QString &reason);
    void onLost(const QString &reason);
    void onPublished(int token, bool ok);
    void failInFlight();
    void retryLater();
    void destroyClient();

    const feed_settings::FeedSettings settings;
    const Message will;
    void *client = nullptr; // MQTTAsync
    FeedClientRelay *relay = nullptr;
    State state = State::Idle;
    int retryMs = 1000;
    QTimer retryTimer{this};
    QHash<int, quint64> inFlight; // token -> tag
    QByteArray serverUri, clientId, username, password, caFile, certFile, keyFile;

    friend struct FeedClientRelay;
};
