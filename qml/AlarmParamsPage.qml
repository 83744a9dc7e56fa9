import QtQuick 2.15
import QtQuick.Controls 2.15
import OrrindelImages 1.0
import "sidebar_rules.js" as Rules

// The alarm parameters of the advanced card: the reset button and the six
// threshold controls, and over them, while the form is locked, the blurred
// form under the access-code prompt.
// Its texts keep the sidebar's translation context: the catalogues and
// everything that reads them know them there.
Item {
    id: root

    // The advanced card: the device's values, the lock and the actions.
    property var form: null
    property alias redPowerLevel: redPowerLevel
    property alias pdAlarmThes: pdAlarmThes
    property alias pumpThes: pumpThes
    property alias humiThes: humiThes
    property alias inletWaterThes: inletWaterThes
    property alias outletWaterThes: outletWaterThes
    property alias advPassword: advPassword

    onVisibleChanged: if (visible) alarmPop.restart()

    NumberAnimation {
        id: alarmPop

        target: root
        property: "scale"
        from: 0.5
        to: 1.0
        duration: 300
        easing.type: Easing.OutQuad
    }

    ScrollView {
        id: alarmView

        objectName: "alarmView"
        anchors.fill: parent
        clip: true
        contentWidth: width
        contentHeight: paramRect.height + 40
        ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
        ScrollBar.vertical.policy: contentHeight > height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff

        Item {
            width: alarmView.width
            height: alarmView.contentHeight

            Item {
                id: paramRect

                objectName: "paramRect"
                y: 20
                width: alarmView.width - 60
                height: 480
                anchors.horizontalCenter: parent.horizontalCenter
                visible: form.unlocked

                // The card's own colour, so that a snapshot of the form has
                // the same ground in every scene graph (the software one
                // grabs without transparency).
                Rectangle {
                    anchors.fill: parent
                    color: Public.theme.cardBgColor
                }

                // Wheel turns beside the sliders would scroll the
                // view under the pointer; they are swallowed.
                MouseArea {
                    objectName: "wheelGuard"
                    anchors.fill: parent
                    acceptedButtons: Qt.NoButton
                    onWheel: wheel.accepted = true
                }

                Column {
                    width: parent.width
                    spacing: 18

                    Item {
                        width: parent.width
                        height: 40

                        TxtButton {
                            objectName: "resetParamBtn"
                            width: 220
                            height: 32
                            anchors.centerIn: parent
                            text: qsTranslate("Sidebar", "重置参数")
                            onClicked: form.resetParams()
                        }
                    }

                    MySlider {
                        id: redPowerLevel

                        objectName: "redPowerLevel"
                        width: parent.width
                        from: 0
                        to: 100
                        stepSize: 1
                        snapMode: Slider.SnapOnRelease
                        title: qsTranslate("Sidebar", "红光强度")
                        unit: "mA"
                        deviceValue: Rules.unshownSliderValue(form.field("redPowerLevel"), from, to)
                    }

                    MySlider {
                        id: pdAlarmThes

                        objectName: "pdAlarmThes"
                        width: parent.width
                        from: 0
                        to: 100
                        stepSize: 1
                        snapMode: Slider.SnapOnRelease
                        title: qsTranslate("Sidebar", "光电报警阈值")
                        deviceValue: Rules.unshownSliderValue(form.field("pdAlarmThes"), from, to)
                    }

                    // Tenths of an ampere, shown in amperes.
                    MySlider {
                        id: pumpThes

                        objectName: "pumpThes"
                        width: parent.width
                        from: 0
                        to: 100
                        stepSize: 1
                        snapMode: Slider.SnapOnRelease
                        title: qsTranslate("Sidebar", "驱动电流报警阈值")
                        unit: "A"
                        tipFormat: "${v*0.1f1}${u}"
                        rangeFormat: "${v*0.1f0}${u}"
                        deviceValue: Rules.unshownSliderValue(form.field("pumpCurrentAlarmThes"), from, to)
                    }

                    MySlider {
                        id: humiThes

                        objectName: "humiThes"
                        width: parent.width
                        from: 0
                        to: 100
                        stepSize: 1
                        snapMode: Slider.SnapOnRelease
                        title: qsTranslate("Sidebar", "环境湿度报警阈值") + "(%Rh)"
                        deviceValue: Rules.unshownSliderValue(form.field("humiHigh"), from, to)
                    }

                    MyRangeSlider {
                        id: inletWaterThes

                        objectName: "inletWaterThes"
                        width: parent.width
                        from: 10
                        to: 50
                        stepSize: 1
                        snapMode: RangeSlider.SnapOnRelease
                        title: qsTranslate("Sidebar", "入水温报警值")
                        unit: "℃"
                        firstDeviceValue: Rules.unshownWindowValue(form.field("inletWaterTempLow"),
                                                                   form.field("inletWaterTempHigh"),
                                                                   from, to, false)
                        secondDeviceValue: Rules.unshownWindowValue(form.field("inletWaterTempLow"),
                                                                    form.field("inletWaterTempHigh"),
                                                                    from, to, true)
                    }

                    MyRangeSlider {
                        id: outletWaterThes

                        objectName: "outletWaterThes"
                        width: parent.width
                        from: 10
                        to: 50
                        stepSize: 1
                        snapMode: RangeSlider.SnapOnRelease
                        title: qsTranslate("Sidebar", "出水温报警值")
                        unit: "℃"
                        firstDeviceValue: Rules.unshownWindowValue(form.field("outletWaterTempLow"),
                                                                   form.field("outletWaterTempHigh"),
                                                                   from, to, false)
                        secondDeviceValue: Rules.unshownWindowValue(form.field("outletWaterTempLow"),
                                                                    form.field("outletWaterTempHigh"),
                                                                    from, to, true)
                    }
                }
            }
        }
    }

    // While locked: the form blurred where it lies in the view,
    // under the code prompt.
    Item {
        id: lockOverlay

        objectName: "lockOverlay"
        anchors.fill: parent
        clip: true
        visible: !form.unlocked

        // A blurred snapshot of the form, taken again only when the form
        // changes (its values, its size, the language), not for every frame.
        Image {
            id: formBlur

            objectName: "formBlur"
            x: paramRect.x - alarmView.contentItem.contentX
            y: paramRect.y - alarmView.contentItem.contentY
            width: paramRect.width
            height: paramRect.height
            cache: false
            source: snapshot.url
        }

        BlurredSnapshot {
            id: snapshot

            source: paramRect
            radius: 12
            samples: 16
        }

        // Taken soon after a change, and once more when the controls'
        // own movements (their handles glide) have ended.
        Timer {
            id: snapshotDue

            property int takesLeft: 0

            function request() {
                takesLeft = 2
                interval = 50
                restart()
            }

            onTriggered: {
                if (--takesLeft > 0) {
                    interval = 500
                    restart()
                }
                if (lockOverlay.visible)
                    snapshot.take()
            }
        }

        onVisibleChanged: snapshotDue.request()

        Connections {
            target: root.form

            function onDevInfoShowChanged() {
                snapshotDue.request()
            }
        }

        Connections {
            target: paramRect

            function onWidthChanged() {
                snapshotDue.request()
            }

            function onHeightChanged() {
                snapshotDue.request()
            }
        }

        Connections {
            target: Public

            function onLanguageChanged() {
                snapshotDue.request()
            }
        }

        Component.onCompleted: snapshotDue.request()

        Text {
            y: 100
            width: 180
            height: 26
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTranslate("Sidebar", "输入密码解锁")
            textFormat: Text.PlainText
            font.pixelSize: 24
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 12
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            color: Public.theme.textMainColor
            Accessible.ignored: true
        }

        MyInput {
            id: advPassword

            objectName: "advPassword"
            y: 140
            width: 180
            height: 32
            anchors.horizontalCenter: parent.horizontalCenter
            echoMode: TextInput.Password
            maximumLength: 10
            Accessible.name: qsTranslate("Sidebar", "输入密码解锁")
            onAccepted: form.tryUnlock(value)
        }

        TxtButton {
            objectName: "unlockBtn"
            y: 190
            width: 100
            height: 32
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTranslate("Sidebar", "确定")
            onClicked: form.tryUnlock(advPassword.text)
        }
    }
}
