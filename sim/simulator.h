#pragma once

#include "command_log.h"
#include "command_parser.h"
#include "device_model.h"
#include "line_writer.h"
#include "sim_options.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace sim {

class Transport;

// Ties the controller model to the line: decodes commands, answers them,
// sends status frames while a client is connected, and runs console commands.
class Simulator : public QObject {
    Q_OBJECT
public:
    // Takes ownership of transport. clock: monotonic ms.
    Simulator(const SimOptions &options, Transport *transport, Clock clock,
              QObject *parent = nullptr);
    ~Simulator() override;

    // Opens the line and the log, runs the startup lines, arms the --at lines.
    bool start(QString &error);
    // Runs one console line; returns the text to show (may be empty).
    QString execute(const QString &line);

    DeviceModel &model() { return model_; }
    LineWriter &writer() { return writer_; }
    Transport &transport() { return *transport_; }
    bool silent() const { return silent_; }
    int periodMs() const { return statusTimer_.interval(); }
    qint64 commandsReceived() const { return commandsReceived_; }
    QString statusReport() const;

signals:
    // A line for the operator (commands, connections); goes to standard error.
    void info(const QString &line);
    // Console output to show (e.g. from --at lines); goes to standard output.
    void output(const QString &text);
    void lineReopened(const QString &name);
    void quitRequested();

private:
    void onReceived(const QByteArray &bytes);
    void sendStatus();
    void sendReplies(const QVector<Reply> &replies);
    void flushNotices();

    SimOptions options_;
    std::unique_ptr<Transport> transport_;
    Clock clock_;
    DeviceModel model_;
    CommandParser parser_;
    CommandLog log_;
    LineWriter writer_;
    QTimer statusTimer_;
    bool silent_ = false;
    qint64 commandsReceived_ = 0;
};

} // namespace sim
