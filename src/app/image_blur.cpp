#include "image_blur.h"

#include "services/shadow_images.h"

#include <QImage>
#include <QMap>
#include <QQuickImageProvider>
#include <QQuickItemGrabResult>

#include <mutex>

namespace {

// A snapshot is replaced often while it is shown (each change of the form
// beneath); an Image still showing the one before may ask for it again.
constexpr int kKept = 4;

struct Store {
    std::mutex lock;
    QMap<quint64, QImage> images;
    quint64 next = 1;
};

Store &store()
{
    static Store s;
    return s;
}

class BlurredProvider : public QQuickImageProvider {
public:
    BlurredProvider()
        : QQuickImageProvider(QQuickImageProvider::Image)
    {
    }

    QImage requestImage(const QString &id, QSize *size, const QSize &) override
    {
        QImage image;
        {
            std::lock_guard<std::mutex> hold(store().lock);
            image = store().images.value(id.toULongLong());
        }
        if (image.isNull()) {
            image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
        }
        if (size)
            *size = image.size();
        return image;
    }
};

} // namespace

void BlurredSnapshot::take()
{
    if (!source || !source->window() || source->width() < 1 || source->height() < 1)
        return;
    // A newer grab replaces one still on its way.
    pending = source->grabToImage();
    if (pending)
        connect(pending.data(), &QQuickItemGrabResult::ready, this, &BlurredSnapshot::blurGrab);
}

void BlurredSnapshot::blurGrab()
{
    const QSharedPointer<QQuickItemGrabResult> grab = std::move(pending);
    if (!grab || sender() != grab.data())
        return;
    const QImage image = shadow_images::gaussianBlur(grab->image(), radius, samples / 2);
    {
        std::lock_guard<std::mutex> hold(store().lock);
        const quint64 key = store().next++;
        store().images.insert(key, image);
        while (store().images.size() > kKept)
            store().images.erase(store().images.begin());
        shown = QStringLiteral("image://blurred/%1").arg(key);
    }
    emit urlChanged();
}

QQuickImageProvider *newBlurredImageProvider()
{
    return new BlurredProvider;
}
