#include "language.h"

#include "common/single_instance.h"
#include "language_rules.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlEngine>
#include <QResource>
#include <QSettings>
#include <QTimer>

#include <cerrno>

using namespace language_rules;

namespace {

constexpr int kRestartDelayMs = 700;
constexpr int kEventPassMs = 100;

QString readSetting(const QString &key)
{
    QSettings settings(kSettingsPath, QSettings::IniFormat);
    return settings.value(key).toString();
}

void writeSetting(const QString &key, const QString &value)
{
    QSettings settings(kSettingsPath, QSettings::IniFormat);
    settings.setValue(key, value);
}

// Keeps the window painting and animating for totalMs. Each pass waits for
// the next event instead of spinning; the timer bounds a pass at passMs.
void processEventsFor(int totalMs, int passMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.setSingleShot(true);
    for (qint64 left = totalMs; left > 0; left = totalMs - clock.elapsed()) {
        wake.start(static_cast<int>(qMin<qint64>(left, passMs)));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

// Adds a font kept in the resources. The fonts are stored uncompressed
// (fonts.qrc.in), so the face reads the program's own pages: added by its
// resource path instead, the font database and the font engine would each
// read (and, when compressed, inflate) a copy of several megabytes at the start.
int addFontResource(const QString &path)
{
    const QResource resource(path);
    if (!resource.isValid())
        return QFontDatabase::addApplicationFont(path);
    if (resource.compressionAlgorithm() != QResource::NoCompression)
        return QFontDatabase::addApplicationFontFromData(resource.uncompressedData());
    return QFontDatabase::addApplicationFontFromData(QByteArray::fromRawData(
        reinterpret_cast<const char *>(resource.data()), int(resource.size())));
}

// Qt 5.15 reports a failed detached start without a reason: the likely
// ones are read from the program file itself, in the system's words.
QString startFailureReason(const QString &program)
{
    const QFileInfo file(program);
    if (!file.exists())
        return qt_error_string(ENOENT);
    if (!file.isExecutable())
        return qt_error_string(EACCES);
    return QCoreApplication::translate("Language", "新程序未能启动");
}

} // namespace

Language *Language::getInstance()
{
    return SingleInstance<Language>::get();
}

Language::Language() = default;

Language::~Language() = default;

QString Language::getNowLanguage()
{
    return readSetting(kLanguageKey);
}

void Language::loadChinese()
{
    switchTranslation(kChinese);
}

void Language::loadEnglish()
{
    switchTranslation(kEnglish);
}

void Language::setFont(QString themeName)
{
    if (!appFont)
        appFont = std::make_unique<QFont>();
    const QString path = fontForTheme(themeName);
    auto known = fontIds.constFind(path);
    const int id = known != fontIds.constEnd() ? *known : addFontResource(path);
    if (id >= 0)
        fontIds.insert(path, id);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty())
        return; // keep the current application font
    appFont->setFamily(families.first());
    QGuiApplication::setFont(*appFont);
}

QString Language::getTheme()
{
    const QString stored = readSetting(kThemeKey);
    if (isValidTheme(stored))
        return stored;
    writeSetting(kThemeKey, kDark);
    return kDark;
}

QString Language::setTheme(QString themeName, QString reopenPort)
{
    // The wait below runs the event loop, so a second switch can arrive
    // inside it: that would start a second copy to fight over the port.
    if (restartPending)
        return QString();
    restartPending = true;
    const QVariant previousTheme = QSettings(kSettingsPath, QSettings::IniFormat).value(kThemeKey);
    {
        QSettings settings(kSettingsPath, QSettings::IniFormat);
        settings.setValue(kThemeKey, themeName);
        // The new copy reads the theme in its own start-up: it must be on disk.
        settings.sync();
    }
    processEventsFor(kRestartDelayMs, kEventPassMs);
    QProcess copy;
    copy.setProgram(QCoreApplication::applicationFilePath());
    copy.setArguments(restartArguments(QCoreApplication::arguments(), reopenPort));
    copy.setWorkingDirectory(QDir::currentPath());
    // This copy ends only once the new one runs: an operator must never be
    // left without a program at an emitting laser.
    if (copy.startDetached()) {
        QCoreApplication::exit(0);
        return QString();
    }
    QSettings settings(kSettingsPath, QSettings::IniFormat);
    if (previousTheme.isValid())
        settings.setValue(kThemeKey, previousTheme);
    else
        settings.remove(kThemeKey);
    restartPending = false;
    return QStringLiteral("%1: %2").arg(copy.program(), startFailureReason(copy.program()));
}

QString Language::portToReopen()
{
    return language_rules::portToReopen(QCoreApplication::arguments());
}

void Language::applySavedSettings(QQmlEngine *engine)
{
    const QString storedLanguage = readSetting(kLanguageKey);
    Language *self = getInstance();
    self->engine = engine;
    self->setFont(self->getTheme());
    self->switchTranslation(normalizedLanguage(storedLanguage));
}

void Language::switchTranslation(const QString &languageCode)
{
    writeSetting(kLanguageKey, languageCode);
    if (!translator)
        translator = std::make_unique<QTranslator>();
    // A catalogue that fails to load leaves the translator empty: the source texts show.
    const bool loaded = translator->load(catalogueForLanguage(languageCode));
    Q_UNUSED(loaded)
    // Installing again moves it to the front; removing first keeps the
    // application's list from holding the same translator twice.
    QCoreApplication::removeTranslator(translator.get());
    QCoreApplication::installTranslator(translator.get());
    if (engine)
        engine->retranslate();
}
