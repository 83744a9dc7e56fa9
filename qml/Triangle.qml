import QtQuick 2.15

// A small downward pointer: the outer square, turned -45°, clips an upright
// square of the diagonal's size that covers only its lower half. The flat
// side lies on the item's horizontal centre line, the point width / √2 below.
Item {
    id: root

    property color color: Public.theme.pointerColor

    width: 30
    height: 30
    clip: true
    rotation: -45

    Rectangle {
        width: root.width * Math.SQRT2
        height: width
        x: -width / 2
        y: root.height - height / 2
        rotation: 45
        color: root.color
        antialiasing: true
    }
}
