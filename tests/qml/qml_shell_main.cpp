// Qt Quick Test runner for the helper services as QML sees them. Charts need
// the widgets application object, so this runner builds it itself.

#include "singletons.h"

#include <QApplication>
#include <QtQuickTest>

class Setup : public QObject {
    Q_OBJECT
public slots:
    void applicationAvailable() { registerSingletons(); }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Setup setup;
    return quick_test_main_with_setup(argc, argv, "qml_shell", QUICK_TEST_SOURCE_DIR, &setup);
}

#include "qml_shell_main.moc"
