#include "startup.h"

#include "link/communication.h"
#include "resources.h"
#include "services/language.h"
#include "singletons.h"

#include <QApplication>
#include <QCoreApplication>
#include <QQmlApplicationEngine>
#include <QUrl>

#include <memory>

int runApplication(int &argc, char **argv, const QString &mainDocument)
{
    initResources();

    QApplication app(argc, argv);
    auto engine = std::make_unique<QQmlApplicationEngine>();

    Language::applySavedSettings(engine.get());
    registerSingletons();
    // Its worker thread must run before any document exists.
    Communication::getInstance();

    const QUrl mainUrl(mainDocument, QUrl::TolerantMode);
    // Queued: the handler runs once the event loop has started, so exit()
    // ends that loop.
    QObject::connect(
        engine.get(), &QQmlApplicationEngine::objectCreated, &app,
        [mainUrl](QObject *object, const QUrl &url) {
            if (!object && url == mainUrl)
                QCoreApplication::exit(-1);
        },
        Qt::QueuedConnection);
    engine->load(mainUrl);

    const int result = app.exec();
    engine.reset();
    return result;
}
