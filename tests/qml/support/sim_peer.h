#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

// The controller simulator as a QML test's peer: started on a pseudo-terminal,
// driven through its console, and read back through its command log.
class SimPeer : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString port READ port NOTIFY portChanged)
public:
    explicit SimPeer(QObject *parent = nullptr);
    ~SimPeer() override;

    QString port() const { return portPath; }

    // Starts the simulator with extra command-line arguments; answers the
    // path of its line, or an empty string when it did not come up.
    Q_INVOKABLE QString start(const QStringList &arguments = {});
    Q_INVOKABLE void stop();
    // One console command, e.g. "chiller open" or "silent on".
    Q_INVOKABLE void console(const QString &command);
    // Every command the simulator decoded so far, oldest first: objects with
    // the log's fields (name, args, ok, payload, time).
    Q_INVOKABLE QVariantList commands() const;
    // Only the names of commands(), for quick comparisons.
    Q_INVOKABLE QStringList commandNames() const;
    // Sets ORRINDEL_EXTRA_PORTS, which the port list reads on every call;
    // an empty list removes the variable.
    Q_INVOKABLE void setExtraPorts(const QStringList &ports);

signals:
    void portChanged();

private:
    void readOutput();

    QProcess process;
    QTemporaryDir dir;
    QString portPath;
};
