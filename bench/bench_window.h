#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QString>
#include <QUrl>

// Loads a benchmark's window document and waits up to timeoutMs for its
// `ready` property (the charts made their curves). nullptr when the document
// did not load or never got ready.
inline QQuickWindow *loadReadyWindow(QQmlApplicationEngine &engine, const QString &document,
                                     int timeoutMs = 10000)
{
    engine.load(QUrl::fromLocalFile(document));
    if (engine.rootObjects().isEmpty())
        return nullptr;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window)
        return nullptr;
    QElapsedTimer wait;
    wait.start();
    while (!window->property("ready").toBool() && wait.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return window->property("ready").toBool() ? window : nullptr;
}
