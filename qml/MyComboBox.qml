import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Window 2.15

// A framed drop-down list. A press anywhere on the box opens or closes the
// list; resting on the closed box shows the whole current text, which is
// elided in the middle when it does not fit (long port descriptions).
T.ComboBox {
    id: control

    property color mainColor: Public.theme.comboTextColor
    property color pressColor: Public.theme.disabledTextColor
    property color hoverColor: Public.theme.comboHoverColor

    readonly property bool isPressed: pressed || boxArea.pressed
    readonly property color textColor: isPressed || !enabled ? pressColor : mainColor

    implicitWidth: 120
    implicitHeight: 32

    rightPadding: 8
    font.weight: Font.Black

    Accessible.role: Accessible.ComboBox
    Accessible.name: displayText

    delegate: T.ItemDelegate {
        id: entry
        width: ListView.view ? ListView.view.width : implicitWidth
        implicitHeight: 32
        padding: 6
        text: control.textRole ? (Array.isArray(control.model) ? modelData[control.textRole]
                                                                 : model[control.textRole])
                               : modelData
        highlighted: control.highlightedIndex === index
        hoverEnabled: control.hoverEnabled

        contentItem: Text {
            text: entry.text
            textFormat: Text.PlainText
            font.pixelSize: 14
            font.weight: Font.Black
            color: control.mainColor
            elide: Text.ElideMiddle
            verticalAlignment: Text.AlignVCenter
        }

        background: Rectangle {
            radius: 6
            color: entry.highlighted ? control.hoverColor : Public.theme.comboListColor
        }

        ToolTip.visible: hovered && entry.text !== ""
        ToolTip.delay: 500
        ToolTip.text: entry.text
    }

    indicator: Canvas {
        id: arrow
        objectName: "indicator"
        x: control.width - width - control.rightPadding
        y: control.topPadding + (control.availableHeight - height) / 2
        width: 12
        height: 8
        contextType: "2d"

        onPaint: {
            var ctx = getContext("2d")
            ctx.reset()
            ctx.moveTo(0, 0)
            ctx.lineTo(width, 0)
            ctx.lineTo(width / 2, height)
            ctx.closePath()
            ctx.fillStyle = control.textColor
            ctx.fill()
        }

        Connections {
            target: control
            function onTextColorChanged() {
                arrow.requestPaint()
            }
        }
    }

    contentItem: Text {
        objectName: "displayText"
        leftPadding: 8
        rightPadding: control.indicator.width + control.spacing
        text: control.displayText
        textFormat: Text.PlainText
        font.pixelSize: 14
        font.weight: Font.Black
        color: control.textColor
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideMiddle
        Accessible.ignored: true
    }

    background: Rectangle {
        implicitWidth: 120
        implicitHeight: 40
        radius: 6
        color: Public.theme.noFillColor
        border.width: control.visualFocus ? 2 : 1
        border.color: control.textColor
    }

    popup: T.Popup {
        y: control.height - 1
        width: control.width
        implicitHeight: contentItem.implicitHeight + topPadding + bottomPadding
        // As high as the entries, scrolling only when the window is shorter.
        height: control.Window.height > 0
                ? Math.min(implicitHeight, control.Window.height - topMargin - bottomMargin) : implicitHeight
        topMargin: 4
        bottomMargin: 4
        padding: 2
        closePolicy: T.Popup.CloseOnEscape | T.Popup.CloseOnPressOutsideParent

        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: control.popup.visible ? control.delegateModel : null
            currentIndex: control.highlightedIndex
            boundsBehavior: Flickable.StopAtBounds

            ScrollIndicator.vertical: ScrollIndicator {}
        }

        background: Rectangle {
            radius: 6
            color: control.mainColor
        }
    }

    // Above the template's own press handling: a press toggles the list.
    MouseArea {
        id: boxArea
        anchors.fill: parent
        z: 1
        hoverEnabled: true
        onPressed: {
            control.forceActiveFocus(Qt.MouseFocusReason)
            if (control.popup.visible)
                control.popup.close()
            else
                control.popup.open()
        }
    }

    ToolTip {
        id: tip
        parent: control
        visible: boxArea.containsMouse && !control.popup.visible && control.displayText !== ""
        delay: 500
        text: control.displayText
        font.pixelSize: 18
        contentItem: Text {
            text: tip.text
            font: tip.font
            textFormat: Text.PlainText
            color: tip.palette.toolTipText
        }
    }
}
