#include "feed_client.h"

#include <MQTTAsync.h>

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QMutex>
#include <QSemaphore>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 10000;

// The library tells a broker certificate made out for another host only in
// its trace: the hosts it named so, until their next attempt. (For an IP
// address the line comes also when the address check then succeeds; it is
// read only after a failed attempt.)
QMutex hostChecks;
QStringList hostsNotMatched;

void traceLine(enum MQTTASYNC_TRACE_LEVELS, char *message)
{
    static const char kFailed[] = "X509_check_host for hostname ";
    const char *at = message ? std::strstr(message, kFailed) : nullptr;
    if (!at)
        return;
    const char *host = at + sizeof(kFailed) - 1;
    const char *end = std::strstr(host, " failed");
    if (!end)
        return;
    QMutexLocker hold(&hostChecks);
    hostsNotMatched.append(QString::fromUtf8(host, int(end - host)));
}

void followHostChecks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        MQTTAsync_setTraceCallback(&traceLine);
        MQTTAsync_setTraceLevel(MQTTASYNC_TRACE_PROTOCOL);
    });
}

// Whether the last attempt to host found a certificate for another name;
// forgets it.
bool hostNotMatched(const QString &host)
{
    QMutexLocker hold(&hostChecks);
    return hostsNotMatched.removeAll(host) > 0;
}

} // namespace

// What the library's callbacks hold on to. It outlives its client (a
// callback may still come after the client was destroyed): once the client is
// gone the relay forgets it, and the relay itself is freed only at exit.
struct FeedClientRelay {
    QMutex mutex;
    FeedClient *client = nullptr;
    QString tlsError;
    QString host; // with TLS: the name its certificate must carry
    QSemaphore disconnected;

    template<class Call> void post(Call call)
    {
        QMutexLocker hold(&mutex);
        if (client)
            QMetaObject::invokeMethod(
                client, [c = client, call] { call(c); }, Qt::QueuedConnection);
    }

    static FeedClientRelay *make()
    {
        static QMutex keep;
        static std::vector<std::unique_ptr<FeedClientRelay>> relays;
        QMutexLocker hold(&keep);
        relays.push_back(std::make_unique<FeedClientRelay>());
        return relays.back().get();
    }

    // --- The library's callbacks: they only pass the news on. ---------------

    static void lost(void *context, char *cause)
    {
        const QString reason =
            cause && *cause ? QString::fromUtf8(cause) : QStringLiteral("connection lost");
        static_cast<FeedClientRelay *>(context)->post(
            [reason](FeedClient *c) { c->onLost(reason); });
    }

    static int arrived(void *, char *topic, int, MQTTAsync_message *message)
    {
        // Nothing is subscribed; should anything come, it is thrown away.
        MQTTAsync_freeMessage(&message);
        MQTTAsync_free(topic);
        return 1;
    }

    static void connectSucceeded(void *context, MQTTAsync_successData *)
    {
        static_cast<FeedClientRelay *>(context)->post([](FeedClient *c) { c->onConnected(); });
    }

    static void connectFailed(void *context, MQTTAsync_failureData *response)
    {
        auto *relay = static_cast<FeedClientRelay *>(context);
        QString tls;
        QString host;
        {
            QMutexLocker hold(&relay->mutex);
            tls.swap(relay->tlsError);
            host = relay->host;
        }
        if (tls.isEmpty() && !host.isEmpty() && hostNotMatched(host))
            tls = QStringLiteral("TLS: host name %1 not in the broker's certificate").arg(host);
        const QString reason = refusal(response ? response->code : MQTTASYNC_FAILURE,
                                       response ? response->message : nullptr, tls);
        relay->post([reason](FeedClient *c) { c->onConnectFailed(reason); });
    }

    static void sent(void *context, MQTTAsync_successData *response)
    {
        const int token = response ? response->token : 0;
        static_cast<FeedClientRelay *>(context)->post(
            [token](FeedClient *c) { c->onPublished(token, true); });
    }

    static void notSent(void *context, MQTTAsync_failureData *response)
    {
        const int token = response ? response->token : 0;
        static_cast<FeedClientRelay *>(context)->post(
            [token](FeedClient *c) { c->onPublished(token, false); });
    }

    static int tlsFailed(const char *text, size_t length, void *context)
    {
        auto *relay = static_cast<FeedClientRelay *>(context);
        // OpenSSL's lines name the reason in their sixth field:
        // "<thread>:error:0A000086:SSL routines:<function>:certificate verify
        // failed:<file>:<line>:".
        const QStringList fields = QString::fromUtf8(text, int(length)).split(QLatin1Char(':'));
        const QString reason = fields.value(5).trimmed();
        QMutexLocker hold(&relay->mutex);
        if (relay->tlsError.isEmpty() && !reason.isEmpty())
            relay->tlsError = QStringLiteral("TLS: ") + reason;
        return 1;
    }

