#include "image_providers.h"

#include "image_blur.h"

#include "services/shadow_images.h"

#include <QDebug>
#include <QImageReader>
#include <QPainter>
#include <QQmlEngine>
#include <QQuickImageProvider>
#include <QUrl>

namespace {

// A transparent pixel for an id that names nothing, with a warning: the
// window goes on without that shadow or icon.
QImage nothing(const QString &kind, const QString &id)
{
    qWarning().noquote() << "No" << kind << "image for" << id;
    QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

class ShadowProvider : public QQuickImageProvider {
public:
    ShadowProvider()
        : QQuickImageProvider(QQuickImageProvider::Image)
    {
    }

    QImage requestImage(const QString &id, QSize *size, const QSize &) override
    {
        const auto look = shadow_images::parseLook(id);
        QImage image = look ? shadow_images::ninePatch(*look) : nothing("shadow", id);
        if (size)
            *size = image.size();
        return image;
    }
};

class TintedProvider : public QQuickImageProvider {
public:
    TintedProvider()
        : QQuickImageProvider(QQuickImageProvider::Image)
    {
    }

    QImage requestImage(const QString &id, QSize *size, const QSize &requested) override
    {
        const int slash = id.indexOf('/');
        const QColor color(QLatin1Char('#') + id.left(slash));
        // The icon's own address: qrc:/... or file:/...
        const QUrl url(id.mid(slash + 1));
        QImageReader reader(url.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + url.path()
                                                                 : url.toLocalFile());
        if (requested.isValid())
            reader.setScaledSize(requested);
        QImage image = reader.read();
        if (slash <= 0 || !color.isValid() || image.isNull()) {
            image = nothing("tinted", id);
        } else {
            image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&image);
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), color);
        }
        if (size)
            *size = image.size();
        return image;
    }
};

} // namespace

void addImageProviders(QQmlEngine *engine)
{
    engine->addImageProvider(QStringLiteral("shadow"), new ShadowProvider);
    engine->addImageProvider(QStringLiteral("tinted"), new TintedProvider);
    engine->addImageProvider(QStringLiteral("blurred"), newBlurredImageProvider());
}
