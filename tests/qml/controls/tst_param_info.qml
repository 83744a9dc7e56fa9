import QtQuick 2.15
import QtTest 1.15
import "../../../qml"

Item {
    id: root
    width: 600
    height: 400

    Component {
        id: infoComponent
        ParamInfo {}
    }

    Component {
        id: shadowTextComponent
        ShadowText {}
    }

    Component {
        id: ledComponent
        MyLed {}
    }

    TestCase {
        name: "ParamInfo"
        when: windowShown

        function make(props) {
            var p = createTemporaryObject(infoComponent, root, props)
            verify(p)
            return p
        }

        // The value boxes, left to right.
        function boxes(info) {
            var row = findChild(info, "boxes")
            var out = []
            for (var i = 0; i < row.children.length; ++i) {
                if (row.children[i].hasOwnProperty("fontSize"))
                    out.push(row.children[i])
            }
            out.sort(function (a, b) { return a.x - b.x })
            return out
        }

        function stackIndex(parent, item) {
            for (var i = 0; i < parent.children.length; ++i) {
                if (parent.children[i] === item)
                    return i
            }
            return -1
        }

        function shownTexts(info) {
            return boxes(info).map(function (b) { return findChild(b, "label").text })
        }

        function test_box_texts_data() {
            return [
                { tag: "zero", values: 0, unit: "W", texts: ["0W"] },
                { tag: "undefined", values: undefined, unit: "W", texts: ["----W"] },
                { tag: "null", values: null, unit: "W", texts: ["----W"] },
                { tag: "string", values: "927C0226", unit: "", texts: ["927C0226"] },
                { tag: "fraction", values: 25.5, unit: "℃", texts: ["25.5℃"] },
                { tag: "default", values: [""], unit: "", texts: [""] },
                { tag: "empty list", values: [], unit: "A", texts: ["----A"] },
                { tag: "list of two", values: [423, 387], unit: "", texts: ["423", "387"] },
                { tag: "list of four", values: [1, 2, 3, 4], unit: "A", texts: ["1A", "2A", "3A", "4A"] },
                { tag: "list with a hole", values: [1, null, 0], unit: "A", texts: ["1A", "----A", "0A"] }
            ]
        }

        function test_box_texts(data) {
            var p = make({ values: data.values, unit: data.unit })
            compare(shownTexts(p), data.texts)
            compare(p.Accessible.description, data.texts.join(" "))
            // The boxes share the row (item width less 12) with 8 px between.
            var n = data.texts.length
            boxes(p).forEach(function (b) {
                compare(b.width, n === 1 ? 168 : (168 + 8) / n - 8)
            })
        }

        function test_new_values_keep_the_boxes() {
            var p = make({ values: [1, 2, 3, 4], unit: "A" })
            var before = boxes(p)
            p.values = [5, 6, 7, 8]
            var after = boxes(p)
            compare(shownTexts(p), ["5A", "6A", "7A", "8A"])
            for (var i = 0; i < 4; ++i)
                verify(before[i] === after[i], "box " + i + " was rebuilt")
            p.values = [1, 2]
            compare(boxes(p).length, 2)
        }

        function test_alarm_colour() {
            var p = make({ values: [1, 2], textColor: "blue", alarmColor: "red" })
            var labels = boxes(p).map(function (b) { return findChild(b, "label") })
            verify(Qt.colorEqual(labels[0].color, "blue"))
            p.alarm = true
            verify(Qt.colorEqual(labels[0].color, "red"))
            verify(Qt.colorEqual(labels[1].color, "red"))
            p.alarm = false
            verify(Qt.colorEqual(labels[1].color, "blue"))
        }

        function test_title_and_accessibility() {
            var p = make({ title: "Humidity", values: 40, unit: "%" })
            compare(findChild(p, "title").text, "Humidity")
            compare(p.Accessible.role, Accessible.StaticText)
            compare(p.Accessible.name, "Humidity")
            compare(p.Accessible.description, "40%")
        }

        function test_markup_is_shown_literally() {
            var markup = "<img src=\"file:///etc/passwd\"><b>1</b>"
            var p = make({ title: markup, values: [markup] })
            compare(shownTexts(p), [markup])
            var title = findChild(p, "title")
            compare(title.textFormat, Text.PlainText)
            compare(title.text, markup)
            var label = findChild(boxes(p)[0], "label")
            compare(label.textFormat, Text.PlainText)
            // Plain text is laid out as its characters: far wider than "1".
            verify(label.implicitWidth > 100, "laid out as markup")
        }

        // --- ShadowText ---

        function test_shadow_text_shadows_come_from_the_frame() {
            var s = createTemporaryObject(shadowTextComponent, root, { text: "12" })
            var frame = findChild(s, "frame")
            var label = findChild(s, "label")
            var drop = findChild(s, "dropShadow")
            var inner = findChild(s, "innerShadow")
            compare(drop.source, frame)
            compare(inner.source, frame)
            // Drawn from images, so every scene graph shows them: the drop
            // shadow beneath the frame, the inner one on it.
            compare([drop.children[0].status, inner.children[0].status], [Image.Ready, Image.Ready])
            verify(stackIndex(s, drop) < stackIndex(s, frame) && stackIndex(s, frame) < stackIndex(s, inner))
            compare([drop.horizontalOffset, drop.verticalOffset], [1, 1])
            compare([inner.horizontalOffset, inner.verticalOffset], [1, 1])
            compare(drop.color, Public.theme.shadowTextShadowDark)
            compare(inner.color, Public.theme.shadowTextShadowLight)
            // The text lies above both shadows.
            verify(stackIndex(s, label) > stackIndex(s, drop))
            verify(stackIndex(s, label) > stackIndex(s, inner))
            s.text = "13"
            compare(label.text, "13")
            compare(s.Accessible.role, Accessible.StaticText)
            compare(s.Accessible.name, "13")
        }

        function test_shadow_text_markup() {
            var s = createTemporaryObject(shadowTextComponent, root, { text: "<i>x</i>" })
            var label = findChild(s, "label")
            compare(label.textFormat, Text.PlainText)
            compare(label.text, "<i>x</i>")
        }

        // --- MyLed ---

        function test_led_colours_and_texts() {
            var led = createTemporaryObject(ledComponent, root, { radius: 10, title: "QBH" })
            var lamp = findChild(led, "lamp")
            compare(led.width, 30)
            compare(led.height, 36)
            compare(lamp.width, 20)
            compare(led.shownText, "关")
            tryCompare(lamp, "color", led.offColor)
            led.ledState = true
            compare(led.shownText, "开")
            tryCompare(lamp, "color", led.onColor)
            led.ledEnabled = false
            compare(led.shownText, "")
            tryCompare(lamp, "color", led.disableColor)
            compare(led.Accessible.role, Accessible.StatusBar)
            compare(led.Accessible.name, "QBH")
        }

        // Every text of the library that can show outside text is plain.
        function test_every_text_is_plain() {
            var items = [make({ values: [1, 2] }),
                         createTemporaryObject(shadowTextComponent, root, {}),
                         createTemporaryObject(ledComponent, root, {})]
            var count = 0
            function walk(item) {
                if (item.hasOwnProperty("textFormat") && item.hasOwnProperty("fontSizeMode")) {
                    compare(item.textFormat, Text.PlainText, "a Text of " + item.parent)
                    ++count
                }
                for (var i = 0; i < item.children.length; ++i)
                    walk(item.children[i])
            }
            items.forEach(walk)
            verify(count >= 6)
        }
    }
}
