#include "services/shadow_images.h"

#include <QPainter>
#include <QtTest>

#include <cmath>

using namespace shadow_images;

namespace {

// The shadow of a whole W x H rounded rectangle, the slow and obvious way: a
// full-size coverage mask and a two-dimensional Gaussian sum per pixel. The
// drop shadow reaches `kernel` pixels past the shape on every side.
QImage naiveDropShadow(const ShadowLook &look, int w, int h)
{
    const int k = look.kernel;
    const int iw = w + 2 * k;
    const int ih = h + 2 * k;
    QImage mask(iw, ih, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(k, k, w, h), look.cornerRadius, look.cornerRadius);
    p.end();
    const double deviation = (look.blur + 1) / 3.3333;
    double total = 0;
    for (int dy = -k; dy <= k; ++dy)
        for (int dx = -k; dx <= k; ++dx)
            total += std::exp(-(dx * dx + dy * dy) / (2 * deviation * deviation));
    QImage out(iw, ih, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < ih; ++y)
        for (int x = 0; x < iw; ++x) {
            double sum = 0;
            for (int dy = -k; dy <= k; ++dy)
                for (int dx = -k; dx <= k; ++dx) {
                    const int sx = x + dx;
                    const int sy = y + dy;
                    if (sx >= 0 && sy >= 0 && sx < iw && sy < ih)
                        sum += std::exp(-(dx * dx + dy * dy) / (2 * deviation * deviation)) *
                               qAlpha(mask.pixel(sx, sy)) / 255.0;
                }
            const double a = sum / total * look.color.alphaF();
            out.setPixel(x, y,
                         qRgba(int(std::lround(look.color.red() * a)),
                               int(std::lround(look.color.green() * a)),
                               int(std::lround(look.color.blue() * a)), int(std::lround(a * 255))));
        }
    return out;
}

// What a nine-patch shows at a size: corners as they are, the centre pixel's
// row and column stretched between them.
QRgb stretched(const QImage &patch, int border, int x, int y, int w, int h)
{
    auto map = [border](int v, int size, int patchSize) {
        if (v < border)
            return v;
        if (v >= size - border)
            return v - (size - patchSize);
        return border;
    };
    return patch.pixel(map(x, w, patch.width()), map(y, h, patch.height()));
}

int channelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qAlpha(a) - qAlpha(b)), std::abs(qRed(a) - qRed(b)),
                     std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

class TestShadowImages : public QObject {
    Q_OBJECT
private slots:
    void lookIsReadFromItsAddress_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("border");
        QTest::newRow("card") << "drop/8/20/20/80ffffff" << true << 8 + 40;
        QTest::newRow("button, inner, offset inside")
            << "inner/4/2/2/-1/-1/000000" << true << 4 + 2 + 1;
        QTest::newRow("no blur") << "drop/0/0/0/ff0000" << true << 0;
        QTest::newRow("unknown kind") << "glow/8/20/20/ffffff" << false << 0;
        QTest::newRow("colour with #") << "drop/8/20/20/#ffffff" << false << 0;
        QTest::newRow("missing offset") << "inner/4/2/2/1/000000" << false << 0;
        QTest::newRow("not a number") << "drop/x/2/2/000000" << false << 0;
        QTest::newRow("huge corner") << "drop/100000/2/2/000000" << false << 0;
        QTest::newRow("negative reach") << "drop/4/2/-2/000000" << false << 0;
    }
    void lookIsReadFromItsAddress()
    {
        QFETCH(QString, id);
        QFETCH(bool, valid);
        QFETCH(int, border);
        const auto look = parseLook(id);
        QCOMPARE(bool(look), valid);
        if (valid) {
            QCOMPARE(shadow_images::border(*look), border);
            QCOMPARE(ninePatch(*look).size(), QSize(2 * border + 1, 2 * border + 1));
        }
    }

    // The nine-patch stretched to an item's size is the shadow computed for
    // that size directly.
    void dropShadowStretchesToTheWholeShadow_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QSize>("size");
        QTest::newRow("card") << "drop/8/20/20/80000000" << QSize(120, 70);
        QTest::newRow("button") << "drop/4/2/2/ffffff" << QSize(60, 24);
        QTest::newRow("input, at its smallest") << "drop/6/2/2/4060a0" << QSize(21, 21);
    }
    void dropShadowStretchesToTheWholeShadow()
    {
        QFETCH(QString, id);
        QFETCH(QSize, size);
        const ShadowLook look = *parseLook(id);
        const QImage patch = ninePatch(look);
        const QImage whole = naiveDropShadow(look, size.width(), size.height());
        int worst = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x)
                worst = std::max(worst, channelDistance(whole.pixel(x, y),
                                                        stretched(patch, border(look), x, y,
                                                                  whole.width(), whole.height())));
        QVERIFY2(worst <= 2, qPrintable(QString("off by %1").arg(worst)));
    }

    // Inside, the shadow falls from the side the offset points away from.
    void innerShadowFallsFromTheOffsetSide()
    {
        const ShadowLook look = *parseLook("inner/4/2/2/2/2/ff000000");
        const QImage patch = ninePatch(look);
        const int b = border(look);
        const int last = patch.width() - 1;
        QCOMPARE(qAlpha(patch.pixel(b, b)), 0);     // the middle is clear
        QVERIFY(qAlpha(patch.pixel(b, 0)) > 200);   // top edge: shadowed
        QVERIFY(qAlpha(patch.pixel(0, b)) > 200);   // left edge: shadowed
        QVERIFY(qAlpha(patch.pixel(b, last)) < 40); // bottom edge: lit
        QVERIFY(qAlpha(patch.pixel(last, b)) < 40); // right edge: lit
        // Nothing outside the rounded corner.
        QCOMPARE(qAlpha(patch.pixel(0, 0)), 0);
    }

    void blurKeepsSizeAndWeight()
    {
        QImage image(9, 7, QImage::Format_ARGB32_Premultiplied);
        image.fill(qRgba(10, 20, 30, 255));
        QCOMPARE(gaussianBlur(image, 12, 8), image); // uniform stays uniform
        image.fill(Qt::transparent);
        image.setPixel(4, 3, qRgba(255, 255, 255, 255));
        const QImage soft = gaussianBlur(image, 2, 2);
        QCOMPARE(soft.size(), image.size());
        const QVector<double> w = gaussianWeights(2, 2);
        QCOMPARE(qAlpha(soft.pixel(4, 3)), int(std::lround(w[2] * w[2] * 255)));
        QCOMPARE(qAlpha(soft.pixel(4 + 2, 3 + 1)), int(std::lround(w[4] * w[3] * 255)));
        QCOMPARE(qAlpha(soft.pixel(0, 0)), 0); // beyond the reach
        QCOMPARE(gaussianBlur(image, 2, 0), image);
    }
};

QTEST_APPLESS_MAIN(TestShadowImages)
#include "tst_shadow_images.moc"
