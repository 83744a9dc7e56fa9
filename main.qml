import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15
import CppSingletonClass 1.0
import "qml"

// The main window. Until the sidebar and the status page exist it shows the
// port list and the language and theme switches.
ApplicationWindow {
    id: window

    visible: Public.windowVisible
    width: 1280
    height: 720
    minimumWidth: 1024
    minimumHeight: 700
    title: "Orrindel"
    color: Public.theme.bgColor

    Behavior on color {
        ColorAnimation {
            duration: Public.colorSwitchDuration
            easing.type: Easing.OutQuad
        }
    }

    Rectangle {
        id: card

        anchors.centerIn: parent
        width: 420
        height: column.implicitHeight + 48
        radius: 8
        color: Public.theme.cardBgColor

        ColumnLayout {
            id: column

            anchors.centerIn: parent
            width: parent.width - 48
            spacing: 16

            Label {
                text: "Orrindel"
                font.pixelSize: 32
                font.bold: true
                color: Public.theme.cardTitleColor
                Layout.alignment: Qt.AlignHCenter
            }

            Label {
                text: qsTranslate("Sidebar", "设备连接")
                font.pixelSize: 20
                color: Public.theme.cardTitleColor
            }

            ComboBox {
                id: portList

                Layout.fillWidth: true
                textRole: "fullName"
                model: Communication.getSerialList()
            }

            Label {
                text: qsTranslate("Sidebar", "其它设置")
                font.pixelSize: 20
                color: Public.theme.cardTitleColor
            }

            GridLayout {
                columns: 2
                columnSpacing: 20
                rowSpacing: 8
                Layout.fillWidth: true

                Button {
                    text: "中/En"
                    Layout.fillWidth: true
                    onClicked: {
                        if (Language.getNowLanguage() === "cn")
                            Language.loadEnglish()
                        else
                            Language.loadChinese()
                        Public.language = Language.getNowLanguage()
                    }
                }
                Button {
                    text: qsTranslate("Sidebar", "刷新")
                    Layout.fillWidth: true
                    onClicked: portList.model = Communication.getSerialList()
                }
                Button {
                    text: qsTranslate("Sidebar", "亮色主题")
                    Layout.fillWidth: true
                    onClicked: Public.switchTheme("light")
                }
                Button {
                    text: qsTranslate("Sidebar", "暗色主题")
                    Layout.fillWidth: true
                    onClicked: Public.switchTheme("dark")
                }
            }

            Label {
                text: "Rev:" + QmlPublic.buildDateTime()
                font.pixelSize: 14
                color: Public.theme.textMainColor
                Layout.alignment: Qt.AlignHCenter
            }
        }
    }
}
