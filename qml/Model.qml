import QtQuick 2.15

// The message box: every question to the user and every error shown to the
// user goes through showMsg. A veil blocks the mouse while it is shown; the
// answer arrives through the callback.
FocusScope {
    id: root

    property var msg: qsTr("提示信息")
    property var callback: null

    // The kind of the box as showMsg last set it; hiding resets it. The
    // title is a binding on it, so it follows a language switch.
    property string kind: ""
    readonly property string titleText: kind === "error" ? qsTr("警告")
                                        : kind === "confirm" ? qsTr("确认操作")
                                        : kind === "input" ? qsTr("输入") : qsTr("提示")
    property bool cancelShown: false
    property bool inputShown: false
    property int popEasing: Easing.OutQuad

    visible: false
    z: 100

    function showMsg(text, type, cb) {
        if (type === "error") {
            popEasing = Easing.OutElastic
            kind = type
        } else if (type === "confirm") {
            kind = type
            cancelShown = true
        } else if (type === "input") {
            kind = type
            cancelShown = true
            inputShown = true
        }
        callback = cb === undefined ? null : cb
        msg = text
        if (!visible) {
            visible = true
            popIn.restart()
        }
        forceActiveFocus()
    }

    function accept() {
        var cb = callback
        var text = inputShown ? input.text : ""
        visible = false
        if (typeof cb === "function")
            cb(text)
    }

    function reject() {
        visible = false
    }

    function resetKind() {
        popEasing = Easing.OutQuad
        kind = ""
        cancelShown = false
        inputShown = false
        callback = null
        input.text = ""
    }

    onVisibleChanged: {
        if (!visible)
            resetKind()
    }

    // Enter and Return close the box without an answer, also from its input.
    Keys.onPressed: {
        if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
            event.accepted = true
            reject()
        }
    }

    Rectangle {
        id: veil

        anchors.fill: parent
        color: Public.theme.veilColor

        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.AllButtons
            onWheel: wheel.accepted = true
        }
    }

    Card {
        id: card

        objectName: "msgCard"
        width: 400
        height: 260
        anchors.centerIn: parent
        title: root.titleText
        transformOrigin: Item.Center

        Accessible.role: Accessible.Dialog
        Accessible.name: root.titleText

        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.verticalCenter: parent.verticalCenter
            anchors.verticalCenterOffset: -16
            spacing: 16

            Text {
                id: messageText

                anchors.horizontalCenter: parent.horizontalCenter
                width: card.width * 0.8
                text: root.msg === undefined || root.msg === null ? "" : String(root.msg)
                // Messages may carry device text: never interpreted as markup.
                textFormat: Text.PlainText
                font.pixelSize: 24
                minimumPixelSize: 14
                fontSizeMode: Text.Fit
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                color: Public.theme.textMainColor
                height: Math.min(implicitHeight, 100)

                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            MyInput {
                id: input

                objectName: "msgInput"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 220
                maximumLength: 32
                visible: root.inputShown
            }
        }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.verticalCenter: parent.verticalCenter
            anchors.verticalCenterOffset: 80
            spacing: 52

            TxtButton {
                id: okButton

                objectName: "okButton"
                text: qsTr("确定")
                onClicked: root.accept()
            }

            TxtButton {
                id: cancelButton

                objectName: "cancelButton"
                text: qsTr("取消")
                visible: root.cancelShown
                onClicked: root.reject()
            }
        }

        NumberAnimation {
            id: popIn

            target: card
            property: "scale"
            from: 0.3
            to: 1.0
            duration: 300
            easing.type: root.popEasing
        }
    }
}
