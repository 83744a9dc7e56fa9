import QtQuick 2.15
import CppSingletonClass 1.0
import "sidebar_rules.js" as Rules

// The QCW parameters of the advanced card: duty, frequency and the switch,
// with the pulse width and period they give.
// Its texts keep the sidebar's translation context: the catalogues and
// everything that reads them know them there.
Item {
    id: root

    // The advanced card: the device's values.
    property var form: null
    property alias qcwDuty: qcwDuty
    property alias qcwFreq: qcwFreq
    property alias qcwEnable: qcwEnable
    readonly property var pulse: Rules.calculatePulsePeriod(qcwDuty.value, qcwFreq.value)

    onVisibleChanged: if (visible) qcwPop.restart()

    NumberAnimation {
        id: qcwPop

        target: root
        property: "scale"
        from: 0.5
        to: 1.0
        duration: 300
        easing.type: Easing.OutQuad
    }

    Column {
        y: 8
        width: form.width - 32
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 6

        NumParamInput {
            id: qcwDuty

            objectName: "qcwDuty"
            width: parent.width
            dir: "row"
            type: "int"
            min: 0
            max: 100
            title: qsTranslate("Sidebar", "QCW占空比") + "(%):"
            errorTip: qsTranslate("Sidebar", "错误:参数范围") + "0~100"
            enabled: Public.devQcwEnable
            onCorrectIllegalValue: form.showQcwDuty()
        }

        NumParamInput {
            id: qcwFreq

            objectName: "qcwFreq"
            width: parent.width
            dir: "row"
            type: "int"
            min: 1
            max: 60000
            title: qsTranslate("Sidebar", "QCW频率") + "(Hz):"
            errorTip: qsTranslate("Sidebar", "错误:参数范围") + "1~60000"
            enabled: Public.devQcwEnable
            onCorrectIllegalValue: form.showQcwFreq()
        }

        Item {
            width: parent.width
            height: 32

            Text {
                width: parent.width / 2 - 8
                height: parent.height
                text: qsTranslate("Sidebar", "QCW使能状态") + ":"
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignRight
                verticalAlignment: Text.AlignVCenter
                font.pixelSize: 16
                color: Public.theme.textMainColor
                Accessible.ignored: true
            }

            MySwitch {
                id: qcwEnable

                objectName: "qcwEnable"
                x: parent.width / 2
                height: parent.height
                anchors.verticalCenter: parent.verticalCenter
                enabled: Public.devQcwEnable
                Accessible.name: qsTranslate("Sidebar", "QCW使能状态")
            }
        }

        Text {
            objectName: "pulseWidthText"
            width: parent.width
            height: 24
            text: qsTranslate("Sidebar", "脉宽") + ":" + root.pulse.pulseWidth
            // Plain text keeps the padding spaces.
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            font.pixelSize: 16
            color: Public.theme.textMainColor
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Text {
            objectName: "periodText"
            width: parent.width
            height: 24
            text: qsTranslate("Sidebar", "周期") + ":" + root.pulse.period
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            font.pixelSize: 16
            color: Public.theme.textMainColor
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }
}
