#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QVector>

#include <optional>

// Soft shadows of rounded rectangles as nine-patch images, made once per look
// instead of by a live effect per item, so that every scene graph (software
// or OpenGL) draws them the same.
//
// The blur follows the Gaussian effects it replaces: `blur` is their radius
// (deviation (blur + 1) / 3.3333) and `kernel` their number of samples
// halved, the reach of the blur in pixels.
//
// Layout of an image: a square of side 2 * border + 1, where border is the
// part that must not stretch (the corner, the blur's reach and, inside, the
// offset); the middle row and column are uniform and stretch. A drop shadow's
// image holds the shape with `kernel` pixels around it (the shadow reaches
// past the shape) and is placed offset by the shadow's offset; an inner
// shadow's image is the shape itself with the offset inside it.
namespace shadow_images {

struct ShadowLook {
    bool inner = false;
    int cornerRadius = 0;
    double blur = 0;
    int kernel = 0;
    // Only inner shadows carry their offset in the image.
    int dx = 0;
    int dy = 0;
    QColor color;
};

// "drop/<corner>/<blur>/<kernel>/<rrggbb or aarrggbb>" or
// "inner/<corner>/<blur>/<kernel>/<dx>/<dy>/<colour>"; nothing for anything
// else (numbers out of range included).
std::optional<ShadowLook> parseLook(const QString &id);

// The part of each side that must not stretch.
int border(const ShadowLook &look);

// Premultiplied ARGB, of side 2 * border(look) + 1.
QImage ninePatch(const ShadowLook &look);

// The weights of a Gaussian of the given reach: 2 * kernel + 1 values
// summing to 1.
QVector<double> gaussianWeights(double blur, int kernel);

// The image blurred as by the Gaussian effects (same meaning of blur and
// kernel), premultiplied ARGB of the same size; edge pixels repeat outward.
QImage gaussianBlur(const QImage &image, double blur, int kernel);

} // namespace shadow_images
