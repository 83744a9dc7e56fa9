#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The settings of the read-only plant feed (an MQTT 3.1.1 broker), as rules
// without a network: the [feed] section of config.ini, overridden for one
// run by the command line, checked before anything connects.
//
//   [feed]
//   broker=mqtt://host:port      or mqtts://host:port; no broker: no feed
//   prefix=orrindel              topics are <prefix>/<id>/...
//   id=line3-laser2              default: the host name; A-Za-z0-9_- only
//   username=...
//   password_file=/path          its first line; never the password itself
//   ca_file=, cert_file=, key_file=   TLS (mqtts only)
//   keepalive_s=10
//
// Command line: --feed URL, --feed-prefix P, --feed-id ID (they go along
// with a theme restart, as every option but the port's).
namespace feed_settings {

inline const QString kSection = QStringLiteral("feed");
inline const QString kFeedOption = QStringLiteral("--feed");
inline const QString kPrefixOption = QStringLiteral("--feed-prefix");
inline const QString kIdOption = QStringLiteral("--feed-id");

inline constexpr int kDefaultMqttPort = 1883;
inline constexpr int kDefaultMqttsPort = 8883;
inline constexpr int kDefaultKeepaliveS = 10;

struct FeedSettings {
    bool tls = false;
    QString host;
    int port = 0;
    // The broker as configured, for the message list.
    QString broker;
    QString prefix = QStringLiteral("orrindel");
    QString id;
    QString username;
    QString password;
    QString caFile;
    QString certFile;
    QString keyFile;
    int keepaliveS = kDefaultKeepaliveS;

    // "<prefix>/<id>"
    QString base() const { return prefix + QLatin1Char('/') + id; }
};

// Reads a file's first line (the password file); false with the system's
// reason when it cannot be read.
using ReadFirstLine = bool (*)(const QString &path, QString *line, QString *reason);
// Whether a file can be read; false with the system's reason.
using CheckReadable = bool (*)(const QString &path, QString *reason);

struct Outcome {
    // No broker set anywhere: the feed is off (the default), nothing to say.
    bool enabled = false;
    // With enabled: empty when the settings are good, else why not (one
    // line, names the setting); the program then runs without the feed.
    QString problem;
    FeedSettings settings;
};

// section: the [feed] keys and values; arguments: the program's (the first
// is the program); hostName: the machine's, for the default id.
Outcome read(const QMap<QString, QString> &section, const QStringList &arguments,
             const QString &hostName, ReadFirstLine readFirstLine, CheckReadable checkReadable);

// The default id from a host name: its first label, every character outside
// A-Za-z0-9_- turned into "-"; "laser" when nothing is left.
QString idFromHostName(const QString &hostName);

bool isValidId(const QString &id);

} // namespace feed_settings
