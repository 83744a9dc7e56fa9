#include "link/communication.h"
#include "protocol/data_process.h"
#include "services/file.h"
#include "services/language.h"
#include "services/qml_public.h"

#include "resources.h"
#include "singletons.h"

#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const char *const kNames[] = {"Language", "Communication", "DataProcess", "File", "QmlPublic"};

std::unique_ptr<QObject> load(QQmlEngine &engine)
{
    QByteArray document = "import QtQml 2.15\nimport CppSingletonClass 1.0\nQtObject {\n"
                          "property string nowLanguage: Language.getNowLanguage()\n";
    for (const char *name : kNames)
        document += QByteArray("property var the") + name + ": " + name + "\n";
    QQmlComponent component(&engine);
    component.setData(document + "}", QUrl("qrc:/registration.qml"));
    std::unique_ptr<QObject> root(component.create());
    if (!root)
        qWarning() << component.errors();
    return root;
}

QList<QObject *> services()
{
    return {Language::getInstance(), Communication::getInstance(), DataProcess::getInstance(),
            File::getInstance(), QmlPublic::getInstance()};
}

} // namespace

class TestRegistration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eachNameYieldsTheProgramsInstance();
    void destroyingTheEngineDeletesNoService();

private:
    QTemporaryDir workDir;
};

void TestRegistration::initTestCase()
{
    QVERIFY(QDir::setCurrent(workDir.path())); // keeps ./config.ini out of the build tree
    initResources();
    registerSingletons();
}

void TestRegistration::eachNameYieldsTheProgramsInstance()
{
    QQmlEngine engine;
    Language::applySavedSettings(&engine);
    std::unique_ptr<QObject> root = load(engine);
    QVERIFY(root);
    for (int i = 0; i < 5; ++i) {
        const QByteArray property = QByteArray("the") + kNames[i];
        QCOMPARE(root->property(property).value<QObject *>(), services()[i]);
    }
    // The instance QML sees is the one the start-up configured.
    QCOMPARE(root->property("nowLanguage").toString(), QStringLiteral("cn"));
}

void TestRegistration::destroyingTheEngineDeletesNoService()
{
    QList<QPointer<QObject>> before;
    for (QObject *service : services())
        before.append(service);
    {
        QQmlEngine engine;
        QVERIFY(load(engine));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (int i = 0; i < 5; ++i) {
        QVERIFY2(before[i], kNames[i]);
        QCOMPARE(before[i].data(), services()[i]);
    }
    QCOMPARE(Language::getInstance()->getNowLanguage(), QStringLiteral("cn"));
}

QTEST_MAIN(TestRegistration)
#include "tst_registration.moc"
