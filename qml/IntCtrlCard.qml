import QtQuick 2.15
import "content_rules.js" as Rules

// The internal-control card: the four values of an internal emission, ON and
// OFF, the choice of internal or external control and continuous emission.
// While armed, the next record with a non-zero peak power is copied into the
// inputs, so that they show what the device took. The page sends the
// commands; its texts belong to the page's translation context.
Card {
    id: root

    // The next record with a non-zero peak power is copied into the inputs.
    property bool updateInfoFlag: true
    property var intCtrlParam: ({
            "intDac": 20,
            "intPwmDuty": 20,
            "intPwmFreq": 1000,
            "intLaserOnMs": 1000
        })
    property bool continuousMode: false
    // The device's control mode: 0 external, 1 internal; undefined without a record.
    property var deviceMode: undefined
    // The icon of a button whose mode is on; the same in both themes.
    readonly property color onIconColor: Public.theme.accentColor

    // The inputs in the grid's order, two to a row: the record key each
    // shows, its range, and its title (translated where shown). Continuous
    // emission ignores the on-time.
    readonly property var inputRules: [
        { "name": "intFreq", "key": "intPwmFreq", "min": 1, "max": 10000,
          "title": QT_TRANSLATE_NOOP("Content", "频率"), "unit": "(Hz):", "timed": false },
        { "name": "intDuty", "key": "intPwmDuty", "min": 0, "max": 100,
          "title": QT_TRANSLATE_NOOP("Content", "占空比"), "unit": "(%):", "timed": false },
        { "name": "intDac", "key": "intDac", "min": 0, "max": 100,
          "title": QT_TRANSLATE_NOOP("Content", "峰值功率"), "unit": "(%):", "timed": false },
        { "name": "intLaserOnMs", "key": "intLaserOnMs", "min": 1, "max": 60000,
          "title": QT_TRANSLATE_NOOP("Content", "出光时间"), "unit": "(mS):", "timed": true }
    ]

    signal ctrlModeRequested(bool internal)
    signal laserOnRequested
    signal laserOffRequested

    function capture(r) {
        if (Rules.captureDue(root.updateInfoFlag, r)) {
            root.intCtrlParam = Rules.capturedParams(r, root.intCtrlParam)
            root.updateInfoFlag = false
        }
    }

    // Re-arms the capture once the device has had time to apply a command.
    function rearmSoon() {
        reloadTimer.restart()
    }

    // The inputs' texts, by record key.
    function inputTexts() {
        var out = {}
        for (var i = 0; i < inputs.count; ++i)
            out[root.inputRules[i].key] = inputs.itemAt(i).value
        return out
    }

    title: qsTranslate("Content", "激光内控")
    titleIcon: "qrc:/res/icons/card_icon/intControl.svg"
    headerInset: 150 // four buttons
    bgColor: Public.theme.intCtrlCardColor
    titleColor: Public.theme.intCtrlCardTextColor

    Timer {
        id: reloadTimer

        interval: 600
        repeat: false
        onTriggered: root.updateInfoFlag = true
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 14
        y: 6
        spacing: 8
        layoutDirection: Qt.RightToLeft

        IconButton {
            objectName: "intRefreshBtn"
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/shuaxin.svg"
            tipText: qsTranslate("Content", "刷新")
            onClicked: {
                root.updateInfoFlag = true
                rotate360()
            }
        }

        IconButton {
            objectName: "continueBtn"
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/chixu.svg"
            tipText: qsTranslate("Content", "持续出光模式")
            iconColor: root.continuousMode ? root.onIconColor : Public.theme.btnIconColor
            Accessible.checkable: true
            Accessible.checked: root.continuousMode
            onClicked: root.continuousMode = !root.continuousMode
        }

        IconButton {
            objectName: "externalBtn"
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/daochu.svg"
            tipText: qsTranslate("Content", "外控")
            iconColor: root.deviceMode === 0 ? root.onIconColor : Public.theme.btnIconColor
            onClicked: root.ctrlModeRequested(false)
        }

        IconButton {
            objectName: "internalBtn"
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/daoru.svg"
            tipText: qsTranslate("Content", "内控")
            iconColor: root.deviceMode === 1 ? root.onIconColor : Public.theme.btnIconColor
            onClicked: root.ctrlModeRequested(true)
        }
    }

    Grid {
        x: 10
        y: 36
        columns: 2
        columnSpacing: 10

        Repeater {
            id: inputs

            model: root.inputRules.length

            NumParamInput {
                id: input

                readonly property var rule: root.inputRules[index]

                // The device's value, or the minimum for none.
                function deviceText() {
                    return Rules.inputText(root.intCtrlParam[rule.key], min)
                }

                objectName: rule.name
                width: 140
                dir: "col"
                type: "int"
                min: rule.min
                max: rule.max
                enabled: !(rule.timed && root.continuousMode)
                title: qsTranslate("Content", rule.title) + rule.unit
                errorTip: qsTranslate("Content", "错误:参数范围") + " " + rule.min + "~" + rule.max
                titleColor: Public.theme.intCtrlCardTextColor
                value: deviceText()
                // An input left with an illegal value shows the device's value again.
                onCorrectIllegalValue: input.value = Qt.binding(function () { return input.deviceText() })
            }
        }
    }

    TxtButton {
        objectName: "onBtn"
        x: 314
        y: 56
        width: 74
        text: qsTranslate("Content", "出光")
        onClicked: root.laserOnRequested()
    }

    TxtButton {
        objectName: "offBtn"
        x: 314
        y: 124
        width: 74
        text: qsTranslate("Content", "关光")
        onClicked: root.laserOffRequested()
    }
}
