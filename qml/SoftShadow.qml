import QtQuick 2.15

// The soft shadow of a rounded rectangle (source: an Item with a radius),
// outside it (a drop shadow, declared before the source so it lies beneath)
// or inside it (inner: true, declared after the source). It fills the
// source's place (anchors.fill: source). The numbers mean what they mean for
// the Gaussian effects: radius the blur, samples its reach (half of them in
// pixels). The image is made once per look by the shadow image provider,
// so every scene graph draws it the same.
Item {
    id: root

    property Item source: null
    property bool inner: false
    property int horizontalOffset: 0
    property int verticalOffset: 0
    property real radius: 0
    property int samples: 1
    property color color

    readonly property int kernel: Math.floor(samples / 2)
    // Where the image lies around the source.
    readonly property int margin: inner ? 0 : kernel

    function colourText(c) {
        var text = String(c)
        return text.substring(1)
    }

    BorderImage {
        id: patch

        objectName: "shadowImage"
        x: -root.margin + (root.inner ? 0 : root.horizontalOffset)
        y: -root.margin + (root.inner ? 0 : root.verticalOffset)
        width: root.width + 2 * root.margin
        height: root.height + 2 * root.margin
        // The stretching middle is the image's centre pixel.
        border.left: (sourceSize.width - 1) / 2
        border.right: (sourceSize.width - 1) / 2
        border.top: (sourceSize.height - 1) / 2
        border.bottom: (sourceSize.height - 1) / 2
        source: root.source === null ? "" : "image://shadow/" + (root.inner
                ? ["inner", Math.round(root.source.radius), root.radius, root.kernel,
                   root.horizontalOffset, root.verticalOffset, root.colourText(root.color)]
                : ["drop", Math.round(root.source.radius), root.radius, root.kernel,
                   root.colourText(root.color)]).join("/")
    }
}
