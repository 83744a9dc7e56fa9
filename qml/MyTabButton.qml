import QtQuick 2.15
import QtQuick.Controls 2.15 // registers QtQuick.Controls.impl
import QtQuick.Controls.impl 2.15
import QtQuick.Templates 2.15 as T

// A tab with an optional icon; the selected tab is drawn inverted.
T.TabButton {
    id: control

    readonly property color contentColor: checked ? Public.theme.tabBtnCheckedTextColor
                                                  : Public.theme.tabBtnUncheckedTextColor

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)

    padding: 6
    spacing: 6

    icon.width: 24
    icon.height: 24
    icon.color: contentColor

    Accessible.role: Accessible.PageTab
    Accessible.name: text

    contentItem: IconLabel {
        spacing: control.spacing
        mirrored: control.mirrored
        display: control.display
        icon: control.icon
        text: control.text
        font: control.font
        color: control.contentColor
    }

    background: Rectangle {
        implicitHeight: 40
        color: control.checked ? Public.theme.tabBtnCheckedBgColor : Public.theme.tabBtnUncheckedBgColor

        Behavior on color {
            ColorAnimation {
                duration: 250
                easing.type: Easing.OutQuad
            }
        }
    }

    // Only shows the cursor; presses go to the tab itself.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        cursorShape: Qt.PointingHandCursor
    }
}
