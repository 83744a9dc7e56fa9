import QtQuick 2.15
import QtTest 1.15
import "../../../qml"

Item {
    id: root
    width: 600
    height: 400

    Component {
        id: sliderComponent
        MySlider {
            x: 20
            y: 20
            width: 400
            from: 0
            to: 100
            stepSize: 1
        }
    }

    Component {
        id: rangeComponent
        MyRangeSlider {
            x: 20
            y: 150
            width: 400
            from: 0
            to: 100
            stepSize: 1
        }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    TestCase {
        name: "Sliders"
        when: windowShown

        function spy(target, signalName) {
            return createTemporaryObject(spyComponent, root, { target: target, signalName: signalName })
        }

        function slider(props) {
            var s = createTemporaryObject(sliderComponent, root, props)
            verify(s)
            return s
        }

        function range(props) {
            var r = createTemporaryObject(rangeComponent, root, props)
            verify(r)
            return r
        }

        function centreX(item) {
            return item.mapToItem(root, item.width / 2, item.height / 2).x
        }

        function left(item) {
            return item.mapToItem(root, 0, 0).x
        }

        // --- MySlider ---

        function test_wheel_moves_one_step_data() {
            return [
                { tag: "down", dy: -120, value: 49 },
                { tag: "up", dy: 120, value: 51 },
                { tag: "small notch down", dy: -15, value: 49 },
                { tag: "big notch up", dy: 480, value: 51 },
                { tag: "sideways", dy: 0, value: 50 }
            ]
        }

        function test_wheel_moves_one_step(data) {
            var s = slider({ value: 50 })
            var moved = spy(s, "moved")
            mouseWheel(s, 100, 45, data.dy === 0 ? 120 : 0, data.dy)
            compare(s.value, data.value)
            compare(s.valueInt, data.value)
            compare(moved.count, data.dy === 0 ? 0 : 1)
        }

        function test_wheel_with_fraction_step() {
            var s = slider({ from: 0, to: 10, stepSize: 0.5, value: 2 })
            mouseWheel(s, 100, 45, 0, 120)
            compare(s.value, 2.5)
            compare(s.valueInt, 3)
            mouseWheel(s, 100, 45, 0, -120)
            mouseWheel(s, 100, 45, 0, -120)
            compare(s.value, 1.5)
            compare(s.valueInt, 2)
        }

        function test_valueInt_rounds() {
            var s = slider({ value: 2.6 })
            compare(s.valueInt, 3)
            s.value = 2.4
            compare(s.valueInt, 2)
        }

        function test_valueInt_follows_a_drag() {
            var s = slider({ value: 0, snapMode: 2 /* SnapOnRelease */ })
            var handle = findChild(s, "handle")
            var y = handle.y + handle.height / 2
            mousePress(s, handle.x + handle.width / 2, y)
            mouseMove(s, s.width / 2, y)
            verify(s.pressed)
            compare(s.valueInt, Math.round(s.value))
            verify(s.valueInt > 40 && s.valueInt < 60)
            // The tip shows the value at the step's precision while dragging.
            compare(findChild(s, "tipLabel").text, String(s.valueInt))
            mouseRelease(s, s.width / 2, y)
            compare(s.value, s.valueInt)
        }

        function test_tip_and_range_labels() {
            var s = slider({ unit: "A", tipFormat: "${v*0.1f1}${u}", rangeFormat: "${v*0.1f0}${u}",
                             title: "DriveCurrent", value: 55 })
            compare(findChild(s, "tipLabel").text, "5.5A")
            compare(findChild(s, "lowerLabel").text, "0A")
            compare(findChild(s, "upperLabel").text, "10A")
            compare(findChild(s, "titleLabel").text, "DriveCurrent")
            compare(s.format(100, "${v*0.1f0}${u}"), "10A")
            compare(s.Accessible.role, Accessible.Slider)
            compare(s.Accessible.name, "DriveCurrent")
            compare(s.Accessible.description, "5.5A")
        }

        // A value the handle cannot show takes the tip, in the warning
        // colour, until the operator moves the handle; the owner setting the
        // value is no move.
        function test_device_value_until_moved_data() {
            return [
                { tag: "wheel", move: "wheel", value: 99 },
                { tag: "key", move: "key", value: 99 },
                { tag: "drag", move: "drag" },
                { tag: "set by the owner", move: "set", value: 40 }
            ]
        }

        function test_device_value_until_moved(data) {
            var s = slider({ unit: "A", tipFormat: "${v*0.1f1}${u}", value: 100, deviceValue: 150,
                             animEnabled: false })
            var label = findChild(s, "tipLabel")
            compare(label.text, "15.0A")
            compare(String(label.color), String(Public.theme.warningColor))
            compare(s.Accessible.description, "15.0A (设备值)")
            if (data.move === "wheel") {
                mouseWheel(s, 100, 45, 0, -120)
            } else if (data.move === "key") {
                s.forceActiveFocus()
                keyClick(Qt.Key_Left)
            } else if (data.move === "drag") {
                var handle = findChild(s, "handle")
                var y = handle.y + handle.height / 2
                mousePress(s, handle.x + handle.width / 2, y)
                mouseMove(s, s.width / 2, y)
                mouseRelease(s, s.width / 2, y)
            } else {
                s.value = data.value
            }
            var moved = data.move !== "set"
            if (data.value !== undefined)
                compare(s.value, data.value)
            compare(s.touched, moved)
            compare(label.text, moved ? (s.value / 10).toFixed(1) + "A" : "15.0A")
            compare(String(label.color), String(moved ? Public.theme.barTipTextColor : Public.theme.warningColor))
            compare(s.Accessible.description, moved ? label.text : "15.0A (设备值)")
            // Cleared by the owner: the warning is back.
            s.touched = false
            compare(label.text, "15.0A")
        }

        function test_no_device_value_no_warning_data() {
            return [ { tag: "undefined", deviceValue: undefined }, { tag: "null", deviceValue: null } ]
        }

        function test_no_device_value_no_warning(data) {
            var s = slider({ value: 30, deviceValue: data.deviceValue })
            var r = range({ animEnabled: false, firstDeviceValue: data.deviceValue,
                            secondDeviceValue: data.deviceValue })
            r.setValues(20, 40)
            compare(findChild(s, "tipLabel").text, "30")
            compare(String(findChild(s, "tipLabel").color), String(Public.theme.barTipTextColor))
            compare(String(findChild(r, "firstTipLabel").color), String(Public.theme.barTipTextColor))
            compare(String(findChild(r, "secondTipLabel").color), String(Public.theme.barTipTextColor))
            compare(r.Accessible.description, "20 ~ 40")
        }

        function test_first_placement_does_not_animate() {
            var s = slider({ value: 80 })
            var handle = findChild(s, "handle")
            compare(handle.x, 0.8 * (s.availableWidth - handle.width))
            // Later changes animate over animTime.
            s.value = 20
            verify(handle.x > 0.2 * (s.availableWidth - handle.width) + 1)
            tryCompare(handle, "x", 0.2 * (s.availableWidth - handle.width), 1000)
            s.animEnabled = false
            s.value = 60
            compare(handle.x, 0.6 * (s.availableWidth - handle.width))
        }

        // --- MyRangeSlider ---

        function test_values_follow_the_handles() {
            var r = range({ animEnabled: false })
            var changes = spy(r, "valueChanged")
            // The first handle cannot pass the second (at 1 to begin with).
            r.first.value = 20.4
            compare(r.firstValue, 1)
            compare(changes.count, 1)
            r.second.value = 79.6
            compare(r.secondValue, 80)
            compare(changes.count, 2)
            r.first.value = 20.4
            compare(r.firstValue, 20)
            compare(changes.count, 3)
            compare(changes.signalArguments[2][0], 20)
            compare(changes.signalArguments[2][1], 80)
            r.valueRound = false
            compare(r.firstValue, 20.4)
            compare(r.secondValue, 79.6)
        }

        function test_tips_part_data() {
            return [
                { tag: "same value", a: 50, b: 50, shift: 24 },
                { tag: "one apart", a: 50, b: 51 },
                { tag: "close", a: 40, b: 45 },
                { tag: "at the start", a: 0, b: 0, shift: 24 },
                { tag: "far apart", a: 10, b: 90, shift: 0 }
            ]
        }

        function test_tips_part(data) {
            var r = range({ animEnabled: false, unit: "℃", tipFormat: "${v}${u}" })
            r.setValues(data.a, data.b)
            var h1 = findChild(r, "firstHandle")
            var h2 = findChild(r, "secondHandle")
            var t1 = findChild(r, "firstTip")
            var t2 = findChild(r, "secondTip")
            var p1 = findChild(r, "firstPointer")
            var p2 = findChild(r, "secondPointer")
            var d = h2.x - h1.x
            var shift = data.shift !== undefined ? data.shift : (48 - d) / 2
            compare(r.tipShift, shift)
            compare(centreX(t1), centreX(h1) - shift)
            compare(centreX(t2), centreX(h2) + shift)
            // Each pointer leans back half way to its own handle.
            compare(centreX(p1), centreX(h1) - shift / 2)
            compare(centreX(p2), centreX(h2) + shift / 2)
            // The tips never overlap.
            verify(left(t1) + t1.width <= left(t2) + 1e-9)
            compare(findChild(r, "firstTipLabel").text, data.a + "℃")
            compare(findChild(r, "secondTipLabel").text, data.b + "℃")
        }

        function wheelAt(r, p, dy) {
            mouseWheel(r, p * r.availableWidth, 45, 0, dy)
        }

        function test_wheel_moves_the_nearer_handle_data() {
            return [
                { tag: "near first, up", a: 20, b: 80, p: 0.3, dy: 120, ra: 21, rb: 80 },
                { tag: "near first, down", a: 20, b: 80, p: 0.05, dy: -120, ra: 19, rb: 80 },
                { tag: "near second, down", a: 20, b: 80, p: 0.6, dy: -120, ra: 20, rb: 79 },
                { tag: "near second, up", a: 20, b: 80, p: 0.95, dy: 120, ra: 20, rb: 81 },
                { tag: "stacked, left, down", a: 50, b: 50, p: 0.25, dy: -120, ra: 49, rb: 50 },
                { tag: "stacked, right, up", a: 50, b: 50, p: 0.75, dy: 120, ra: 50, rb: 51 },
                { tag: "stacked, on them, up", a: 50, b: 50, p: 0.5, dy: 120, ra: 50, rb: 51 },
                { tag: "stacked, left, up is blocked", a: 50, b: 50, p: 0.25, dy: 120, ra: 50, rb: 50 }
            ]
        }

        function test_wheel_moves_the_nearer_handle(data) {
            var r = range({ animEnabled: false })
            r.setValues(data.a, data.b)
            wheelAt(r, data.p, data.dy)
            compare(r.first.value, data.ra)
            compare(r.second.value, data.rb)
            compare(r.firstValue, data.ra)
            compare(r.secondValue, data.rb)
        }

        function test_wheel_raises_the_moved_handle() {
            var r = range({ animEnabled: false })
            r.setValues(50, 50)
            var h1 = findChild(r, "firstHandle")
            var h2 = findChild(r, "secondHandle")
            wheelAt(r, 0.25, -120)
            verify(h1.z > h2.z)
            verify(h2.z > 0)
            wheelAt(r, 0.75, 120)
            verify(h2.z > h1.z)
            verify(h1.z > 0)
        }

        // Each handle keeps its own warning until it is moved itself.
        function test_range_device_values_until_moved_data() {
            return [
                { tag: "first by key", first: true, move: "key", values: [11, 50] },
                { tag: "second by key", first: false, move: "key", values: [10, 49] },
                { tag: "first by wheel", first: true, move: "wheel", values: [11, 50] },
                { tag: "second by wheel", first: false, move: "wheel", values: [10, 49] }
            ]
        }

        function test_range_device_values_until_moved(data) {
            var r = range({ from: 10, to: 50, animEnabled: false, firstDeviceValue: 5, secondDeviceValue: 0 })
            r.setValues(10, 50)
            var t1 = findChild(r, "firstTipLabel")
            var t2 = findChild(r, "secondTipLabel")
            compare([t1.text, t2.text], ["5", "0"])
            compare(r.Accessible.description, "5 (设备值) ~ 0 (设备值)")
            if (data.move === "key") {
                (data.first ? r.first : r.second).handle.forceActiveFocus()
                keyClick(data.first ? Qt.Key_Right : Qt.Key_Left)
            } else {
                wheelAt(r, data.first ? 0.05 : 0.95, data.first ? 120 : -120)
            }
            compare([r.first.value, r.second.value], data.values)
            compare([r.firstTouched, r.secondTouched], [data.first, !data.first])
            var moved = data.first ? t1 : t2
            var kept = data.first ? t2 : t1
            compare(moved.text, String(data.values[data.first ? 0 : 1]))
            compare(String(moved.color), String(Public.theme.barTipTextColor))
            compare(kept.text, data.first ? "0" : "5")
            compare(String(kept.color), String(Public.theme.warningColor))
            compare(r.Accessible.description, data.first ? "11 ~ 0 (设备值)" : "5 (设备值) ~ 49")
        }

        function test_range_labels_and_accessibility() {
            var r = range({ from: 10, to: 50, unit: "℃", title: "InletWaterTemp", animEnabled: false })
            r.setValues(20, 40)
            compare(findChild(r, "lowerLabel").text, "10℃")
            compare(findChild(r, "upperLabel").text, "50℃")
            compare(r.Accessible.role, Accessible.Slider)
            compare(r.Accessible.name, "InletWaterTemp")
            compare(r.Accessible.description, "20 ~ 40")
        }
    }
}
