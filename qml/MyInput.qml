import QtQuick 2.15
import "control_rules.js" as Rules

// A sunken single-line input. With type "int" or "double" it accepts numbers
// in [min, max]; an illegal number left behind on losing the focus is
// corrected to the nearest end and reported through correctIllegalValue(),
// so that the owner can bind the value to its source again.
Item {
    id: root

    property alias text: input.text
    property alias echoMode: input.echoMode
    property alias horizontalAlignment: input.horizontalAlignment
    property alias maximumLength: input.maximumLength
    property alias inputMask: input.inputMask
    property alias validator: input.validator
    property alias inputMethodHints: input.inputMethodHints
    property alias font: input.font
    property alias readOnly: input.readOnly
    readonly property alias acceptableInput: input.acceptableInput

    property string type: "text"
    property color disableColor: Public.theme.inputDisabledColor
    property color disableTextColor: Public.theme.disabledTextColor
    property int min: 0
    property int max: 100

    signal accepted(string value)
    signal correctIllegalValue

    width: 180
    height: 32

    // The text field below is the node that assistive tools see; its name
    // and description are set here, on the input as a whole.
    Accessible.ignored: true
    Accessible.name: ""
    Accessible.description: ""

    IntValidator {
        id: intValidator
        locale: "C"
    }

    DoubleValidator {
        id: doubleValidator
        locale: "C"
        notation: DoubleValidator.StandardNotation
    }

    // Beneath the box; the inner shadow lies on it.
    SoftShadow {
        objectName: "dropShadow"
        anchors.fill: box
        source: box
        horizontalOffset: 1
        verticalOffset: 1
        samples: 5
        radius: 2
        color: root.enabled ? Public.theme.inputBgColor : root.disableColor
    }

    Rectangle {
        id: box
        anchors.fill: parent
        radius: 6
        color: root.enabled ? Public.theme.inputBgColor : root.disableColor
    }

    SoftShadow {
        objectName: "innerShadow"
        anchors.fill: box
        source: box
        inner: true
        horizontalOffset: 1
        verticalOffset: 1
        samples: 5
        radius: 2
        color: root.enabled ? Public.theme.inputBorderColor : root.disableColor
    }

    TextInput {
        id: input
        objectName: "input"
        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        horizontalAlignment: TextInput.AlignHCenter
        verticalAlignment: TextInput.AlignVCenter
        font.pixelSize: 16
        font.bold: true
        color: root.enabled ? Public.theme.inputTextColor : root.disableTextColor
        selectByMouse: true
        clip: true

        Accessible.role: Accessible.EditableText
        Accessible.name: root.Accessible.name
        Accessible.description: root.Accessible.description
        Accessible.passwordEdit: echoMode === TextInput.Password || echoMode === TextInput.PasswordEchoOnEdit

        onAccepted: root.accepted(text)

        onActiveFocusChanged: {
            if (activeFocus || acceptableInput)
                return
            if (root.type === "int" || root.type === "double")
                text = Rules.correctedNumber(text, root.type, root.min, root.max)
            root.correctIllegalValue()
        }
    }

    Component.onCompleted: {
        if (type === "int" || type === "double") {
            var v = type === "int" ? intValidator : doubleValidator
            v.bottom = min
            v.top = max
            input.inputMethodHints = Qt.ImhFormattedNumbersOnly
            input.validator = v
        }
    }
}
