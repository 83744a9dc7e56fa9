import QtQuick 2.15
import QtTest 1.15
import "../../../qml"

Item {
    id: root
    width: 600
    height: 500

    Component {
        id: switchComponent
        MySwitch {
            x: 20
            y: 20
        }
    }

    Component {
        id: comboComponent
        MyComboBox {
            x: 20
            y: 100
            width: 200
        }
    }

    Component {
        id: cardComponent
        Card {
            x: 300
            y: 200
            width: 200
            height: 200
            title: "DeviceInfo"
        }
    }

    Component {
        id: inputComponent
        MyInput {
            x: 20
            y: 400
            type: "int"
            min: 1
            max: 10
        }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    TestCase {
        name: "Selectors"
        when: windowShown

        // --- MySwitch ---

        function test_switch_toggles_and_fades_texts() {
            var s = createTemporaryObject(switchComponent, root)
            var off = findChild(s, "offLabel")
            var on = findChild(s, "onLabel")
            var knob = findChild(s, "knob")
            var track = findChild(s, "track")
            compare(off.text, "关")
            compare(on.text, "开")
            verify(!s.checked)
            compare(off.opacity, 1)
            compare(on.opacity, 0.3)
            verify(off.x < track.x && on.x > track.x)
            compare(track.width, 56)
            compare(track.height, 28)
            mouseClick(track)
            verify(s.checked)
            tryCompare(on, "opacity", 1)
            tryCompare(off, "opacity", 0.3)
            tryCompare(knob, "x", track.width - knob.width)
            compare(track.color, s.color)
            compare(s.Accessible.role, Accessible.CheckBox)
            compare(s.Accessible.name, "关/开")
            compare(s.Accessible.description, "开")
            s.text = "QCW Enable"
            compare(s.Accessible.name, "QCW Enable")
        }

        // --- MyComboBox ---

        function test_combo_press_toggles_list() {
            var c = createTemporaryObject(comboComponent, root, {
                textRole: "fullName",
                model: [{ fullName: "USB Serial (ttyUSB0)", port: "ttyUSB0" },
                        { fullName: "Bluetooth (rfcomm0)", port: "rfcomm0" }]
            })
            compare(c.displayText, "USB Serial (ttyUSB0)")
            compare(findChild(c, "displayText").textFormat, Text.PlainText)
            compare(c.Accessible.role, Accessible.ComboBox)
            compare(c.Accessible.name, "USB Serial (ttyUSB0)")
            mouseClick(c)
            tryCompare(c.popup, "visible", true)
            compare(c.popup.y, c.height - 1)
            compare(c.popup.width, c.width)
            mouseClick(c)
            tryCompare(c.popup, "visible", false)
            verify(c.activeFocus)
        }

        function test_combo_choose_entry() {
            var c = createTemporaryObject(comboComponent, root, {
                textRole: "fullName",
                model: [{ fullName: "A (COM1)", port: "COM1" }, { fullName: "B (COM2)", port: "COM2" }]
            })
            var activated = createTemporaryObject(spyComponent, root, { target: c, signalName: "activated" })
            mouseClick(c)
            tryCompare(c.popup, "opened", true)
            var list = c.popup.contentItem
            tryVerify(function () { return list.itemAtIndex(1) !== null })
            var second = list.itemAtIndex(1)
            compare(second.text, "B (COM2)")
            mouseClick(second)
            compare(c.currentIndex, 1)
            compare(c.displayText, "B (COM2)")
            compare(activated.count, 1)
        }

        function test_combo_press_ends_editing_elsewhere() {
            var input = createTemporaryObject(inputComponent, root)
            var field = findChild(input, "input")
            field.forceActiveFocus()
            input.text = "50"
            var c = createTemporaryObject(comboComponent, root, { model: ["x"] })
            mouseClick(c)
            compare(input.text, "10")
            c.popup.close()
        }

        // --- MyTabButton ---

        // --- Card ---

        function test_card_surface_takes_focus() {
            var input = createTemporaryObject(inputComponent, root)
            var field = findChild(input, "input")
            var card = createTemporaryObject(cardComponent, root)
            field.forceActiveFocus()
            input.text = "0"
            mouseClick(card, 100, 150)
            verify(!field.activeFocus)
            compare(input.text, "1")
            verify(card.clip)
            compare(card.Accessible.name, "DeviceInfo")
        }
    }
}
