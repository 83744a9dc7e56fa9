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

const char *const kDocument = R"(
import QtQml 2.15
import CppSingletonClass 1.0
QtObject {
    property var language: Language
    property var communication: Communication
    property var dataProcess: DataProcess
    property var file: File
    property var qmlPublic: QmlPublic
    property var languageAgain: Language
    property string nowLanguage: Language.getNowLanguage()
}
)";

QObject *singletonOf(QObject *root, const char *property)
{
    return root->property(property).value<QObject *>();
}

} // namespace

class TestRegistration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eachNameYieldsTheProgramsInstance();
    void destroyingTheEngineDeletesNoService();

private:
    std::unique_ptr<QObject> load(QQmlEngine &engine);
    QTemporaryDir workDir;
};

void TestRegistration::initTestCase()
{
    QVERIFY(workDir.isValid());
    QDir::setCurrent(workDir.path());
    initResources();
    registerSingletons();
}

std::unique_ptr<QObject> TestRegistration::load(QQmlEngine &engine)
{
    QQmlComponent component(&engine);
    component.setData(kDocument, QUrl("qrc:/registration.qml"));
    std::unique_ptr<QObject> root(component.create());
    if (!root)
        qWarning() << component.errors();
    return root;
}

void TestRegistration::eachNameYieldsTheProgramsInstance()
{
    QQmlEngine engine;
    Language::applySavedSettings(&engine);
    std::unique_ptr<QObject> root = load(engine);
    QVERIFY(root);
    QCOMPARE(singletonOf(root.get(), "language"), Language::getInstance());
    QCOMPARE(singletonOf(root.get(), "languageAgain"), Language::getInstance());
    QCOMPARE(singletonOf(root.get(), "communication"), Communication::getInstance());
    QCOMPARE(singletonOf(root.get(), "dataProcess"), DataProcess::getInstance());
    QCOMPARE(singletonOf(root.get(), "file"), File::getInstance());
    QCOMPARE(singletonOf(root.get(), "qmlPublic"), QmlPublic::getInstance());
    // The instance QML sees is the one the start-up configured.
    QCOMPARE(root->property("nowLanguage").toString(), QStringLiteral("cn"));

    // A second document in another engine gets the same objects.
    QQmlEngine other;
    std::unique_ptr<QObject> second = load(other);
    QVERIFY(second);
    for (const char *name : {"language", "communication", "dataProcess", "file", "qmlPublic"})
        QCOMPARE(singletonOf(second.get(), name), singletonOf(root.get(), name));
}

void TestRegistration::destroyingTheEngineDeletesNoService()
{
    const QList<QPointer<QObject>> services{Language::getInstance(), Communication::getInstance(),
                                            DataProcess::getInstance(), File::getInstance(),
                                            QmlPublic::getInstance()};
    {
        auto engine = std::make_unique<QQmlEngine>();
        std::unique_ptr<QObject> root = load(*engine);
        QVERIFY(root);
        root.reset();
        engine.reset();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QPointer<QObject> &service : services)
        QVERIFY(service);
    QCOMPARE(services[0].data(), Language::getInstance());
    QCOMPARE(services[1].data(), Communication::getInstance());
    QCOMPARE(services[4].data(), QmlPublic::getInstance());
    QCOMPARE(Language::getInstance()->getNowLanguage(), QStringLiteral("cn"));
}

QTEST_MAIN(TestRegistration)
#include "tst_registration.moc"
