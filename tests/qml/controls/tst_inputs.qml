import QtQuick 2.15
import QtTest 1.15
import "../../../qml"

Item {
    id: root
    width: 600
    height: 400

    // Something else to give the focus to, as a click elsewhere would.
    Item {
        id: elsewhere
        width: 10
        height: 10
    }

    Component {
        id: inputComponent
        MyInput {}
    }

    Component {
        id: paramComponent
        NumParamInput {}
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    TestCase {
        name: "Inputs"
        when: windowShown

        function makeInput(props) {
            var input = createTemporaryObject(inputComponent, root, props)
            verify(input)
            return input
        }

        function spy(target, signalName) {
            return createTemporaryObject(spyComponent, root, { target: target, signalName: signalName })
        }

        function field(input) {
            return findChild(input, "input")
        }

        // Gives the input the focus, sets its text, then takes the focus away.
        function editAndLeave(input, text) {
            field(input).forceActiveFocus()
            verify(field(input).activeFocus)
            input.text = text
            elsewhere.forceActiveFocus()
            verify(!field(input).activeFocus)
        }

        function test_correction_on_leaving_data() {
            return [
                { tag: "int empty", type: "int", min: 1, max: 10000, text: "", out: "1" },
                { tag: "int above max", type: "int", min: 1, max: 10000, text: "20000", out: "10000" },
                { tag: "int below min", type: "int", min: 1, max: 10000, text: "0", out: "1" },
                { tag: "int minus sign", type: "int", min: 1, max: 10000, text: "-", out: "1" },
                { tag: "int negative", type: "int", min: 1, max: 10000, text: "-5", out: "1" },
                { tag: "double empty", type: "double", min: 0, max: 100, text: "", out: "0" },
                { tag: "double above max", type: "double", min: 0, max: 100, text: "150.5", out: "100" },
                { tag: "double below min", type: "double", min: 5, max: 100, text: "2.5", out: "5" }
            ]
        }

        function test_correction_on_leaving(data) {
            var input = makeInput({ type: data.type, min: data.min, max: data.max })
            var textAtSignal = []
            input.correctIllegalValue.connect(function () { textAtSignal.push(input.text) })
            editAndLeave(input, data.text)
            compare(input.text, data.out)
            // Emitted once, after the text was corrected.
            compare(textAtSignal, [data.out])
            verify(input.acceptableInput)
        }

        function test_acceptable_text_emits_nothing_data() {
            return [
                { tag: "int lower end", type: "int", min: 1, max: 10000, text: "1" },
                { tag: "int upper end", type: "int", min: 1, max: 10000, text: "10000" },
                { tag: "double inside", type: "double", min: 0, max: 100, text: "12.5" },
                { tag: "text", type: "text", min: 0, max: 100, text: "anything at all" },
                { tag: "text empty", type: "text", min: 0, max: 100, text: "" }
            ]
        }

        function test_acceptable_text_emits_nothing(data) {
            var input = makeInput({ type: data.type, min: data.min, max: data.max })
            var corrections = spy(input, "correctIllegalValue")
            var accepted = spy(input, "accepted")
            editAndLeave(input, data.text)
            compare(input.text, data.text)
            compare(corrections.count, 0)
            // Leaving is not accepting: only Enter or Return accepts.
            compare(accepted.count, 0)
        }

        function test_typed_digits_are_corrected() {
            var input = makeInput({ type: "int", min: 1, max: 10000 })
            var corrections = spy(input, "correctIllegalValue")
            input.text = ""
            mouseClick(field(input))
            verify(field(input).activeFocus)
            keyClick(Qt.Key_2)
            keyClick(Qt.Key_0)
            keyClick(Qt.Key_0)
            keyClick(Qt.Key_0)
            keyClick(Qt.Key_0)
            // The validator lets the digits in, but they are out of range.
            compare(input.text, "20000")
            verify(!input.acceptableInput)
            elsewhere.forceActiveFocus()
            compare(input.text, "10000")
            compare(corrections.count, 1)
        }

        function test_enter_emits_accepted_data() {
            return [
                { tag: "return", key: Qt.Key_Return },
                { tag: "enter", key: Qt.Key_Enter }
            ]
        }

        function test_enter_emits_accepted(data) {
            var input = makeInput({ type: "int", min: 1, max: 10000, text: "42" })
            var accepted = spy(input, "accepted")
            field(input).forceActiveFocus()
            keyClick(data.key)
            compare(accepted.count, 1)
            compare(accepted.signalArguments[0][0], "42")

            // An out-of-range text is not accepted.
            input.text = "20000"
            keyClick(data.key)
            compare(accepted.count, 1)
        }

        function test_accessible_name_from_owner() {
            var input = makeInput({})
            compare(field(input).Accessible.role, Accessible.EditableText)
            input.Accessible.name = "Password"
            compare(field(input).Accessible.name, "Password")
        }

        // --- NumParamInput ---

        function makeParam(props) {
            var p = createTemporaryObject(paramComponent, root, props)
            verify(p)
            return p
        }

        function test_param_error_tip_opens_while_out_of_range() {
            var p = makeParam({ width: 300, min: 0, max: 100, value: "50", errorTip: "Error:0~100" })
            var tip = findChild(p, "errorTip")
            var input = findChild(p, "input")
            compare(tip.height, 0)
            p.value = "500"
            tryCompare(tip, "height", 16)
            compare(tip.y, input.y + input.height + 1)
            compare(tip.x, input.x)
            compare(findChild(input, "input").Accessible.description, "Error:0~100")
            p.value = "5"
            tryCompare(tip, "height", 0)
        }

        function test_param_error_tip_moves_left_to_fit() {
            var p = makeParam({ width: 140, dir: "col", min: 0, max: 100, value: "500",
                                errorTip: "A rather long error explanation" })
            var tip = findChild(p, "errorTip")
            // Wider than the space right of the input's left edge: moved left,
            // but never left of the padding.
            verify(tip.implicitWidth > p.width - findChild(p, "input").x)
            compare(tip.x, p.padding)
        }

        function test_param_passes_correction_on() {
            var p = makeParam({ width: 300, min: 1, max: 60000 })
            var corrections = spy(p, "correctIllegalValue")
            var field = findChild(findChild(p, "input"), "input")
            field.forceActiveFocus()
            p.value = "70000"
            elsewhere.forceActiveFocus()
            compare(p.value, "60000")
            compare(corrections.count, 1)
        }
    }
}
