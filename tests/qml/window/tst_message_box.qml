import QtQuick 2.15
import QtTest 1.2
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// The message box: its four kinds, the answer through the callback, the keys
// that close it, and the reset when it hides.
Item {
    id: scene

    width: 1024
    height: 700

    property int clicksBelow: 0

    MouseArea {
        anchors.fill: parent
        onClicked: ++scene.clicksBelow
    }

    Model {
        id: box

        anchors.fill: parent
    }

    TestHost {
        id: host
    }

    TestCase {
        name: "MessageBox"
        when: windowShown

        property var answers: []

        function record(text) {
            answers.push(text)
        }

        function init() {
            answers = []
            scene.clicksBelow = 0
            box.visible = false
        }

        // As a user would: the box has popped in and laid out its buttons.
        function show(text, type, cb) {
            box.showMsg(text, type, cb)
            tryCompare(findChild(box, "msgCard"), "scale", 1.0, 2000)
        }

        function button(name) {
            var found = findChild(box, name)
            verify(found, name)
            return found
        }

        function test_kinds_data() {
            return [
                { tag: "plain", type: undefined, title: "提示", cancel: false, input: false, easing: Easing.OutQuad },
                { tag: "unknown", type: "other", title: "提示", cancel: false, input: false, easing: Easing.OutQuad },
                { tag: "error", type: "error", title: "警告", cancel: false, input: false, easing: Easing.OutElastic },
                { tag: "confirm", type: "confirm", title: "确认操作", cancel: true, input: false, easing: Easing.OutQuad },
                { tag: "input", type: "input", title: "输入", cancel: true, input: true, easing: Easing.OutQuad }
            ]
        }

        function test_kinds(data) {
            box.showMsg("text", data.type)
            verify(box.visible)
            compare(box.titleText, data.title)
            compare(findChild(box, "msgCard").title, data.title)
            compare(button("cancelButton").visible, data.cancel)
            compare(button("msgInput").visible, data.input)
            compare(box.popEasing, data.easing)
            verify(box.activeFocus)
        }

        function test_okAnswersWithTheInputText() {
            show("name?", "input", record)
            button("msgInput").text = "abc"
            mouseClick(button("okButton"))
            compare(answers, ["abc"])
            verify(!box.visible)

            show("sure?", "confirm", record)
            mouseClick(button("okButton"))
            compare(answers, ["abc", ""])
        }

        function test_cancelAndEnterAnswerNothing() {
            show("sure?", "confirm", record)
            mouseClick(button("cancelButton"))
            verify(!box.visible)
            show("sure?", "confirm", record)
            keyClick(Qt.Key_Return)
            verify(!box.visible)
            show("name?", "input", record)
            button("msgInput").forceActiveFocus()
            keyClick(Qt.Key_Enter)
            verify(!box.visible)
            compare(answers, [])
        }

        function test_hidingResetsTheKind() {
            show("bad", "error", record)
            keyClick(Qt.Key_Return)
            show("name?", "input", record)
            button("msgInput").text = "left over"
            mouseClick(button("cancelButton"))

            show("plain")
            compare(box.titleText, "提示")
            compare(box.popEasing, Easing.OutQuad)
            verify(!button("cancelButton").visible)
            verify(!button("msgInput").visible)
            compare(button("msgInput").text, "")
            compare(box.callback, null)
            mouseClick(button("okButton"))
            compare(answers, [])
        }

        // The title follows a language switch, also for boxes after the
        // first (hiding must not freeze it in the language of that moment).
        function test_titleFollowsTheLanguage() {
            show("first")
            mouseClick(button("okButton"))
            switchLanguage("en")
            try {
                show("second")
                compare(box.titleText, "Tips")
                switchLanguage("cn")
                compare(box.titleText, "提示")
                switchLanguage("en")
                mouseClick(button("okButton"))
                show("third", "confirm", record)
                compare(box.titleText, "Confirm")
                mouseClick(button("cancelButton"))
            } finally {
                switchLanguage("cn")
            }
        }

        function switchLanguage(code) {
            if (code === "en")
                Language.loadEnglish()
            else
                Language.loadChinese()
            host.retranslate()
        }

        function test_showWhileShownAddsToTheKind() {
            box.showMsg("first", "confirm", record)
            box.showMsg("second", "error")
            verify(box.visible)
            compare(box.msg, "second")
            compare(box.titleText, "警告")
            verify(button("cancelButton").visible)
            compare(box.callback, null)
        }

        function test_popInScalesTheCard() {
            var card = findChild(box, "msgCard")
            box.showMsg("hello")
            verify(card.scale < 1.0)
            tryCompare(card, "scale", 1.0, 1000)
        }

        function test_veilSwallowsClicks() {
            box.showMsg("modal")
            mouseClick(scene, 10, 10)
            mouseClick(scene, scene.width - 10, scene.height - 10)
            compare(scene.clicksBelow, 0)
            verify(box.visible)
            box.visible = false
            mouseClick(scene, 10, 10)
            compare(scene.clicksBelow, 1)
        }

        function test_markupIsShownAsText() {
            box.showMsg("<img src=\"file:///nothing.png\"><b>x</b>")
            var texts = []
            collectTexts(box, texts)
            var shown = texts.filter(function (t) { return t.text.indexOf("<img") === 0 })
            compare(shown.length, 1)
            compare(shown[0].textFormat, Text.PlainText)
        }

        function collectTexts(item, out) {
            for (var i = 0; i < item.children.length; ++i) {
                var child = item.children[i]
                if (child.textFormat !== undefined && child.text !== undefined)
                    out.push(child)
                collectTexts(child, out)
            }
        }
    }
}
