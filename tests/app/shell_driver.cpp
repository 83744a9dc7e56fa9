// The program's start-up code with the main document taken from the first
// argument. When the event loop ends it appends one line to ./copies.log:
// pid, working directory, visible windows, font family and the arguments
// after the program path (joined by a unit separator), tab-separated.

#include "startup.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QWindow>

#include <cstdio>

static void logRunAtQuit()
{
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
        int visibleWindows = 0;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            visibleWindows += window->isVisible() ? 1 : 0;
        QFile log(QStringLiteral("copies.log"));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        const QStringList fields{QString::number(QCoreApplication::applicationPid()),
                                 QDir::currentPath(), QString::number(visibleWindows),
                                 QGuiApplication::font().family(),
                                 QCoreApplication::arguments().mid(1).join(QChar(0x1f))};
        log.write(fields.join('\t').toUtf8() + '\n');
    });
}
Q_COREAPP_STARTUP_FUNCTION(logRunAtQuit)

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MAIN-DOCUMENT-URL [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    return runApplication(argc, argv, QString::fromLocal8Bit(argv[1]));
}
