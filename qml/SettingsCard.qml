import QtQuick 2.15
import CppSingletonClass 1.0

// The settings card: the language, the manual, and the two themes (a theme
// switch restarts the program, asking first while the laser emits).
// Its texts keep the sidebar's translation context: the catalogues and
// everything that reads them know them there.
Card {
    id: root

    property var msgBox: null
    property var devInfo: null
    // The port that is open, handed to the restarted copy.
    property string openPort: ""

    objectName: "configCard"
    width: 300
    height: 54 + configColumn.height
    title: qsTranslate("Sidebar", "其它设置")
    titleIcon: "qrc:/res/icons/card_icon/other.svg"

    QtObject {
        id: d

        // Values present while the document is created are the window's
        // stand-ins, not a device record.
        property bool completed: false
        // A device record has arrived in this copy: from then on devInfo
        // says what the laser does.
        property bool recordSeen: false
    }

    onDevInfoChanged: if (d.completed && devInfo) d.recordSeen = true
    Component.onCompleted: d.completed = true

    function showMsg(text, type, cb) {
        if (root.msgBox)
            root.msgBox.showMsg(text, type, cb)
    }

    // A theme restart starts a new copy of the program. The port that is
    // open goes along (the new copy reopens it), and while the laser emits
    // the operator is asked first.
    function switchTheme(name) {
        if (name === Public.theme.name || Public.themeRestartPending)
            return
        if (d.recordSeen && root.devInfo && root.devInfo.laserOutputting)
            showMsg(qsTranslate("Sidebar", "正在出光,切换主题将重启程序,确定继续吗?"), "confirm", function () { root.restartWithTheme(name) })
        else
            restartWithTheme(name)
    }

    function restartWithTheme(name) {
        var port = Communication.isOpen() ? root.openPort : ""
        var failure = Public.switchTheme(name, port)
        if (failure)
            showMsg(qsTranslate("Sidebar", "无法重新启动程序") + "\n" + failure, "error")
    }

    Column {
        id: configColumn

        y: 42
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 8

        Row {
            spacing: 20

            TxtButton {
                objectName: "languageBtn"
                width: root.width * 0.4
                text: qsTranslate("Sidebar", "中/En")
                // Toggles the language in use: the settings file may not
                // hold it (it cannot always be written).
                onClicked: {
                    var next = Public.language === "en" ? "cn" : "en"
                    if (next === "en")
                        Language.loadEnglish()
                    else
                        Language.loadChinese()
                    Public.language = next
                }
            }

            TxtButton {
                objectName: "helpBtn"
                width: root.width * 0.4
                text: qsTranslate("Sidebar", "软件帮助")
                onClicked: {
                    console.log("打开帮助.pdf")
                    if (typeof QmlPublic.openManual === "function")
                        QmlPublic.openManual()
                }
            }
        }

        Row {
            spacing: 20

            TxtButton {
                objectName: "lightBtn"
                width: root.width * 0.4
                text: qsTranslate("Sidebar", "亮色主题")
                onClicked: root.switchTheme("light")
            }

            TxtButton {
                objectName: "darkBtn"
                width: root.width * 0.4
                text: qsTranslate("Sidebar", "暗色主题")
                onClicked: root.switchTheme("dark")
            }
        }
    }
}
