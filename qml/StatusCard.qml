import QtQuick 2.15
import QtQuick.Controls 2.15
import "content_rules.js" as Rules
import "status_rules.js" as Items

// The status card: the items of a record (see content_rules.js), the receive
// lamp, and the live-state word while the values are not live. Its texts
// belong to the page's translation context, where the rules mark them.
Card {
    id: root

    property var devInfo: null
    // Translated; empty while the values are live.
    property string liveText: ""
    // The height of all the items; the page sizes the card by it.
    readonly property real flowHeight: itemFlow.height

    // Lit for 250 ms by a record that finds it dark; later records do not
    // extend it, and a record with the port closed puts it out.
    function noteRecord(portOpen) {
        ledTimer.running = portOpen
    }

    function tr(text) {
        return qsTranslate("Content", text)
    }

    title: qsTranslate("Content", "设备信息")
    titleIcon: "qrc:/res/icons/card_icon/devInfo.svg"
    // The receive lamp, and the live-state word while it is shown.
    headerInset: liveWord.visible ? width - liveWord.x : 40

    Timer {
        id: ledTimer

        interval: 250
        repeat: false
    }

    // Shown where the eye goes for the lamp: the values below are not
    // live. As large as the title, so it stays readable in both themes.
    Text {
        id: liveWord

        objectName: "liveWord"
        anchors.right: rxLed.left
        anchors.rightMargin: 8
        y: 4
        height: 32
        visible: text !== ""
        text: root.liveText
        textFormat: Text.PlainText
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: 20
        font.bold: true
        color: Public.theme.warningColor
        Accessible.role: Accessible.StaticText
        Accessible.name: text
        Accessible.description: text
    }

    MyLed {
        id: rxLed

        objectName: "rxLed"
        anchors.right: parent.right
        anchors.rightMargin: 16
        y: 12
        radius: 8
        title: ""
        onText: ""
        offText: ""
        disableText: ""
        onColor: Public.theme.lampOnColor
        ledState: true
        ledEnabled: ledTimer.running
        Accessible.name: qsTranslate("Content", "接收指示")
    }

    Flickable {
        id: infoArea

        objectName: "infoArea"
        readonly property bool scrolls: root.height < itemFlow.height + 50
        readonly property real cellWidth: Rules.cellWidth(root.width, width)
        readonly property int columns: Rules.columnCount(width, cellWidth)
        property Item lastItem: null

        y: 36
        width: parent.width
        height: Math.max(0, parent.height - 36)
        clip: true
        interactive: scrolls
        boundsBehavior: Flickable.StopAtBounds
        contentWidth: width
        contentHeight: lastItem ? lastItem.y + 64 : 0

        ScrollBar.vertical: ScrollBar {
            policy: infoArea.scrolls ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }

        Flow {
            id: itemFlow

            width: infoArea.width
            spacing: 2
            leftPadding: Rules.flowLeftPadding(infoArea.width, infoArea.cellWidth, infoArea.columns)

            move: Transition {
                NumberAnimation {
                    properties: "x,y"
                    duration: 250
                }
            }

            Repeater {
                model: Items.statusItems.length

                ParamInfo {
                    id: statusItem

                    readonly property var rule: Items.statusItems[index]

                    // The last item spans two cells; its place sets the
                    // scrollable height.
                    width: rule.wide ? Rules.wideCellWidth(infoArea.cellWidth, infoArea.columns)
                                     : infoArea.cellWidth
                    height: 52
                    title: root.tr(rule.title)
                    unit: rule.unit
                    values: Items.itemValue(index, root.devInfo, root.tr)
                    textColor: rule.tone === "identity" ? Public.theme.paramNormalColor
                                                        : Public.theme.paramGoodColor
                    alarm: Items.itemAlarm(index, root.devInfo, Public)
                    alarmColor: Public.theme[Items.itemAlarmColorRole(index, root.devInfo, Public)]
                    stale: root.liveText !== ""
                    Accessible.description: Rules.valueDescription(texts, root.liveText)
                    Component.onCompleted: {
                        if (index === Items.statusItems.length - 1)
                            infoArea.lastItem = statusItem
                    }
                }
            }
        }
    }
}
