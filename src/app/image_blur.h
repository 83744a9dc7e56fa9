#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QSharedPointer>
#include <QString>

class QQuickImageProvider;
class QQuickItemGrabResult;

// A blurred snapshot of an item, drawn on the processor so that every scene
// graph shows it the same: take() grabs the source item (also an invisible
// one) and, once it is drawn, blurs it as the Gaussian effects do and sets
// url (image://blurred/<n>) for an Image. A grab still on its way ends with
// this object, never left behind; only the latest few images are kept.
class BlurredSnapshot : public QObject {
    Q_OBJECT
    Q_PROPERTY(QQuickItem *source MEMBER source)
    Q_PROPERTY(qreal radius MEMBER radius)
    Q_PROPERTY(int samples MEMBER samples)
    Q_PROPERTY(QString url READ url NOTIFY urlChanged)
public:
    using QObject::QObject;

    Q_INVOKABLE void take();
    QString url() const { return shown; }

signals:
    void urlChanged();

private:
    void blurGrab();

    QPointer<QQuickItem> source;
    qreal radius = 0;
    int samples = 1;
    QString shown;
    QSharedPointer<QQuickItemGrabResult> pending;
};

// The provider of image://blurred, owned by the engine it is added to.
QQuickImageProvider *newBlurredImageProvider();