    static void disconnectDone(void *context, MQTTAsync_successData *)
    {
        static_cast<FeedClientRelay *>(context)->disconnected.release();
    }

    static void disconnectFailed(void *context, MQTTAsync_failureData *)
    {
        static_cast<FeedClientRelay *>(context)->disconnected.release();
    }

    // Why a connection attempt failed, in a few words.
    static QString refusal(int code, const char *message, const QString &tls)
    {
        switch (code) {
        case 1:
            return QStringLiteral("the broker refused the protocol version");
        case 2:
            return QStringLiteral("the broker refused the client id");
        case 3:
            return QStringLiteral("the broker is unavailable");
        case 4:
            return QStringLiteral("bad user name or password");
        case 5:
            return QStringLiteral("not authorized");
        default:
            break;
        }
        if (!tls.isEmpty())
            return tls;
        // The library's "TCP/TLS connect failure": refused, unreachable or
        // timed out, it cannot tell which.
        if (code == MQTTASYNC_FAILURE)
            return QStringLiteral("cannot reach the broker");
        if (message && *message)
            return QString::fromUtf8(message);
        const char *text = MQTTAsync_strerror(code);
        return text ? QString::fromUtf8(text) : QStringLiteral("no connection");
    }
};

FeedClient::FeedClient(const feed_settings::FeedSettings &settings, const Message &will,
                       QObject *parent)
    : QObject(parent)
    , settings(settings)
    , will(will)
{
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &FeedClient::connectNow);
    serverUri = QStringLiteral("%1://%2:%3")
                    .arg(settings.tls ? QStringLiteral("ssl") : QStringLiteral("tcp"),
                         settings.host.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + settings.host + QLatin1Char(']')
                             : settings.host)
                    .arg(settings.port)
                    .toUtf8();
    clientId = settings.id.toUtf8();
    username = settings.username.toUtf8();
    password = settings.password.toUtf8();
    caFile = settings.caFile.toLocal8Bit();
    certFile = settings.certFile.toLocal8Bit();
    keyFile = settings.keyFile.toLocal8Bit();
}

FeedClient::~FeedClient()
{
    if (state != State::Finished)
        finish(will, 1000);
}

void FeedClient::start()
{
    if (client || state == State::Finished)
        return;
    MQTTAsync_createOptions options = MQTTAsync_createOptions_initializer;
    options.MQTTVersion = MQTTVERSION_3_1_1;
    options.sendWhileDisconnected = 0;
    MQTTAsync handle = nullptr;
    const int rc = MQTTAsync_createWithOptions(&handle, serverUri.constData(), clientId.constData(),
                                               MQTTCLIENT_PERSISTENCE_NONE, nullptr, &options);
    if (rc != MQTTASYNC_SUCCESS) {
        emit interrupted(QString::fromUtf8(MQTTAsync_strerror(rc)));
        return;
    }
    client = handle;
    if (settings.tls)
        followHostChecks();
    relay = FeedClientRelay::make();
    {
        QMutexLocker hold(&relay->mutex);
        relay->client = this;
    }
    MQTTAsync_setCallbacks(handle, relay, &FeedClientRelay::lost, &FeedClientRelay::arrived,
                           nullptr);
    connectNow();
}

void FeedClient::connectNow()
{
    if (!client || state == State::Connecting || state == State::Connected ||
        state == State::Finished)
        return;
    MQTTAsync_willOptions lastWill = MQTTAsync_willOptions_initializer;
    lastWill.topicName = will.topic.constData();
    lastWill.message = nullptr;
    lastWill.payload.data = will.payload.constData();
    lastWill.payload.len = will.payload.size();
    lastWill.qos = will.qos;
    lastWill.retained = will.retained ? 1 : 0;

    MQTTAsync_SSLOptions tls = MQTTAsync_SSLOptions_initializer;
    tls.trustStore = caFile.isEmpty() ? nullptr : caFile.constData();
    tls.keyStore = certFile.isEmpty() ? nullptr : certFile.constData();
    tls.privateKey = keyFile.isEmpty() ? nullptr : keyFile.constData();
    // The library's default checks the chain but not the host name.
    tls.enableServerCertAuth = 1;
    tls.verify = 1;
    // Without a CA file: the system's trusted authorities.
    tls.CApath = caFile.isEmpty() ? "/etc/ssl/certs" : nullptr;
    tls.ssl_error_cb = &FeedClientRelay::tlsFailed;
    tls.ssl_error_context = relay;

    MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
    options.MQTTVersion = MQTTVERSION_3_1_1;
    options.keepAliveInterval = settings.keepaliveS;
    options.cleansession = 1;
    options.automaticReconnect = 0;
    options.connectTimeout = std::max(5, settings.keepaliveS);
    options.will = &lastWill;
    options.username = username.isEmpty() ? nullptr : username.constData();
    options.password = username.isEmpty() && password.isEmpty() ? nullptr : password.constData();
    options.ssl = settings.tls ? &tls : nullptr;
    options.onSuccess = &FeedClientRelay::connectSucceeded;
    options.onFailure = &FeedClientRelay::connectFailed;
    options.context = relay;
    {
        QMutexLocker hold(&relay->mutex);
        relay->tlsError.clear();
        relay->host = settings.tls ? settings.host : QString();
    }
    if (settings.tls)
        hostNotMatched(settings.host);
    const int rc = MQTTAsync_connect(client, &options);
    if (rc != MQTTASYNC_SUCCESS) {
        onConnectFailed(QString::fromUtf8(MQTTAsync_strerror(rc)));
        return;
    }
    state = State::Connecting;
}

