// orrindel-sim: a simulated laser controller on a pseudo-terminal or serial port.

#include "console.h"
#include "pty_transport.h"
#include "quit_on_signal.h"
#include "serial_transport.h"
#include "sim_options.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orrindel-sim"));
    // A reader that went away must not kill the simulator in the middle of a write.
    std::signal(SIGPIPE, SIG_IGN);
    // Started in the background of a shell, reading the terminal must end the
    // console (read fails) instead of stopping the whole process.
    std::signal(SIGTTIN, SIG_IGN);

    sim::SimOptions options;
    QString text;
    switch (sim::parseOptions(QCoreApplication::arguments(), options, text)) {
    case sim::ParseResult::Help:
        printLine(stdout, text);
        return 0;
    case sim::ParseResult::Error:
        printLine(stderr, QStringLiteral("orrindel-sim: %1 (see --help)").arg(text));
        return 2;
    case sim::ParseResult::Run:
        break;
    }

    QElapsedTimer elapsed;
    elapsed.start();
    sim::Transport *transport = nullptr;
    if (options.portName.isEmpty())
        transport = new sim::PtyTransport(options.linkPath);
    else
        transport = new sim::SerialTransport(options.portName);
    sim::Simulator simulator(options, transport, [&elapsed] { return elapsed.elapsed(); });
    QObject::connect(&simulator, &sim::Simulator::info,
                     [](const QString &line) { printLine(stderr, line); });
    QObject::connect(&simulator, &sim::Simulator::output,
                     [](const QString &t) { printLine(stdout, t); });
    QObject::connect(&simulator, &sim::Simulator::lineReopened, [](const QString &name) {
        printLine(stdout, QStringLiteral("reopened ") + name);
    });
    QObject::connect(&simulator, &sim::Simulator::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    QString error;
    if (!simulator.start(error)) {
        printLine(stderr, QStringLiteral("orrindel-sim: %1").arg(error));
        return 1;
    }
    // The first line of standard output is what a client opens.
    printLine(stdout, simulator.transport().name());

    sim::quitOnSignals();
    if (options.console) {
        auto *console = new sim::Console(STDIN_FILENO, &app);
        QObject::connect(console, &sim::Console::lineEntered, [&simulator](const QString &line) {
            const QString reply = simulator.execute(line);
            if (!reply.isEmpty())
                printLine(stdout, reply);
        });
        if (console->isReading() && ::isatty(STDIN_FILENO))
            printLine(stderr, QStringLiteral("type help for the console commands"));
    }
    return app.exec();
}
