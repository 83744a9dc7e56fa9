import QtQuick 2.15
import "control_rules.js" as Rules

// A titled status item: one value box, or one per element of a list, each
// value followed by the unit; missing values show as "----".
Rectangle {
    id: root

    property string title: ""
    property var values: [""]
    property int fontSize: 16
    property color textColor: Public.theme.textMainColor
    property color alarmColor: Public.theme.alarmColor
    property bool alarm: false
    property real rowSpacing: 8
    property string unit: ""
    // Values that are not live: the boxes are dimmed, the title stays.
    property bool stale: false

    readonly property var texts: Rules.boxTexts(values, unit)
    readonly property real boxWidth: Rules.boxWidth(row.width, rowSpacing, texts.length)

    color: Public.theme.noFillColor
    width: 180
    height: 52
    clip: true

    Accessible.role: Accessible.StaticText
    Accessible.name: title
    Accessible.description: texts.join(" ")

    Text {
        objectName: "title"
        x: 6
        y: 0
        width: root.width - 12
        height: 22
        text: root.title
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignLeft
        verticalAlignment: Text.AlignTop
        elide: Text.ElideRight
        font.pixelSize: 16
        color: Public.theme.textMainColor
        Accessible.ignored: true
    }

    Row {
        id: row
        objectName: "boxes"
        x: 6
        y: 24
        width: root.width - 12
        height: 26
        spacing: root.rowSpacing
        opacity: root.stale ? Public.theme.staleOpacity : 1

        Repeater {
            // A count, not the texts: new values then only change the texts
            // of the boxes instead of rebuilding them.
            model: root.texts.length

            ShadowText {
                width: root.boxWidth
                height: 26
                text: root.texts[index] === undefined ? "" : root.texts[index]
                fontSize: root.fontSize
                color: root.alarm ? root.alarmColor : root.textColor
            }
        }
    }
}
