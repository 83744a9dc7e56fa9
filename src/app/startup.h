#pragma once

#include <QString>

// The program's whole life: application object, QML engine, saved settings,
// QML singletons, the communication facade, the main document, the event
// loop and the teardown. Returns the event loop's result.
int runApplication(int &argc, char **argv, const QString &mainDocument);
