// Test driver: the program's own start-up code with the main document taken
// from the first argument, so tests can run it on documents that fail to load,
// close themselves or switch the theme. It also appends one line per run to
// ./copies.log in its working directory when the event loop ends:
// pid <TAB> working directory <TAB> visible windows <TAB> font family <TAB> arguments
// (the arguments after the program path, separated by a unit separator).

#include "startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QWindow>

#include <cstdio>

namespace {

void logRunAtQuit()
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

} // namespace

Q_COREAPP_STARTUP_FUNCTION(logRunAtQuit)

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MAIN-DOCUMENT-URL [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    const QString mainDocument = QString::fromLocal8Bit(argv[1]);
    return runApplication(argc, argv, mainDocument);
}
