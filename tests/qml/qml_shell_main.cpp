// Qt Quick Test runner for the shell's services as QML sees them. Charts
// need the widgets application object, so this runner builds it itself.

#include "resources.h"
#include "services/language.h"
#include "singletons.h"

#include <QApplication>
#include <QDir>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQuickTest>

class Setup : public QObject {
    Q_OBJECT
public slots:
    void applicationAvailable()
    {
        // The language service keeps ./config.ini: keep it out of the build tree.
        QDir::setCurrent(workDir.path());
        initResources();
        registerSingletons();
    }
    void qmlEngineAvailable(QQmlEngine *engine) { Language::applySavedSettings(engine); }

private:
    QTemporaryDir workDir;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Setup setup;
    return quick_test_main_with_setup(argc, argv, "qml_shell", QUICK_TEST_SOURCE_DIR, &setup);
}

#include "qml_shell_main.moc"
