#pragma once

#include <QByteArray>
#include <QString>

// Which scene graph draws the window when the user has not chosen one.
//
// OpenGL on a software rasteriser (Mesa's llvmpipe, softpipe or swrast, as on
// machines without a working graphics driver: virtual machines, remote
// desktops, many industrial PCs) costs ten times the processor of the
// software scene graph for the same picture, so there the software scene
// graph is taken; with a real graphics driver OpenGL stays. A choice the user
// made (QT_QUICK_BACKEND or QMLSCENE_DEVICE; "opengl" asks for OpenGL)
// always wins.
namespace scene_graph_choice {

// The user's name for OpenGL (Qt's own default has no name).
inline constexpr char kOpenGlName[] = "opengl";

struct Choice {
    bool software = false;
    // One line for the log and the diagnostics, e.g. "software (OpenGL
    // renderer: llvmpipe (LLVM 15.0.6, 256 bits))".
    QString description;
};

// userBackend: the value of QT_QUICK_BACKEND, else of QMLSCENE_DEVICE (empty:
// not chosen). renderer: the OpenGL renderer string, empty when no OpenGL
// context could be made (openGlWorks false).
Choice choose(const QByteArray &userBackend, bool openGlWorks, const QString &renderer);

// Window systems that draw on the processor anyway (offscreen, vnc, the
// frame buffer): there the software scene graph is taken without asking
// OpenGL at all.
bool drawsWithoutGpu(const QString &platformName);

// Whether a renderer string names a software rasteriser.
bool isSoftwareRasteriser(const QString &renderer);

// The user's choice from the environment (see choose).
QByteArray userBackend();

} // namespace scene_graph_choice

// Reads the OpenGL renderer once (with QGuiApplication made, before any
// window), applies the choice and returns it. Logged at start.
scene_graph_choice::Choice applySceneGraphChoice();

// Glyphs drawn as the software scene graph draws them (native rendering, not
// distance fields), so that the window looks the same whichever scene graph
// shows it. Before the first window.
void useTheSameGlyphsEverywhere();
