#include "scene_graph_choice.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSGRendererInterface>
#include <QStringList>

namespace scene_graph_choice {

bool isSoftwareRasteriser(const QString &renderer)
{
    static const QRegularExpression rasteriser(
        QStringLiteral("\\b(llvmpipe|softpipe|swrast|software rasterizer)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return rasteriser.match(renderer).hasMatch();
}

Choice choose(const QByteArray &userBackend, bool openGlWorks, const QString &renderer)
{
    Choice choice;
    if (!userBackend.isEmpty()) {
        choice.software = userBackend == "software" || userBackend == "softwarecontext";
        const QString kind = choice.software              ? QStringLiteral("software")
                             : userBackend == kOpenGlName ? QStringLiteral("OpenGL")
                                                          : QStringLiteral("as set");
        choice.description = QStringLiteral("%1 (chosen by the user: %2)")
                                 .arg(kind, QString::fromLocal8Bit(userBackend));
        return choice;
    }
    if (!openGlWorks) {
        choice.software = true;
        choice.description = QStringLiteral("software (no OpenGL)");
        return choice;
    }
    choice.software = isSoftwareRasteriser(renderer);
    choice.description =
        QStringLiteral("%1 (OpenGL renderer: %2)")
            .arg(choice.software ? QStringLiteral("software") : QStringLiteral("OpenGL"), renderer);
    return choice;
}

bool drawsWithoutGpu(const QString &platformName)
{
    static const QStringList processorOnly = {QStringLiteral("offscreen"),
                                              QStringLiteral("minimal"), QStringLiteral("vnc"),
                                              QStringLiteral("linuxfb")};
    return processorOnly.contains(platformName);
}

QByteArray userBackend()
{
    const QByteArray backend = qgetenv("QT_QUICK_BACKEND");
    return backend.isEmpty() ? qgetenv("QMLSCENE_DEVICE") : backend;
}

} // namespace scene_graph_choice

scene_graph_choice::Choice applySceneGraphChoice()
{
    using namespace scene_graph_choice;
    const QByteArray user = userBackend();
    bool works = false;
    QString renderer;
    if (user.isEmpty() && !drawsWithoutGpu(QGuiApplication::platformName())) {
        QOpenGLContext context;
        QOffscreenSurface surface;
        surface.create();
        if (context.create() && context.makeCurrent(&surface)) {
            const auto *text =
                reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
            renderer = QString::fromLatin1(text ? text : "");
            works = true;
            context.doneCurrent();
        }
    }
    const Choice choice = choose(user, works, renderer);
    if (choice.software && user.isEmpty())
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    // Qt knows OpenGL only as its default, and would warn about the name.
    if (user == kOpenGlName) {
        qunsetenv("QT_QUICK_BACKEND");
        qunsetenv("QMLSCENE_DEVICE");
    }
    return choice;
}

void useTheSameGlyphsEverywhere()
{
    QQuickWindow::setTextRenderType(QQuickWindow::NativeTextRendering);
}
