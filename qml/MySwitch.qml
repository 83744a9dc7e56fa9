import QtQuick 2.15
import QtQuick.Templates 2.15 as T

// A switch with its two states written beside the track: the "off" text at
// the left, the "on" text at the right, the active one at full strength.
T.Switch {
    id: control

    property color color: Public.theme.textMainColor
    property string onText: qsTr("开")
    property string offText: qsTr("关")
    property int textPixelSize: 18

    padding: 6
    spacing: 6
    font.pixelSize: textPixelSize
    font.weight: Font.Black

    implicitWidth: leftPadding + rightPadding + offLabel.implicitWidth + onLabel.implicitWidth
                   + 2 * spacing + track.width
    implicitHeight: topPadding + bottomPadding
                    + Math.max(track.height, offLabel.implicitHeight, onLabel.implicitHeight)

    // The template names the control by its text; without one the two
    // state texts name it, and the description tells the state.
    Accessible.role: Accessible.CheckBox
    Accessible.name: text !== "" ? text : offText + "/" + onText
    Accessible.description: checked ? onText : offText

    indicator: Rectangle {
        id: track
        objectName: "track"
        width: 56
        height: 28
        x: (control.width - width) / 2
        y: (control.height - height) / 2
        radius: 8
        color: control.checked ? control.color : control.palette.midlight

        Rectangle {
            id: knob
            objectName: "knob"
            width: 28
            height: 28
            radius: 16
            x: Math.max(0, Math.min(parent.width - width, control.visualPosition * parent.width - width / 2))
            y: (parent.height - height) / 2
            color: control.down ? control.palette.light : control.palette.window
            border.width: control.visualFocus ? 2 : 1
            border.color: control.visualFocus ? control.palette.highlight
                                              : control.enabled ? control.palette.mid : control.palette.midlight

            Behavior on x {
                enabled: !control.pressed
                NumberAnimation {
                    duration: 250
                    easing.type: Easing.OutQuad
                }
            }
        }
    }

    contentItem: Item {
        Text {
            id: offLabel
            objectName: "offLabel"
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: control.offText
            textFormat: Text.PlainText
            font: control.font
            color: control.color
            opacity: control.checked ? 0.3 : 1.0
            Accessible.ignored: true

            Behavior on opacity {
                NumberAnimation {
                    duration: 250
                    easing.type: Easing.OutQuad
                }
            }
        }

        Text {
            id: onLabel
            objectName: "onLabel"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: control.onText
            textFormat: Text.PlainText
            font: control.font
            color: control.color
            opacity: control.checked ? 1.0 : 0.3
            Accessible.ignored: true

            Behavior on opacity {
                NumberAnimation {
                    duration: 250
                    easing.type: Easing.OutQuad
                }
            }
        }
    }
}
