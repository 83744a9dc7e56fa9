import QtQuick 2.15
import QtTest 1.15
import "../../../qml"

Item {
    id: root
    width: 400
    height: 300

    Component {
        id: txtComponent
        TxtButton {
            x: 100
            y: 100
            width: 80
            height: 32
        }
    }

    Component {
        id: iconComponent
        IconButton {
            x: 100
            y: 100
            width: 40
            height: 40
        }
    }

    Component {
        id: inputComponent
        MyInput {
            x: 10
            y: 10
        }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    TestCase {
        name: "Buttons"
        when: windowShown

        function make(kind) {
            var b = createTemporaryObject(kind === "txt" ? txtComponent : iconComponent, root)
            verify(b)
            return b
        }

        function spy(target, signalName) {
            return createTemporaryObject(spyComponent, root, { target: target, signalName: signalName })
        }

        function kinds_data() {
            return [{ tag: "TxtButton", kind: "txt" }, { tag: "IconButton", kind: "icon" }]
        }

        function test_release_inside_clicks_once_data() { return kinds_data() }
        function test_release_inside_clicks_once(data) {
            var b = make(data.kind)
            var clicks = spy(b, "clicked")
            mousePress(b, 10, 10)
            mouseMove(b, 15, 15)
            mouseRelease(b, 15, 15)
            compare(clicks.count, 1)
        }

        function test_release_outside_clicks_nothing_data() { return kinds_data() }
        function test_release_outside_clicks_nothing(data) {
            var b = make(data.kind)
            var clicks = spy(b, "clicked")
            mousePress(b, 10, 10)
            mouseMove(b, b.width + 30, 10)
            mouseRelease(b, b.width + 30, 10)
            compare(clicks.count, 0)
            // Leaving and coming back before the release still clicks.
            mousePress(b, 10, 10)
            mouseMove(b, b.width + 30, 10)
            mouseMove(b, 10, 10)
            mouseRelease(b, 10, 10)
            compare(clicks.count, 1)
        }

        function test_face_colours_follow_the_mouse_data() { return kinds_data() }
        function test_face_colours_follow_the_mouse(data) {
            var b = make(data.kind)
            var face = findChild(b, "face")
            mouseMove(root, 5, 5)
            compare(face.color, Public.theme.btnReleaseColor)
            mouseMove(b, 10, 10)
            tryCompare(face, "color", Public.theme.btnEnterColor)
            mousePress(b, 10, 10)
            compare(face.color, Public.theme.btnPressColor)
            mouseRelease(b, 10, 10)
            compare(face.color, Public.theme.btnReleaseColor)
            mouseMove(b, 12, 12)
            mouseMove(root, 5, 5)
            compare(face.color, Public.theme.btnReleaseColor)
        }

        function stackIndex(parent, item) {
            for (var i = 0; i < parent.children.length; ++i) {
                if (parent.children[i] === item)
                    return i
            }
            return -1
        }

        function test_press_sinks_the_face_data() { return kinds_data() }
        function test_press_sinks_the_face(data) {
            var b = make(data.kind)
            var drop = findChild(b, "dropShadow")
            var inner = findChild(b, "innerShadow")
            var face = findChild(b, "face")
            var content = findChild(b, data.kind === "txt" ? "label" : "iconBox")
            var before = content.mapToItem(root, 0, 0)
            compare(drop.source, face)
            compare(inner.source, face)
            // Drawn from images, so every scene graph shows them: the drop
            // shadow beneath the face, the inner one on it.
            compare([drop.children[0].status, inner.children[0].status], [Image.Ready, Image.Ready])
            verify(stackIndex(b, drop) < stackIndex(b, face) && stackIndex(b, face) < stackIndex(b, inner))
            compare([drop.horizontalOffset, drop.verticalOffset, inner.horizontalOffset, inner.verticalOffset],
                    [-1, -1, -1, -1])
            compare(drop.color, Public.theme.btnShadowLight)
            compare(inner.color, Public.theme.btnShadowDark)
            mousePress(b, 10, 10)
            compare([drop.horizontalOffset, drop.verticalOffset, inner.horizontalOffset, inner.verticalOffset],
                    [1, 1, 1, 1])
            // The text or icon sinks with the face.
            var during = content.mapToItem(root, 0, 0)
            compare([during.x - before.x, during.y - before.y], [1, 1])
            mouseRelease(b, 10, 10)
            compare(drop.horizontalOffset, -1)
            b.enabled = false
            verify(Qt.colorEqual(inner.color, "gray"))
        }

        function test_press_takes_focus_from_input_data() { return kinds_data() }
        function test_press_takes_focus_from_input(data) {
            var input = createTemporaryObject(inputComponent, root, { type: "int", min: 1, max: 10 })
            var field = findChild(input, "input")
            field.forceActiveFocus()
            input.text = "50"
            var corrections = spy(input, "correctIllegalValue")
            var b = make(data.kind)
            mouseClick(b)
            verify(!field.activeFocus)
            compare(input.text, "10")
            compare(corrections.count, 1)
        }

        function test_accessible_button() {
            var t = make("txt")
            t.text = "Connect"
            compare(t.Accessible.role, Accessible.Button)
            compare(t.Accessible.name, "Connect")
            var clicks = spy(t, "clicked")
            t.Accessible.pressAction()
            compare(clicks.count, 1)

            var i = make("icon")
            i.tipText = "Refresh"
            compare(i.Accessible.role, Accessible.Button)
            compare(i.Accessible.name, "Refresh")
            var iconClicks = spy(i, "clicked")
            i.Accessible.pressAction()
            compare(iconClicks.count, 1)
        }

        function test_text_is_plain() {
            var t = make("txt")
            t.text = "<b>x</b>"
            var label = findChild(t, "label")
            compare(label.textFormat, Text.PlainText)
            compare(label.text, "<b>x</b>")
        }

        function test_rotate360() {
            var i = make("icon")
            var icon = findChild(i, "iconBox")
            i.rotate360()
            compare(i.animateDelay, 2000)
            i.rotate360(-1)
            compare(i.animateDelay, 2000)
            i.rotate360(800)
            compare(i.animateDelay, 800)
            tryVerify(function () { return icon.rotation > 0 }, 500)
            verify(icon.rotation < 360)
            tryCompare(icon, "rotation", 360, 3000)
            // A later turn without a delay keeps the last one.
            i.rotate360()
            compare(i.animateDelay, 800)
            verify(icon.rotation < 360)
        }

        function test_tooltip_after_delay() {
            var i = make("icon")
            var tip = findChild(i, "tip")
            mouseMove(root, 5, 5)
            mouseMove(i, 10, 10)
            verify(!tip.visible)
            tryCompare(tip, "visible", true, 1500)
            mouseMove(root, 5, 5)
            tryCompare(tip, "visible", false, 1000)
        }
    }
}
