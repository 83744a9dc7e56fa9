#include "shadow_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace shadow_images {

namespace {

// Large enough for every look the window uses, small enough that a wrong id
// cannot ask for a huge image.
constexpr int kMaxCorner = 64;
constexpr int kMaxKernel = 64;
constexpr int kMaxOffset = 32;

bool inRange(int value, int low, int high)
{
    return value >= low && value <= high;
}

// The shape's coverage (0..1) on a grid of side `size`, the shape's square
// starting at `at` with side `side`.
QVector<double> coverage(int size, int at, int side, int corner)
{
    QImage mask(size, size, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(at, at, side, side), corner, corner);
    painter.end();
    QVector<double> out(size * size);
    for (int y = 0; y < size; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
        for (int x = 0; x < size; ++x)
            out[y * size + x] = qAlpha(line[x]) / 255.0;
    }
    return out;
}

// Separable blur; outside the grid counts as 0.
QVector<double> blurred(const QVector<double> &in, int size, const QVector<double> &weights)
{
    const int k = (weights.size() - 1) / 2;
    QVector<double> across(in.size(), 0.0);
    QVector<double> out(in.size(), 0.0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double sum = 0;
            for (int i = -k; i <= k; ++i)
                if (x + i >= 0 && x + i < size)
                    sum += weights[i + k] * in[y * size + x + i];
            across[y * size + x] = sum;
        }
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double sum = 0;
            for (int i = -k; i <= k; ++i)
                if (y + i >= 0 && y + i < size)
                    sum += weights[i + k] * across[(y + i) * size + x];
            out[y * size + x] = sum;
        }
    return out;
}

QRgb premultiplied(const QColor &color, double strength)
{
    const double a = std::clamp(strength, 0.0, 1.0) * color.alphaF();
    auto channel = [a](double c) { return int(std::lround(c * a * 255)); };
    return qRgba(channel(color.redF()), channel(color.greenF()), channel(color.blueF()),
                 int(std::lround(a * 255)));
}

} // namespace

QVector<double> gaussianWeights(double blur, int kernel)
{
    QVector<double> weights(2 * kernel + 1, 1.0);
    const double deviation = (blur + 1) / 3.3333;
    double sum = 0;
    for (int i = -kernel; i <= kernel; ++i) {
        weights[i + kernel] = std::exp(-(i * i) / (2 * deviation * deviation));
        sum += weights[i + kernel];
    }
    for (double &w : weights)
        w /= sum;
    return weights;
}

QImage gaussianBlur(const QImage &image, double blur, int kernel)
{
    const QImage in = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (kernel <= 0 || in.isNull())
        return in;
    const QVector<double> weights = gaussianWeights(blur, kernel);
    const int w = in.width();
    const int h = in.height();
    // One pass along a line of n pixels (step apart in `from`), clamped at
    // the ends; four channels at once.
    auto pass = [&](const QRgb *from, QRgb *to, int n, int step) {
        for (int i = 0; i < n; ++i) {
            double c[4] = {0, 0, 0, 0};
            for (int k = -kernel; k <= kernel; ++k) {
                const QRgb p = from[std::clamp(i + k, 0, n - 1) * step];
                const double wk = weights[k + kernel];
                c[0] += wk * qAlpha(p);
                c[1] += wk * qRed(p);
                c[2] += wk * qGreen(p);
                c[3] += wk * qBlue(p);
            }
            to[i * step] = qRgba(int(std::lround(c[1])), int(std::lround(c[2])),
                                 int(std::lround(c[3])), int(std::lround(c[0])));
        }
    };
    QImage across(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        pass(reinterpret_cast<const QRgb *>(in.constScanLine(y)),
             reinterpret_cast<QRgb *>(across.scanLine(y)), w, 1);
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    const int stride = across.bytesPerLine() / int(sizeof(QRgb));
    for (int x = 0; x < w; ++x)
        pass(reinterpret_cast<const QRgb *>(across.constBits()) + x,
             reinterpret_cast<QRgb *>(out.bits()) + x, h, stride);
    return out;
}

std::optional<ShadowLook> parseLook(const QString &id)
{
    const QStringList part = id.split('/');
    ShadowLook look;
    look.inner = part.value(0) == "inner";
    if (part.size() != (look.inner ? 7 : 5) || (!look.inner && part[0] != "drop"))
        return std::nullopt;
    bool ok[5] = {true, true, true, true, true};
    look.cornerRadius = part[1].toInt(&ok[0]);
    look.blur = part[2].toDouble(&ok[1]);
    look.kernel = part[3].toInt(&ok[2]);
    if (look.inner) {
        look.dx = part[4].toInt(&ok[3]);
        look.dy = part[5].toInt(&ok[4]);
    }
    const QString colour = part.last();
    if (colour.size() != 6 && colour.size() != 8)
        return std::nullopt;
    look.color = QColor(QLatin1Char('#') + colour);
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) ||
        !look.color.isValid() || !inRange(look.cornerRadius, 0, kMaxCorner) ||
        !inRange(look.kernel, 0, kMaxKernel) || !(look.blur >= 0 && look.blur <= kMaxKernel) ||
        !inRange(look.dx, -kMaxOffset, kMaxOffset) || !inRange(look.dy, -kMaxOffset, kMaxOffset))
        return std::nullopt;
    return look;
}

int border(const ShadowLook &look)
{
    if (look.inner)
        return look.cornerRadius + look.kernel + std::max(std::abs(look.dx), std::abs(look.dy));
    return look.cornerRadius + 2 * look.kernel;
}

QImage ninePatch(const ShadowLook &look)
{
    const int size = 2 * border(look) + 1;
    const QVector<double> weights = gaussianWeights(look.blur, look.kernel);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    if (!look.inner) {
        const QVector<double> shadow = blurred(
            coverage(size, look.kernel, size - 2 * look.kernel, look.cornerRadius), size, weights);
        for (int y = 0; y < size; ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < size; ++x)
                line[x] = premultiplied(look.color, shadow[y * size + x]);
        }
        return image;
    }
    // The shadow of the outside falls in, shifted by the offset: the shape
    // is blurred on a grid with room for the blur and the offset around it.
    const int pad = look.kernel + std::max(std::abs(look.dx), std::abs(look.dy));
    const int grid = size + 2 * pad;
    const QVector<double> shape = coverage(grid, pad, size, look.cornerRadius);
    const QVector<double> soft = blurred(shape, grid, weights);
    for (int y = 0; y < size; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size; ++x) {
            const double inside = shape[(y + pad) * grid + x + pad];
            const double lit = soft[(y + pad - look.dy) * grid + x + pad - look.dx];
            line[x] = premultiplied(look.color, (1.0 - lit) * inside);
        }
    }
    return image;
}

} // namespace shadow_images
