#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

// What a QML suite needs of its process and working folder: the settings
// file the program reads at start, environment variables handed to a
// restarted copy, and small text files shared with such a copy.
class TestHost : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The working folder's config.ini, in the program's format ([General]).
    Q_INVOKABLE QString setting(const QString &key) const;
    Q_INVOKABLE void setSetting(const QString &key, const QString &value);

    Q_INVOKABLE QString env(const QString &name) const;
    Q_INVOKABLE void setEnv(const QString &name, const QString &value);

    // Lines of a UTF-8 text file; empty when it does not exist.
    Q_INVOKABLE QStringList readLines(const QString &path) const;
    Q_INVOKABLE bool appendLine(const QString &path, const QString &line);
    Q_INVOKABLE void removeFile(const QString &path);
    Q_INVOKABLE QString tempPath(const QString &name) const;
    Q_INVOKABLE qint64 processId() const;

    // Set by the runner when it was started by another runner (a restart).
    Q_INVOKABLE bool isRestartedCopy() const;

    // What the program's language switch does to the engine after loading a
    // catalogue (the runner's engine is not the language service's).
    Q_INVOKABLE void retranslate();

    // Pixels that differ between two pictures of the same size, leaving out
    // the rectangles in masks ({x, y, width, height} in pixels); -1 when a
    // picture cannot be read or the sizes differ. With diffPath, a picture
    // of the differences (red) is written there when there are any. A pixel
    // differs when a colour channel differs by more than tolerance.
    Q_INVOKABLE int differingPixels(const QString &actualPath, const QString &expectedPath,
                                    const QVariantList &masks, const QString &diffPath = {},
                                    int tolerance = 0) const;
    // The window's picture as it is drawn now, written to path.
    Q_INVOKABLE bool saveWindow(QObject *window, const QString &path) const;
    // The folder of this source file's suites (for pictures kept beside them).
    Q_INVOKABLE QString sourceDir() const;
};
