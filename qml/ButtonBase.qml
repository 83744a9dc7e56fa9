import QtQuick 2.15
import QtQuick.Templates 2.15 as T

// The soft raised face that TxtButton and IconButton put their text or icon
// on (as children declared after these, so above the shadows). The shadows
// take the face as their source, never the content, so a changed content
// does not redraw them. A press takes the keyboard focus, so that an input
// being edited commits or corrects its value first.
T.AbstractButton {
    id: control

    // The pointer came onto or left the face. A press counts as coming onto
    // it, also where no hover event came before.
    signal entered
    signal exited

    // Held since a press on the face, wherever the pointer is now: the face
    // and its content stay sunk until the release.
    readonly property bool sunk: d.held

    hoverEnabled: true
    focusPolicy: Qt.ClickFocus

    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.focusable: true
    Accessible.onPressAction: control.clicked()
    // With an assistive tool connected the template writes its own pressed,
    // checked and checkable state (all false here) over what the button and
    // its owner say: at completion, when the tool connects, and on every
    // press. Put back: never pressed, checkable as the owner first set it (a
    // binding on checked outlives the write and is right again with its next
    // change).
    Accessible.onPressedChanged: {
        if (Accessible.pressed)
            Accessible.pressed = false
    }
    Accessible.onCheckableChanged: {
        if (!d.checkableSet) {
            d.checkableSet = true
            d.checkable = Accessible.checkable
        } else if (Accessible.checkable !== d.checkable) {
            Accessible.checkable = d.checkable
        }
    }

    // The pointer and assistive tools press these buttons, not the keyboard:
    // the space bar the template would take for a click does nothing.
    Keys.onSpacePressed: event.accepted = true
    Keys.onReleased: {
        if (event.key === Qt.Key_Space)
            event.accepted = true
    }

    QtObject {
        id: d
        // Set by enter/leave/press/release, as the face colour follows the
        // last of these events.
        property color faceColor: Public.theme.btnReleaseColor
        // The pointer is on the face: from a press on, too, where no hover
        // event came before it.
        property bool inside: false
        property bool held: false
        // The focus was taken away during the press. The template then
        // gives the press up; the button still clicks if let go on the face.
        property bool focusTaken: false
        // The second press of a double click: the template leaves out its
        // click, which every release on the face gives here.
        property bool secondPress: false
        readonly property int offset: held ? 1 : -1
        // Accessible.checkable as the owner set it.
        property bool checkableSet: false
        property bool checkable: false

        function setInside(on) {
            if (inside === on)
                return
            inside = on
            if (on)
                control.entered()
            else
                control.exited()
        }

        function letGo() {
            held = false
            focusTaken = false
            secondPress = false
            faceColor = Public.theme.btnReleaseColor
        }
    }

    onHoveredChanged: d.setInside(hovered)
    onPressedChanged: {
        // While held, the template is pressed only with the pointer on the
        // face: this also tells a pointer that came with no hover event.
        if (!d.held)
            return
        if (pressed)
            d.setInside(true)
        else if (!contains(Qt.point(pressX, pressY)))
            d.setInside(false)
    }
    onPressed: {
        d.setInside(true)
        d.held = true
        d.faceColor = Public.theme.btnPressColor
    }
    onReleased: {
        var again = d.secondPress
        d.letGo()
        if (again)
            clicked()
    }
    onCanceled: {
        var onFace = contains(Qt.point(pressX, pressY))
        if (d.held && !d.focusTaken && !activeFocus && onFace) {
            d.focusTaken = true
            return
        }
        var click = d.focusTaken && onFace
        d.letGo()
        if (click)
            clicked()
    }
    onDoubleClicked: d.secondPress = true
    onEntered: d.faceColor = Public.theme.btnEnterColor
    onExited: d.faceColor = Public.theme.btnReleaseColor

    Connections {
        target: Public
        function onThemeChanged() {
            d.faceColor = Public.theme.btnReleaseColor
        }
    }

    // Beneath the face; the inner shadow lies on it.
    SoftShadow {
        objectName: "dropShadow"
        anchors.fill: face
        source: face
        horizontalOffset: d.offset
        verticalOffset: d.offset
        samples: 5
        radius: 2
        color: Public.theme.btnShadowLight
    }

    Rectangle {
        id: face
        objectName: "face"
        anchors.fill: parent
        radius: 4
        color: d.faceColor

        // Sees the mouse button come up wherever the pointer is, also after
        // another item (a scrolling view) has taken the press over. On the
        // face: on the button itself it would let the right and middle
        // buttons press it too.
        PointHandler {
            onActiveChanged: {
                if (!active)
                    d.held = false
            }
        }
    }

    SoftShadow {
        objectName: "innerShadow"
        anchors.fill: face
        source: face
        inner: true
        horizontalOffset: d.offset
        verticalOffset: d.offset
        samples: 5
        radius: 2
        color: control.enabled ? Public.theme.btnShadowDark : Public.theme.disabledTextColor
    }

    // QML cannot set the template's own cursor.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        cursorShape: Qt.PointingHandCursor
    }
}
