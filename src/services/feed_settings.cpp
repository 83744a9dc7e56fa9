#include "feed_settings.h"

#include <QRegularExpression>
#include <QUrl>

namespace feed_settings {

namespace {

// The value of the last complete option in the arguments, if any.
bool lastOption(const QStringList &arguments, const QString &option, QString *value)
{
    bool found = false;
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == option) {
            *value = arguments[++i];
            found = true;
        }
    }
    return found;
}

// A topic level may hold neither MQTT wildcard nor a NUL, and the prefix may
// have levels of its own but no empty one.
bool isValidPrefix(const QString &prefix)
{
    if (prefix.isEmpty() || prefix.contains(QLatin1Char('+')) ||
        prefix.contains(QLatin1Char('#')) || prefix.contains(QChar(0)))
        return false;
    const QStringList levels = prefix.split(QLatin1Char('/'));
    for (const QString &level : levels) {
        if (level.isEmpty())
            return false;
    }
    return true;
}

QString settingProblem(const QString &key, const QString &why)
{
    return key + QStringLiteral(": ") + why;
}

} // namespace

bool isValidId(const QString &id)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return allowed.match(id).hasMatch();
}

QString idFromHostName(const QString &hostName)
{
    QString id = hostName.section(QLatin1Char('.'), 0, 0);
    for (QChar &c : id) {
        const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                        (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                        (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') ||
                        c == QLatin1Char('-');
        if (!ok)
            c = QLatin1Char('-');
    }
    return id.isEmpty() ? QStringLiteral("laser") : id;
}

Outcome read(const QMap<QString, QString> &section, const QStringList &arguments,
             const QString &hostName, ReadFirstLine readFirstLine, CheckReadable checkReadable)
{
    Outcome out;
    FeedSettings &s = out.settings;
    QString broker = section.value(QStringLiteral("broker")).trimmed();
    lastOption(arguments, kFeedOption, &broker);
    if (broker.isEmpty())
        return out;
    out.enabled = true;
    s.broker = broker;

    const QUrl url(broker, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) {
        out.problem = settingProblem(
            QStringLiteral("broker"),
            QStringLiteral("unknown scheme in \"%1\" (mqtt:// or mqtts://)").arg(broker));
        return out;
    }
    s.tls = scheme == QLatin1String("mqtts");
    s.host = url.host();
    s.port = url.port(s.tls ? kDefaultMqttsPort : kDefaultMqttPort);
    if (!url.isValid() || s.host.isEmpty() || s.port <= 0 ||
        !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery() ||
        !url.userInfo().isEmpty()) {
        out.problem =
            settingProblem(QStringLiteral("broker"),
                           QStringLiteral("\"%1\" is not scheme://host:port").arg(broker));
        return out;
    }

    s.prefix = section.value(QStringLiteral("prefix"), s.prefix).trimmed();
    lastOption(arguments, kPrefixOption, &s.prefix);
    if (!isValidPrefix(s.prefix)) {
        out.problem = settingProblem(QStringLiteral("prefix"),
                                     QStringLiteral("\"%1\" is not a topic prefix").arg(s.prefix));
        return out;
    }

    s.id = section.value(QStringLiteral("id")).trimmed();
    lastOption(arguments, kIdOption, &s.id);
    if (s.id.isEmpty())
        s.id = idFromHostName(hostName);
    if (!isValidId(s.id)) {
        out.problem = settingProblem(
            QStringLiteral("id"),
            QStringLiteral("\"%1\" has characters other than A-Za-z0-9_-").arg(s.id));
        return out;
    }

    const QString keepalive = section.value(QStringLiteral("keepalive_s")).trimmed();
    if (!keepalive.isEmpty()) {
        bool ok = false;
        s.keepaliveS = keepalive.toInt(&ok);
        if (!ok || s.keepaliveS < 1 || s.keepaliveS > 65535) {
            out.problem =
                settingProblem(QStringLiteral("keepalive_s"),
                               QStringLiteral("\"%1\" is not 1 to 65535 seconds").arg(keepalive));
            return out;
        }
    }

    s.username = section.value(QStringLiteral("username"));
    const QString passwordFile = section.value(QStringLiteral("password_file")).trimmed();
    if (!passwordFile.isEmpty()) {
        QString reason;
        if (!readFirstLine(passwordFile, &s.password, &reason)) {
            out.problem = settingProblem(QStringLiteral("password_file"),
                                         QStringLiteral("%1: %2").arg(passwordFile, reason));
            return out;
        }
    }

    const struct {
        const char *key;
        QString *target;
    } files[] = {{"ca_file", &s.caFile}, {"cert_file", &s.certFile}, {"key_file", &s.keyFile}};
    for (const auto &f : files) {
        *f.target = section.value(QLatin1String(f.key)).trimmed();
        if (f.target->isEmpty())
            continue;
        QString reason;
        if (!s.tls)
            reason = QStringLiteral("only with an mqtts:// broker");
        else if (!checkReadable(*f.target, &reason))
            reason = QStringLiteral("%1: %2").arg(*f.target, reason);
        if (!reason.isEmpty()) {
            out.problem = settingProblem(QLatin1String(f.key), reason);
            return out;
        }
    }
    if (s.certFile.isEmpty() != s.keyFile.isEmpty()) {
        out.problem = settingProblem(s.certFile.isEmpty() ? QStringLiteral("cert_file")
                                                          : QStringLiteral("key_file"),
                                     QStringLiteral("cert_file and key_file go together"));
        return out;
    }
    return out;
}

} // namespace feed_settings
