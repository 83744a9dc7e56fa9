#include "feed_hookup.h"

#include "link/communication.h"
#include "services/feed_settings.h"
#include "services/language_rules.h"
#include "services/plant_feed.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QSysInfo>
#include <QTimer>

#include <memory>

namespace {

bool readFirstLine(const QString &path, QString *line, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    QByteArray first = file.readLine();
    while (first.endsWith('\n') || first.endsWith('\r'))
        first.chop(1);
    *line = QString::fromUtf8(first);
    return true;
}

bool checkReadable(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

QMap<QString, QString> feedSection()
{
    QSettings ini(language_rules::kSettingsPath, QSettings::IniFormat);
    ini.beginGroup(feed_settings::kSection);
    QMap<QString, QString> section;
    const QStringList keys = ini.childKeys();
    for (const QString &key : keys)
        section.insert(key, ini.value(key).toString());
    return section;
}

// The line's events: an open by the operator is "connected", a close
// "closed", a loss "lost", a port found again by the watch "reconnected".
// A port that goes away is told only once it is known whether it was lost
// (the loss is announced right after the port is cleared).
void followLinkEvents(Communication *link, PlantFeed *feed)
{
    struct State {
        QString port;
        QString closing;
    };
    auto state = std::make_shared<State>();
    auto pushState = [link, feed] {
        feed->setLink(link->connected(), link->port(), link->deviceOnline());
    };
    QObject::connect(link, &Communication::portChanged, feed, [link, feed, state, pushState] {
        pushState();
        const QString port = link->port();
        const QString previous = std::exchange(state->port, port);
        if (!port.isEmpty()) {
            // Reopened by the watch: told by reconnected() once it holds.
            if (port != link->watchedPort())
                feed->noteLinkEvent(QStringLiteral("connected"), port);
            return;
        }
        if (previous.isEmpty())
            return;
        state->closing = previous;
        QTimer::singleShot(0, feed, [feed, state] {
            if (!state->closing.isEmpty())
                feed->noteLinkEvent(QStringLiteral("closed"), std::exchange(state->closing, {}));
        });
    });
    QObject::connect(link, &Communication::connectionLost, feed,
                     [feed, state](const QString &port) {
                         state->closing.clear();
                         feed->noteLinkEvent(QStringLiteral("lost"), port);
                     });
    QObject::connect(link, &Communication::reopenFailed, feed,
                     [state](const QString &) { state->closing.clear(); });
    QObject::connect(link, &Communication::reconnected, feed, [feed](const QString &port) {
        feed->noteLinkEvent(QStringLiteral("reconnected"), port);
    });
    QObject::connect(link, &Communication::deviceOnlineChanged, feed, pushState);
    pushState();
}

} // namespace

void startPlantFeed()
{
    const feed_settings::Outcome outcome =
        feed_settings::read(feedSection(), QCoreApplication::arguments(),
                            QSysInfo::machineHostName(), &readFirstLine, &checkReadable);
    PlantFeed *feed = PlantFeed::getInstance();
    if (!outcome.enabled)
        return;
    if (!outcome.problem.isEmpty())
        qWarning().noquote() << "Plant feed off:" << outcome.problem;
    Communication *link = Communication::getInstance();
    QObject::connect(link, &Communication::dataReceived, feed,
                     [feed](const QJsonObject &record) { feed->takeRecord(record); });
    followLinkEvents(link, feed);
    feed->start(outcome, QStringLiteral(ORRINDEL_VERSION));
}

void stopPlantFeed()
{
    PlantFeed::getInstance()->stop();
}
