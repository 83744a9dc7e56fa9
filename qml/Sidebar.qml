import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtGraphicalEffects 1.15
import CppSingletonClass 1.0
import "sidebar_rules.js" as Rules

// The column at the left of the window: output power, the connection, the
// settings, and the advanced parameters of the device.
Item {
    id: root

    property var msgBox: null
    property var devInfo: null
    // The advanced fields the form shows; records arriving while the
    // operator edits must not move the controls, so it is a copy.
    property var devInfoShow: null
    property bool updateInfoFlag: true
    readonly property int nowPower: Rules.nowPower(devInfo)
    // The port the connection card opened; empty while not connected.
    readonly property string openPort: serialCard.openPort
    // The word (translated) that marks the power as not live; empty while
    // it is.
    property string liveText: ""

    // The alarm form is locked at every start.
    property bool unlocked: false

    // The port a lost connection was on, while waiting for it to come back;
    // empty when not watching.
    property string watchedPort: ""
    // The watch has reopened the port; it is confirmed (and reported) only
    // once it is still open at the next look, so a port that opens and drops
    // at once does not flood the message list.
    property bool reconnectPending: false

    // A line for the page's message list (connection events).
    signal messageLine(string text)

    QtObject {
        id: d

        // Values present while the document is created are the window's
        // stand-ins, not a device record: the capture stays armed for the
        // device's first record.
        property bool completed: false
        // A device record has arrived in this copy: from then on devInfo
        // says what the laser does.
        property bool recordSeen: false
        // Reopening the port a theme restart handed over: when the attempts
        // began (ms), 0 while not reopening.
        property double reopenSince: 0
    }

    onDevInfoChanged: {
        if (!d.completed || !devInfo)
            return
        d.recordSeen = true
        if (Rules.captureWanted(updateInfoFlag, devInfoShow)) {
            updateInfoFlag = false
            devInfoShow = Rules.captureAdvanced(devInfo)
        }
    }

    onDevInfoShowChanged: showAdvanced()

    Component.onCompleted: {
        showAdvanced()
        d.completed = true
    }

    function showMsg(text, type, cb) {
        if (root.msgBox)
            root.msgBox.showMsg(text, type, cb)
    }

    function field(name) {
        return root.devInfoShow ? root.devInfoShow[name] : undefined
    }

    // Puts the held values into every control of the advanced card. Each
    // value is the device's again until the operator moves its control.
    function showAdvanced() {
        redPowerLevel.value = Rules.sliderValue(field("redPowerLevel"), redPowerLevel.from, redPowerLevel.to)
        pdAlarmThes.value = Rules.sliderValue(field("pdAlarmThes"), pdAlarmThes.from, pdAlarmThes.to)
        pumpThes.value = Rules.sliderValue(field("pumpCurrentAlarmThes"), pumpThes.from, pumpThes.to)
        humiThes.value = Rules.sliderValue(field("humiHigh"), humiThes.from, humiThes.to)
        var inlet = Rules.windowValues(field("inletWaterTempLow"), field("inletWaterTempHigh"),
                                       inletWaterThes.from, inletWaterThes.to)
        inletWaterThes.setValues(inlet[0], inlet[1])
        var outlet = Rules.windowValues(field("outletWaterTempLow"), field("outletWaterTempHigh"),
                                        outletWaterThes.from, outletWaterThes.to)
        outletWaterThes.setValues(outlet[0], outlet[1])
        redPowerLevel.touched = pdAlarmThes.touched = pumpThes.touched = humiThes.touched = false
        inletWaterThes.firstTouched = inletWaterThes.secondTouched = false
        outletWaterThes.firstTouched = outletWaterThes.secondTouched = false
        showQcwDuty()
        showQcwFreq()
        qcwEnable.checked = !!field("qcwEnable")
    }

    function showQcwDuty() {
        qcwDuty.value = Rules.inputText(field("qcwDuty"), qcwDuty.min)
    }

    function showQcwFreq() {
        qcwFreq.value = Rules.inputText(field("qcwFreq"), qcwFreq.min)
    }

    function delayReloadInfo() {
        reloadTimer.restart()
    }

    // --- Connection ---------------------------------------------------------

    function refreshPorts() {
        var ports = Communication.getSerialList()
        portModel.clear()
        for (var i = 0; i < ports.length; ++i)
            portModel.append({ "fullName": ports[i].fullName, "port": ports[i].port })
        devComboBox.currentIndex = portModel.count > 0 ? 0 : -1
    }

    function portIndex(port) {
        for (var i = 0; i < portModel.count; ++i) {
            if (portModel.get(i).port === port)
                return i
        }
        return -1
    }

    function setConnected(port) {
        serialCard.openPort = port
        serialCard.connected = true
    }

    function setNotConnected() {
        serialCard.openPort = ""
        serialCard.connected = false
        refreshPorts()
    }

    // Also ends reopening a port handed over by a theme restart: the
    // operator's own choice wins.
    function stopWatch() {
        watchedPort = ""
        reconnectPending = false
        reopenTimer.stop()
        d.reopenSince = 0
    }

    // Decides by the link's real state, not by the button's text.
    function toggleConnection() {
        stopWatch()
        if (Communication.isOpen()) {
            Communication.close()
            setNotConnected()
        } else if (devComboBox.currentIndex >= 0) {
            var port = portModel.get(devComboBox.currentIndex).port
            if (Communication.open(port)) {
                setConnected(port)
            } else {
                // The system's reason, as it puts it, on a line of its own.
                var reason = Communication.lastOpenError()
                setNotConnected()
                showMsg(qsTr("连接失败") + "\n" + reason, "error")
            }
        } else {
            setNotConnected()
        }
    }

    function handlePortLost() {
        // A loss reported after another port was opened concerns an earlier
        // port that is already gone.
        if (Communication.isOpen())
            return
        var port = serialCard.openPort
        var silent = reconnectPending
        setNotConnected()
        if (port === "")
            return
        if (!silent)
            messageLine(qsTr("连接已断开: %1").arg(port))
        reconnectPending = false
        watchedPort = port
    }

    function watchTick() {
        if (Communication.isOpen()) {
            // Our reopened port has held; any other open port is someone
            // else's choice: either way nothing is left to watch.
            if (reconnectPending && serialCard.connected)
                messageLine(qsTr("已重新连接: %1").arg(watchedPort))
            stopWatch()
            return
        }
        reconnectPending = false
        if (!Communication.open(watchedPort))
            return
        refreshPorts()
        var index = portIndex(watchedPort)
        if (index >= 0)
            devComboBox.currentIndex = index
        reconnectPending = true
        setConnected(watchedPort)
    }

    // A theme restart starts a new copy of the program. The port that is
    // open goes along (the new copy reopens it), and while the laser emits
    // the operator is asked first.
    function switchTheme(name) {
        if (name === Public.theme.name || Public.themeRestartPending)
            return
        if (d.recordSeen && root.devInfo && root.devInfo.laserOutputting)
            showMsg(qsTr("正在出光,切换主题将重启程序,确定继续吗?"), "confirm", function () { root.restartWithTheme(name) })
        else
            restartWithTheme(name)
    }

    function restartWithTheme(name) {
        var port = Communication.isOpen() ? serialCard.openPort : ""
        var failure = Public.switchTheme(name, port)
        if (failure)
            showMsg(qsTr("无法重新启动程序") + "\n" + failure, "error")
    }

    // The earlier copy may still hold the port for a moment while it ends:
    // the open is tried again for a few seconds before it counts as failed.
    function reopenTick() {
        var port = Language.portToReopen()
        if (Communication.open(port)) {
            d.reopenSince = 0
            refreshPorts()
            var index = portIndex(port)
            if (index >= 0)
                devComboBox.currentIndex = index
            setConnected(port)
            messageLine(qsTr("已重新连接: %1").arg(port))
            return
        }
        if (d.reopenSince === 0)
            d.reopenSince = Date.now()
        if (Date.now() - d.reopenSince < reopenTimer.patienceMs) {
            reopenTimer.restart()
            return
        }
        d.reopenSince = 0
        var reason = Communication.lastOpenError()
        setNotConnected()
        showMsg(qsTr("连接失败") + "\n" + reason, "error")
    }

    Timer {
        id: reopenTimer

        readonly property int patienceMs: 5000

        interval: 200
        onTriggered: root.reopenTick()
    }

    Connections {
        target: Communication

        function onPortLost() {
            root.handlePortLost()
        }
    }

    Timer {
        id: watchTimer

        interval: 1000
        repeat: true
        running: root.watchedPort !== ""
        onTriggered: root.watchTick()
    }

    // --- Advanced parameters ------------------------------------------------

    function tryUnlock(text) {
        if (Rules.accessCodeAccepted(text))
            unlocked = true
        else
            showMsg(qsTr("密码错误"), "error")
    }

    function lock() {
        advPassword.text = ""
        lockTimer.restart()
    }

    function saveStep() {
        if (!Communication.isOpen()) {
            showMsg(qsTr("请连接设备"))
            return
        }
        // The QCW texts and the switch hold the device's values until edited.
        var a = Rules.advancedParamArgs({
            "qcwDuty": qcwDuty.value,
            "qcwFreq": qcwFreq.value,
            "qcwEnable": qcwEnable.checked,
            "redPowerLevel": Rules.valueToSend("redPowerLevel", devInfoShow, redPowerLevel.value,
                                               redPowerLevel.touched),
            "pdAlarmThes": Rules.valueToSend("pdAlarmThes", devInfoShow, pdAlarmThes.value, pdAlarmThes.touched),
            "humiThes": Rules.valueToSend("humiHigh", devInfoShow, humiThes.value, humiThes.touched),
            "pumpThes": Rules.valueToSend("pumpCurrentAlarmThes", devInfoShow, pumpThes.value, pumpThes.touched),
            "inTempLow": Rules.valueToSend("inletWaterTempLow", devInfoShow, inletWaterThes.first.value,
                                           inletWaterThes.firstTouched),
            "inTempHigh": Rules.valueToSend("inletWaterTempHigh", devInfoShow, inletWaterThes.second.value,
                                            inletWaterThes.secondTouched),
            "outTempLow": Rules.valueToSend("outletWaterTempLow", devInfoShow, outletWaterThes.first.value,
                                            outletWaterThes.firstTouched),
            "outTempHigh": Rules.valueToSend("outletWaterTempHigh", devInfoShow, outletWaterThes.second.value,
                                             outletWaterThes.secondTouched)
        })
        if (a === null)
            return
        Communication.setAdvancedParam(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10])
        delayReloadInfo()
    }

    function save() {
        // An input still being edited commits or corrects its text first.
        root.forceActiveFocus()
        if (!Communication.isOpen()) {
            showMsg(qsTr("请连接设备"))
            return
        }
        if (root.devInfo && root.devInfo.laserOutputting)
            showMsg(qsTr("您正在出光时修改参数,按确定继续") + "!", "confirm", function () { root.saveStep() })
        else
            saveStep()
    }

    function resetParams() {
        if (!Communication.isOpen()) {
            showMsg(qsTr("请连接设备"))
            return
        }
        showMsg(qsTr("确定要重置参数吗") + "?", "confirm", function () {
            if (!Communication.isOpen()) {
                root.showMsg(qsTr("请连接设备"))
                return
            }
            Communication.resetParam()
            resetReloadTimer.restart()
        })
    }

    // A record shortly after a command carries its effect: capture that one.
    Timer {
        id: reloadTimer

        interval: 600
        onTriggered: root.updateInfoFlag = true
    }

    Timer {
        id: resetReloadTimer

        interval: 400
        onTriggered: root.delayReloadInfo()
    }

    Timer {
        id: lockTimer

        interval: 50
        onTriggered: root.unlocked = false
    }

    // --- Power panel --------------------------------------------------------

    Rectangle {
        id: powerPanel

        x: 10
        y: 10
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
                text: qsTr("功率") + "\n(W)"
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
                color: "#FF9933"
                opacity: root.liveText === "" ? 1 : Public.theme.staleOpacity
                Accessible.name: qsTr("功率") + " " + text
                Accessible.description: root.liveText
            }
        }
    }

    // --- Connection card ----------------------------------------------------

    Card {
        id: serialCard

        objectName: "serialCard"

        property bool connected: false
        // The port this card opened; empty while not connected.
        property string openPort: ""

        x: 10
        y: 94
        width: 300
        height: 130
        title: qsTr("设备连接")
        titleIcon: "qrc:/res/icons/card_icon/devConnect.svg"

        ListModel {
            id: portModel

            ListElement {
                fullName: "SerialPort"
                port: "COM1"
            }
        }

        MyComboBox {
            id: devComboBox

            objectName: "devComboBox"
            x: 20
            y: 40
            width: parent.width - 40
            model: portModel
            textRole: "fullName"
            enabled: !serialCard.connected
            // Only the operator's choice of another port ends the watch; the
            // list's own refreshes do not.
            onActivated: {
                if (root.watchedPort !== "" && index >= 0 && portModel.get(index).port !== root.watchedPort)
                    root.stopWatch()
            }
        }

        TxtButton {
            id: refreshBtn

            objectName: "refreshBtn"
            x: 20
            y: 80
            width: parent.width * 0.4
            text: qsTr("刷新")
            enabled: !serialCard.connected
            onClicked: root.refreshPorts()
        }

        TxtButton {
            id: connectBtn

            objectName: "connectBtn"
            x: parent.width - width - 20
            y: 80
            width: parent.width * 0.4
            text: serialCard.connected ? qsTr("断开") : qsTr("连接")
            onClicked: root.toggleConnection()
        }

        Component.onCompleted: {
            root.refreshPorts()
            // Started by a theme restart while connected: that port again.
            if (Language.portToReopen() !== "")
                reopenTimer.start()
        }
    }

    // --- Settings card ------------------------------------------------------

    Card {
        id: configCard

        objectName: "configCard"
        x: 10
        y: serialCard.y + serialCard.height + 20
        width: 300
        height: 54 + configColumn.height
        title: qsTr("其它设置")
        titleIcon: "qrc:/res/icons/card_icon/other.svg"

        Column {
            id: configColumn

            y: 42
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 8

            Row {
                spacing: 20

                TxtButton {
                    objectName: "languageBtn"
                    width: configCard.width * 0.4
                    text: qsTr("中/En")
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
                    width: configCard.width * 0.4
                    text: qsTr("软件帮助")
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
                    width: configCard.width * 0.4
                    text: qsTr("亮色主题")
                    onClicked: root.switchTheme("light")
                }

                TxtButton {
                    objectName: "darkBtn"
                    width: configCard.width * 0.4
                    text: qsTr("暗色主题")
                    onClicked: root.switchTheme("dark")
                }
            }
        }
    }

    // --- Advanced card ------------------------------------------------------

    Card {
        id: advanceCard

        objectName: "advanceCard"
        x: 10
        y: configCard.y + configCard.height + 20
        width: 300
        height: Math.max(0, root.height - y - 10)
        title: qsTr("高级设置")
        titleIcon: "qrc:/res/icons/card_icon/advanced.svg"
        headerInset: 116 // lock, reload, save

        IconButton {
            objectName: "lockBtn"
            width: 28
            height: 28
            y: 6
            anchors.right: parent.right
            anchors.rightMargin: 88
            btnIcon: "qrc:/res/icons/suoding.svg"
            tipText: qsTr("锁定")
            onClicked: root.lock()
        }

        IconButton {
            id: reloadBtn

            objectName: "reloadBtn"
            width: 28
            height: 28
            y: 6
            anchors.right: parent.right
            anchors.rightMargin: 52
            btnIcon: "qrc:/res/icons/shuaxin.svg"
            tipText: qsTr("刷新")
            onClicked: {
                root.updateInfoFlag = true
                reloadBtn.rotate360()
            }
        }

        IconButton {
            objectName: "saveBtn"
            width: 28
            height: 28
            y: 6
            anchors.right: parent.right
            anchors.rightMargin: 16
            onClicked: root.save()
        }

        TabBar {
            id: tabBar

            objectName: "tabBar"
            y: 48
            width: parent.width - 32
            anchors.horizontalCenter: parent.horizontalCenter
            contentHeight: 32
            background: Item {}

            MyTabButton {
                text: qsTr("报警参数")
                font.pixelSize: 16
            }

            MyTabButton {
                text: qsTr("QCW参数")
                font.pixelSize: 16
            }
        }

        StackLayout {
            id: pages

            y: tabBar.y + tabBar.height + 12
            width: parent.width
            height: Math.max(0, parent.height - 96)
            currentIndex: tabBar.currentIndex

            // --- Page 0: alarm parameters ---

            Item {
                id: alarmPage

                onVisibleChanged: if (visible) alarmPop.restart()

                NumberAnimation {
                    id: alarmPop

                    target: alarmPage
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
                            visible: root.unlocked

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
                                        text: qsTr("重置参数")
                                        onClicked: root.resetParams()
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
                                    title: qsTr("红光强度")
                                    unit: "mA"
                                    deviceValue: Rules.unshownSliderValue(root.field("redPowerLevel"), from, to)
                                }

                                MySlider {
                                    id: pdAlarmThes

                                    objectName: "pdAlarmThes"
                                    width: parent.width
                                    from: 0
                                    to: 100
                                    stepSize: 1
                                    snapMode: Slider.SnapOnRelease
                                    title: qsTr("光电报警阈值")
                                    deviceValue: Rules.unshownSliderValue(root.field("pdAlarmThes"), from, to)
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
                                    title: qsTr("驱动电流报警阈值")
                                    unit: "A"
                                    tipFormat: "${v*0.1f1}${u}"
                                    rangeFormat: "${v*0.1f0}${u}"
                                    deviceValue: Rules.unshownSliderValue(root.field("pumpCurrentAlarmThes"), from, to)
                                }

                                MySlider {
                                    id: humiThes

                                    objectName: "humiThes"
                                    width: parent.width
                                    from: 0
                                    to: 100
                                    stepSize: 1
                                    snapMode: Slider.SnapOnRelease
                                    title: qsTr("环境湿度报警阈值") + "(%Rh)"
                                    deviceValue: Rules.unshownSliderValue(root.field("humiHigh"), from, to)
                                }

                                MyRangeSlider {
                                    id: inletWaterThes

                                    objectName: "inletWaterThes"
                                    width: parent.width
                                    from: 10
                                    to: 50
                                    stepSize: 1
                                    snapMode: RangeSlider.SnapOnRelease
                                    title: qsTr("入水温报警值")
                                    unit: "℃"
                                    firstDeviceValue: Rules.unshownWindowValue(root.field("inletWaterTempLow"),
                                                                               root.field("inletWaterTempHigh"),
                                                                               from, to, false)
                                    secondDeviceValue: Rules.unshownWindowValue(root.field("inletWaterTempLow"),
                                                                                root.field("inletWaterTempHigh"),
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
                                    title: qsTr("出水温报警值")
                                    unit: "℃"
                                    firstDeviceValue: Rules.unshownWindowValue(root.field("outletWaterTempLow"),
                                                                               root.field("outletWaterTempHigh"),
                                                                               from, to, false)
                                    secondDeviceValue: Rules.unshownWindowValue(root.field("outletWaterTempLow"),
                                                                                root.field("outletWaterTempHigh"),
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
                    visible: !root.unlocked

                    Rectangle {
                        id: blurMask

                        anchors.fill: formBlur
                        visible: false
                        color: "white"
                    }

                    MaskedBlur {
                        id: formBlur

                        x: paramRect.x - alarmView.contentItem.contentX
                        y: paramRect.y - alarmView.contentItem.contentY
                        width: paramRect.width
                        height: paramRect.height
                        source: paramRect
                        maskSource: blurMask
                        radius: 12
                        samples: 16
                        // Blurred again only when the form changes, not for
                        // every frame of the window (as the other effects).
                        cached: GraphicsInfo.api !== GraphicsInfo.Software
                    }

                    Text {
                        y: 100
                        width: 180
                        height: 26
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: qsTr("输入密码解锁")
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
                        Accessible.name: qsTr("输入密码解锁")
                        onAccepted: root.tryUnlock(value)
                    }

                    TxtButton {
                        objectName: "unlockBtn"
                        y: 190
                        width: 100
                        height: 32
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: qsTr("确定")
                        onClicked: root.tryUnlock(advPassword.text)
                    }
                }
            }

            // --- Page 1: QCW parameters ---

            Item {
                id: qcwPage

                onVisibleChanged: if (visible) qcwPop.restart()

                readonly property var pulse: Rules.calculatePulsePeriod(qcwDuty.value, qcwFreq.value)

                NumberAnimation {
                    id: qcwPop

                    target: qcwPage
                    property: "scale"
                    from: 0.5
                    to: 1.0
                    duration: 300
                    easing.type: Easing.OutQuad
                }

                Column {
                    y: 8
                    width: advanceCard.width - 32
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
                        title: qsTr("QCW占空比") + "(%):"
                        errorTip: qsTr("错误:参数范围") + "0~100"
                        enabled: Public.devQcwEnable
                        onCorrectIllegalValue: root.showQcwDuty()
                    }

                    NumParamInput {
                        id: qcwFreq

                        objectName: "qcwFreq"
                        width: parent.width
                        dir: "row"
                        type: "int"
                        min: 1
                        max: 60000
                        title: qsTr("QCW频率") + "(Hz):"
                        errorTip: qsTr("错误:参数范围") + "1~60000"
                        enabled: Public.devQcwEnable
                        onCorrectIllegalValue: root.showQcwFreq()
                    }

                    Item {
                        width: parent.width
                        height: 32

                        Text {
                            width: parent.width / 2 - 8
                            height: parent.height
                            text: qsTr("QCW使能状态") + ":"
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
                            Accessible.name: qsTr("QCW使能状态")
                        }
                    }

                    Text {
                        objectName: "pulseWidthText"
                        width: parent.width
                        height: 24
                        text: qsTr("脉宽") + ":" + qcwPage.pulse.pulseWidth
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
                        text: qsTr("周期") + ":" + qcwPage.pulse.period
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
        }
    }
}
