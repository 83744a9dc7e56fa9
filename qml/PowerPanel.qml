import QtQuick 2.15

// The present output power in whole watts, in large digits; drawn dimmed
// while the values are not live.
// Its texts keep the sidebar's translation context: the catalogues and
// everything that reads them know them there.
Rectangle {
    id: root

    property int nowPower: 0
    // The word that marks the value as not live; empty while it is.
    property string liveText: ""

    width: 300
    height: 68
    radius: 8
    color: Public.theme.cardBgColor

    Row {
        anchors.centerIn: parent
        spacing: 8

        Text {
            width: 80
            height: 48
            text: qsTranslate("Sidebar", "功率") + "\n(W)"
            textFormat: Text.PlainText
            font.pixelSize: 22
            font.bold: true
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            color: Public.theme.textMainColor
            Accessible.ignored: true
        }

        ShadowText {
            objectName: "powerValue"
            width: 200
            height: 48
            text: Public.numFormat(root.nowPower, "----", 0)
            fontSize: 30
            fontBold: true
            color: Public.theme.powerValueColor
            opacity: root.liveText === "" ? 1 : Public.theme.staleOpacity
            Accessible.name: qsTranslate("Sidebar", "功率") + " " + text
            Accessible.description: root.liveText
        }
    }
}