void FeedClient::onConnected()
{
    if (state != State::Connecting)
        return;
    state = State::Connected;
    retryMs = kFirstRetryMs;
    emit connected();
}

void FeedClient::onConnectFailed(const QString &reason)
{
    if (state == State::Finished)
        return;
    state = State::Idle;
    emit interrupted(reason);
    retryLater();
}

void FeedClient::onLost(const QString &reason)
{
    if (state != State::Connected)
        return;
    state = State::Idle;
    failInFlight();
    emit interrupted(reason);
    retryMs = kFirstRetryMs;
    retryLater();
}

void FeedClient::retryLater()
{
    retryTimer.start(retryMs);
    retryMs = std::min(retryMs * 2, kLongestRetryMs);
}

void FeedClient::failInFlight()
{
    const QHash<int, quint64> lost = std::exchange(inFlight, {});
    for (const quint64 tag : lost)
        emit failed(tag);
}

bool FeedClient::publish(const Message &message, quint64 tag)
{
    if (state != State::Connected)
        return false;
    MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
    response.context = relay;
    if (message.qos > 0) {
        response.onSuccess = &FeedClientRelay::sent;
        response.onFailure = &FeedClientRelay::notSent;
    }
    MQTTAsync_message out = MQTTAsync_message_initializer;
    out.payload = const_cast<char *>(message.payload.constData());
    out.payloadlen = message.payload.size();
    out.qos = message.qos;
    out.retained = message.retained ? 1 : 0;
    const int rc = MQTTAsync_sendMessage(client, message.topic.constData(), &out, &response);
    if (rc != MQTTASYNC_SUCCESS)
        return false;
    if (message.qos > 0)
        inFlight.insert(response.token, tag);
    return true;
}

void FeedClient::onPublished(int token, bool ok)
{
    const auto it = inFlight.find(token);
    if (it == inFlight.end())
        return; // failed already, with its connection
    const quint64 tag = it.value();
    inFlight.erase(it);
    if (ok)
        emit delivered(tag);
    else
        emit failed(tag);
}

void FeedClient::finish(const Message &last, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const bool wasConnected = state == State::Connected;
    retryTimer.stop();
    if (wasConnected) {
        MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
        MQTTAsync_message out = MQTTAsync_message_initializer;
        out.payload = const_cast<char *>(last.payload.constData());
        out.payloadlen = last.payload.size();
        out.qos = last.qos;
        out.retained = last.retained ? 1 : 0;
        if (MQTTAsync_sendMessage(client, last.topic.constData(), &out, &response) ==
                MQTTASYNC_SUCCESS &&
            last.qos > 0)
            MQTTAsync_waitForCompletion(
                client, response.token,
                (unsigned long)std::max<qint64>(0, deadline.remainingTime()));
    }
    state = State::Finished;
    if (client && wasConnected) {
        MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
        options.timeout = int(std::max<qint64>(0, deadline.remainingTime()));
        options.onSuccess = &FeedClientRelay::disconnectDone;
        options.onFailure = &FeedClientRelay::disconnectFailed;
        options.context = relay;
        if (MQTTAsync_disconnect(client, &options) == MQTTASYNC_SUCCESS)
            relay->disconnected.tryAcquire(1, int(std::max<qint64>(0, deadline.remainingTime())));
    }
    destroyClient();
    inFlight.clear();
}

void FeedClient::destroyClient()
{
    if (relay) {
        QMutexLocker hold(&relay->mutex);
        relay->client = nullptr;
    }
    if (client) {
        MQTTAsync handle = client;
        client = nullptr;
        MQTTAsync_destroy(&handle);
    }
}
