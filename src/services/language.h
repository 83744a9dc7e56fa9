#pragma once

#include <QFont>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTranslator>

#include <memory>

class QQmlEngine;

// Keeps the user's language and theme in "./config.ini", applies them at
// start-up, switches the translation while the program runs and sets the
// application font of the theme. A theme change restarts the program.
class Language : public QObject {
    Q_OBJECT
public:
    static Language *getInstance();

    Language();
    ~Language() override;

    Q_INVOKABLE QString getNowLanguage();
    Q_INVOKABLE void loadChinese();
    Q_INVOKABLE void loadEnglish();
    Q_INVOKABLE void setFont(QString themeName);
    Q_INVOKABLE QString getTheme();
    // Restarts the program with the theme; a non-empty reopenPort is passed
    // to the new copy, which opens that port at its start. Answers an empty
    // text once the new copy runs (this one then ends), or the reason it
    // could not be started: this copy then runs on with its theme restored.
    Q_INVOKABLE QString setTheme(QString themeName, QString reopenPort = QString());
    // The port this copy was started to reopen (by a theme restart), or "".
    Q_INVOKABLE QString portToReopen();

    // Start-up: remembers the engine whose bindings are retranslated, then
    // normalises and stores the settings and applies font and translation.
    static void applySavedSettings(QQmlEngine *engine);

private:
    void switchTranslation(const QString &languageCode);

    // A guarded pointer: the engine dies before this service does.
    QPointer<QQmlEngine> engine;
    std::unique_ptr<QTranslator> translator;
    std::unique_ptr<QFont> appFont;
    // Font files already added to the font database, by resource path, so a
    // repeated setFont does not load a multi-megabyte font again.
    QHash<QString, int> fontIds;
    // Set by the first setTheme: the program is on its way to a restart.
    bool restartPending = false;
};
