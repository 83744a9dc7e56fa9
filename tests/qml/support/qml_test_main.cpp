// Qt Quick Test runner of the user-interface suites. Charts need the widgets
// application object, so this runner builds it itself; each suite's folder is
// given with -input. Suites reach the controller simulator as SimPeer
// (import OrrindelTest 1.0), and their process and working folder as
// TestHost.

#include "image_providers.h"
#include "resources.h"
#include "scene_graph_choice.h"
#include "sim_peer.h"
#include "singletons.h"
#include "test_host.h"

#include <QApplication>
#include <QFile>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQuickTest>

class Setup : public QObject {
    Q_OBJECT
public slots:
    void applicationAvailable()
    {
        registerSingletons();
        useTheSameGlyphsEverywhere();
        qmlRegisterType<SimPeer>("OrrindelTest", 1, 0, "SimPeer");
        qmlRegisterType<TestHost>("OrrindelTest", 1, 0, "TestHost");
    }

    void qmlEngineAvailable(QQmlEngine *engine) { addImageProviders(engine); }
};

int main(int argc, char *argv[])
{
    // A theme switch restarts the program, here the runner, with the same
    // arguments. Only the theme suite asks for that copy (it names a log for
    // it); any other restart must not run a suite again unseen.
    if (qEnvironmentVariableIsSet("ORRINDEL_QMLTEST_PARENT")) {
        if (!qEnvironmentVariableIsSet("ORRINDEL_THEME_PROBE_LOG"))
            return 3;
    } else {
        qputenv("ORRINDEL_QMLTEST_PARENT", QByteArray::number(QCoreApplication::applicationPid()));
    }
    // A fresh data folder per run: the session journal must neither leak into
    // the home folder nor carry one run's data into the next.
    QTemporaryDir dataDir;
    if (!qEnvironmentVariableIsSet("ORRINDEL_DATA_DIR"))
        qputenv("ORRINDEL_DATA_DIR", QFile::encodeName(dataDir.path()));
    initResources();
    QApplication app(argc, argv);
    Setup setup;
    return quick_test_main_with_setup(argc, argv, "qml_ui", nullptr, &setup);
}

#include "qml_test_main.moc"
