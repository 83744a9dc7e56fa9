#include "scene_graph_choice.h"

#include <QtTest>

using namespace scene_graph_choice;

class TestSceneGraphChoice : public QObject {
    Q_OBJECT
private slots:
    void choice_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<bool>("works");
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<bool>("software");
        QTest::addColumn<QString>("description");
        QTest::newRow("llvmpipe") << QByteArray() << true << "llvmpipe (LLVM 15.0.6, 256 bits)"
                                  << true
                                  << "software (OpenGL renderer: llvmpipe (LLVM 15.0.6, 256 bits))";
        QTest::newRow("softpipe") << QByteArray() << true << "softpipe" << true
                                  << "software (OpenGL renderer: softpipe)";
        QTest::newRow("old swrast") << QByteArray() << true << "Mesa DRI SWRAST" << true
                                    << "software (OpenGL renderer: Mesa DRI SWRAST)";
        QTest::newRow("Windows software") << QByteArray() << true << "GDI Generic" << false
                                          << "OpenGL (OpenGL renderer: GDI Generic)";
        QTest::newRow("a graphics driver")
            << QByteArray() << true << "Mesa Intel(R) UHD Graphics 620 (KBL GT2)" << false
            << "OpenGL (OpenGL renderer: Mesa Intel(R) UHD Graphics 620 (KBL GT2))";
        QTest::newRow("a word that only contains the name")
            << QByteArray() << true << "NotllvmpipeGPU" << false
            << "OpenGL (OpenGL renderer: NotllvmpipeGPU)";
        QTest::newRow("no OpenGL at all")
            << QByteArray() << false << QString() << true << "software (no OpenGL)";
        QTest::newRow("user asks for software, GPU present")
            << QByteArray("software") << true << "AMD Radeon" << true
            << "software (chosen by the user: software)";
        QTest::newRow("user asks for OpenGL on llvmpipe")
            << QByteArray("opengl") << true << "llvmpipe" << false
            << "OpenGL (chosen by the user: opengl)";
        QTest::newRow("user names another scene graph")
            << QByteArray("openvg") << true << "llvmpipe" << false
            << "as set (chosen by the user: openvg)";
    }
    void choice()
    {
        QFETCH(QByteArray, user);
        QFETCH(bool, works);
        QFETCH(QString, renderer);
        QFETCH(bool, software);
        QFETCH(QString, description);
        const Choice c = choose(user, works, renderer);
        QCOMPARE(c.software, software);
        QCOMPARE(c.description, description);
    }

    void processorOnlyWindowSystems()
    {
        for (const char *name : {"offscreen", "minimal", "vnc", "linuxfb"})
            QVERIFY2(drawsWithoutGpu(name), name);
        for (const char *name : {"xcb", "wayland", "windows", "eglfs"})
            QVERIFY2(!drawsWithoutGpu(name), name);
    }
};

QTEST_APPLESS_MAIN(TestSceneGraphChoice)
#include "tst_scene_graph_choice.moc"
