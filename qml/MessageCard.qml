import QtQuick 2.15
import QtQuick.Controls 2.15
import OrrindelJournal 1.0
import "content_rules.js" as Rules

// The message card: the page's time-stamped lines, newest last, with Clear
// and Refresh (which the page answers). Its texts belong to the page's
// translation context.
Card {
    id: root

    signal refreshRequested
    // A click on a line: the time it was written (ms since the epoch).
    signal lineChosen(real timeMs)

    // Appends one line and shows it.
    function append(line) {
        msgLines.append(line)
        alarmListView.positionViewAtEnd()
    }

    title: qsTranslate("Content", "运行信息")
    titleIcon: "qrc:/res/icons/card_icon/alarm.svg"
    headerInset: 78 // two buttons

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 14
        y: 6
        spacing: 8
        layoutDirection: Qt.RightToLeft

        IconButton {
            objectName: "clearBtn"
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/clear.svg"
            tipText: qsTranslate("Content", "清空")
            onClicked: msgLines.clear()
        }

        IconButton {
            objectName: "msgRefreshBtn"
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/shuaxin.svg"
            tipText: qsTranslate("Content", "刷新")
            onClicked: root.refreshRequested()
        }
    }

    // The list keeps every line; the view creates only the visible ones,
    // so it stays quick however long the program runs.
    ListView {
        id: alarmListView

        objectName: "alarmListView"
        x: 8
        y: 40
        width: parent.width - 16
        height: Math.max(0, parent.height - 48)
        clip: true
        spacing: 4
        reuseItems: true
        boundsBehavior: Flickable.StopAtBounds
        // The lines survive a restart through the session journal; after
        // one, the earlier lines come first, then a line that marks it.
        model: MessageLog {
            id: msgLines

            journalKey: "messages"
            resumeLine: Rules.listLine(new Date(), qsTranslate("Content", "—— 程序重新启动 ——"))
            onLoaded: alarmListView.positionViewAtEnd()
        }

        Accessible.role: Accessible.List
        Accessible.name: qsTranslate("Content", "运行信息")

        delegate: Text {
            width: alarmListView.width - 8
            text: model.line
            // Device text: never interpreted as markup.
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: 16
            color: Public.theme.textMainColor
            Accessible.role: Accessible.StaticText
            Accessible.name: text

            MouseArea {
                anchors.fill: parent
                onClicked: root.lineChosen(model.timeMs)
            }
        }

        ScrollBar.vertical: ScrollBar {
            policy: alarmListView.contentHeight > alarmListView.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }
    }
}
