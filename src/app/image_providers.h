#pragma once

class QQmlEngine;

// Adds the engine's image providers:
//   image://shadow/<look>         a soft shadow's nine-patch (shadow_images.h)
//   image://tinted/<colour>/<url>  an icon (a qrc: or file: address) in one
//                                  colour, its shape kept by its alpha
//   image://blurred/<n>            a blurred snapshot (image_blur.h)
// Both are drawn on the processor once per look and cached by the engine, so
// every scene graph shows them the same.
void addImageProviders(QQmlEngine *engine);
