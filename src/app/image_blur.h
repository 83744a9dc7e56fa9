#pragma once

#include <QObject>
#include <QString>

// Blurred snapshots of items for QML, drawn on the processor so that every
// scene graph shows them the same: blurred(grab, radius, samples) takes the
// result of Item.grabToImage, keeps a blurred copy and answers its address
// (image://blurred/<n>) for an Image. Only the latest few copies are kept.
class ImageBlur : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QString blurred(QObject *grabResult, qreal radius, int samples);
};

class QQuickImageProvider;

// The provider of image://blurred, owned by the engine it is added to.
QQuickImageProvider *newBlurredImageProvider();
