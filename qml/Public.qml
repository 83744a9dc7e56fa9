pragma Singleton
import QtQuick 2.15
import QtCharts 2.15
import CppSingletonClass 1.0

// Shared user-interface state: the online flags, the two theme tables every
// colour comes from, the alarm word and device message texts, and small
// formatting and timing helpers.
Item {
    id: root

    // Bits of the status word alarmState. Bit 15 marks an alarm at which the
    // laser must stop; the effective bit of a code is the code without it.
    enum AlarmMask {
        ALARM_OK = 0,
        ALARM_HUMI_OVERHIGH = 1,
        ALARM_BLE_ERROR = 2,
        ALARM_NEEW_STOP = 32768,
        ALARM_QBH_LINK = 32784,
        ALARM_WATER_LINK = 32800,
        ALARM_IN_WATER_H = 33024,
        ALARM_IN_WATER_L = 33280,
        ALARM_OUT_WATER_H = 33792,
        ALARM_OUT_WATER_L = 34816,
        ALARM_PD_ERROR = 36864,
        ALARM_DRV_CURRENT_ERROR = 40960,
        ALARM_EMERGENCY_STOP = 49152,
        ALARM_IMPORTANT_MASK = 32752
    }

    property bool devOnline: false
    property bool devQcwEnable: false
    property bool windowVisible: true
    property int colorSwitchDuration: 400
    property var theme: darkTheme
    property string language: ""

    // Set by the first real theme switch: the restart it starts must be the
    // only one, so later switches are ignored.
    property bool themeRestartPending: false

    // Texts in table order; the order is the order of getAlarmMsg's output.
    readonly property var alarmTextTable: [
        { "code": Public.ALARM_HUMI_OVERHIGH, "text": QT_TR_NOOP("湿度过高") },
        { "code": Public.ALARM_BLE_ERROR, "text": QT_TR_NOOP("蓝牙未就绪") },
        { "code": Public.ALARM_QBH_LINK, "text": QT_TR_NOOP("QBH断开") },
        { "code": Public.ALARM_WATER_LINK, "text": QT_TR_NOOP("水冷断开") },
        { "code": Public.ALARM_IN_WATER_H, "text": QT_TR_NOOP("进水温度高") },
        { "code": Public.ALARM_IN_WATER_L, "text": QT_TR_NOOP("进水温度低") },
        { "code": Public.ALARM_OUT_WATER_H, "text": QT_TR_NOOP("出水温度高") },
        { "code": Public.ALARM_OUT_WATER_L, "text": QT_TR_NOOP("出水温度低") },
        { "code": Public.ALARM_PD_ERROR, "text": QT_TR_NOOP("PD错误") },
        { "code": Public.ALARM_DRV_CURRENT_ERROR, "text": QT_TR_NOOP("电流错误") },
        { "code": Public.ALARM_EMERGENCY_STOP, "text": QT_TR_NOOP("急停") }
    ]

    // Device message keywords and their replacements; the first match wins.
    readonly property var msgKeywordTable: [
        { "keyword": "Set advanced param success", "text": QT_TR_NOOP("高级参数设置成功") },
        { "keyword": "Calibrate ok", "text": QT_TR_NOOP("校准完成") },
        { "keyword": "Calibrate failed", "text": QT_TR_NOOP("校准失败") },
        { "keyword": "Set qcw on", "text": QT_TR_NOOP("QCW模式启用") },
        { "keyword": "Set qcw off", "text": QT_TR_NOOP("QCW模式禁用") },
        { "keyword": "PD ERROR LOCK", "text": QT_TR_NOOP("光电报警锁定") },
        { "keyword": "Reset param ok", "text": QT_TR_NOOP("重置参数完成") }
    ]

    // "----" for a missing value, else one of the two texts by truthiness.
    function infoFormat(val, trueText, falseText) {
        if (val === undefined || val === null)
            return "----"
        return val ? trueText : falseText
    }

    // defaultVal for a missing value; with numFix >= 0 fixed-point text (a
    // list element by element); otherwise the value unchanged.
    function numFormat(val, defaultVal, numFix) {
        if (numFix === undefined)
            numFix = -1
        if (val === undefined || val === null)
            return defaultVal
        if (numFix < 0)
            return val
        if (Array.isArray(val))
            return val.map(function (v) { return numFormat(v, defaultVal, numFix) })
        return Number(val).toFixed(numFix)
    }

    function getAlarmMsg(alarm) {
        if (alarm === 0)
            return qsTr("报警解除")
        var texts = []
        for (var i = 0; i < alarmTextTable.length; ++i) {
            if ((alarm & alarmTextTable[i].code & 0x7FFF) !== 0)
                texts.push(qsTr(alarmTextTable[i].text))
        }
        return texts.length === 0 ? qsTr("未知错误") : texts.join(", ")
    }

    // Translates the known words of a device message; the version reply also
    // tells whether the device has QCW mode.
    function msgKeywordToText(msg) {
        msg = String(msg)
        for (var i = 0; i < msgKeywordTable.length; ++i) {
            var row = msgKeywordTable[i]
            if (msg.indexOf(row.keyword) !== -1)
                return msg.replace(row.keyword, qsTr(row.text))
        }
        if (msg.indexOf("DevVer") !== -1) {
            devQcwEnable = msg.indexOf("QCW") !== -1
            return msg.replace("DevVer", qsTr("设备版本"))
        }
        if (msg.indexOf("PwrOn") !== -1) {
            return msg.replace("PwrOn", qsTr("开机总时长"))
                      .replace("LasOn", qsTr("出光总时长"))
                      .split("mins").join(qsTr("分钟"))
        }
        return msg
    }

    // A real change restarts the program with the new theme. A second switch
    // while that restart is under way would start a second copy: ignored.
    // The new copy reopens reopenPort when it is given. Answers the reason
    // when the new copy could not be started: this copy then keeps running
    // with its theme back as it was.
    function switchTheme(name, reopenPort) {
        if (themeRestartPending || name === theme.name)
            return ""
        var previous = theme
        themeRestartPending = true
        theme = name === "dark" ? darkTheme : lightTheme
        var failure = Language.setTheme(theme.name, reopenPort || "")
        if (failure) {
            theme = previous
            themeRestartPending = false
        }
        return failure
    }

    function setTimeout(func, ms) {
        var timer = timerComponent.createObject(root, { "interval": ms, "repeat": false })
        timer.triggered.connect(function () {
            func()
            timer.destroy()
        })
        timer.start()
    }

    function setInterval(func, ms) {
        var timer = timerComponent.createObject(root, { "interval": ms, "repeat": true })
        timer.triggered.connect(func)
        timer.start()
    }

    Component {
        id: timerComponent
        Timer {}
    }

    Item {
        id: lightTheme

        visible: false

        readonly property string name: "light"
        readonly property color bgColor: "#F8f9ff"
        readonly property color cardBgColor: "#E9EBF4"
        readonly property color cardTitleColor: "#283155"
        readonly property color btnIconColor: "#283155"
        readonly property color btnPressColor: "#E5E5EA"
        readonly property color btnEnterColor: "#F0F0F5"
        readonly property color btnReleaseColor: "#dfe2ec"
        readonly property color btnShadowLight: "#ffffff"
        readonly property color btnShadowDark: "#6274ad"
        readonly property color textMainColor: "#283155"
        readonly property color shadowTextBgColor: "#ffffff"
        readonly property int shadowTextBorderWidth: 0
        readonly property color shadowTextBorderColor: "#9497A9"
        readonly property int shadowTextBorderRadius: 6
        readonly property bool shadowTextShadowEnable: true
        readonly property color shadowTextShadowLight: "#FFFFFF"
        readonly property color shadowTextShadowDark: "#6274ad"
        readonly property color paramNormalColor: "#283155"
        readonly property color paramGoodColor: "#283155"
        readonly property int chartTheme: ChartView.ChartThemeLight
        readonly property color barTipTextColor: "black"
        readonly property color barTipBgColor: "#3f6274ad"
        readonly property Gradient barBgGradient: Gradient {
            GradientStop { position: 0.0; color: "#C9D0E6" }
            GradientStop { position: 1.0; color: "#C9D0E6" }
        }
        readonly property color barFrColor: "#DF505080"
        readonly property Gradient barBtnGradient: Gradient {
            GradientStop { position: 0.0; color: "#FFFFFF" }
            GradientStop { position: 1.0; color: "#C9D0E6" }
        }
        readonly property color barBtnBorderColor: "#A3AECE"
        readonly property color tabBtnCheckedBgColor: "#505080"
        readonly property color tabBtnCheckedTextColor: "#ffffff"
        readonly property color tabBtnUncheckedBgColor: "#C9D0E6"
        readonly property color tabBtnUncheckedTextColor: "#283155"
        readonly property color intCtrlCardColor: "#E9EBF4"
        readonly property color intCtrlCardTextColor: "#283155"
        // What needs the operator's eye: a device value a control cannot show,
        // the word that marks values as not live.
        readonly property color warningColor: "#C25E00"
        // Values that are not live (no record yet, or the device fell silent).
        readonly property real staleOpacity: 0.4
        // Roles that look the same in both themes.
        readonly property color accentColor: "#0CAEC7"
        readonly property color disabledTextColor: "gray"
        readonly property color powerValueColor: "#FF9933"
        readonly property color lampOnColor: "#00c957"
        readonly property color lampOffColor: "#30000000"
        readonly property color lampMarkColor: "white"
        readonly property color ledOnColor: "#c084ab"
        readonly property color ledOffColor: "#6495ED"
        readonly property color veilColor: "#80000000"
        readonly property color cardShadowLight: "#EAFFFFFF"
        readonly property color cardShadowDark: "#7FAAAACC"
        readonly property color chartAxisLabelColor: "gray"
        readonly property color chartCursorColor: "#272727"
        readonly property color chartTipTextColor: "#283155"
        readonly property color chartTipBorderColor: "#384165"
        readonly property color inputBgColor: "#FFFFFF"
        readonly property color inputBorderColor: "#6274ad"
        readonly property color inputTextColor: "black"
        readonly property color inputDisabledColor: "#cdd0cd"
        readonly property color inputErrorColor: "#ff5500"
        readonly property color comboTextColor: "#58588B"
        readonly property color comboHoverColor: "#dddedf"
        readonly property color comboListColor: "white"
        readonly property color pointerColor: "#4cbeff"
        // Frames drawn without a fill.
        readonly property color noFillColor: "transparent"
        readonly property color alarmColor: "red"
        // A water temperature below its window, and the humidity warning.
        readonly property color coldAlarmColor: "#1dddff"
        // The status card's laser item while the laser emits.
        readonly property color emittingColor: "orange"
    }

    Item {
        id: darkTheme

        visible: false

        readonly property string name: "dark"
        readonly property color bgColor: "#1e1e1e"
        readonly property color cardBgColor: "#494949"
        readonly property color cardTitleColor: "#F8F8F8"
        readonly property color btnIconColor: "#F8F8F8"
        readonly property color btnPressColor: "#585858"
        readonly property color btnEnterColor: "#464646"
        readonly property color btnReleaseColor: "#3d3d3d"
        readonly property color btnShadowLight: "#ddd"
        readonly property color btnShadowDark: "#111111"
        readonly property color textMainColor: "#F8F8F8"
        readonly property color shadowTextBgColor: "#1e1e1e"
        readonly property int shadowTextBorderWidth: 0
        readonly property color shadowTextBorderColor: "#9497A9"
        readonly property int shadowTextBorderRadius: 6
        readonly property bool shadowTextShadowEnable: true
        readonly property color shadowTextShadowLight: "#ffffff"
        readonly property color shadowTextShadowDark: "#ffffff"
        readonly property color paramNormalColor: "#ffffff"
        readonly property color paramGoodColor: "#00ff00"
        readonly property int chartTheme: ChartView.ChartThemeBrownSand
        readonly property color barTipTextColor: "white"
        readonly property color barTipBgColor: "#1E1E1E"
        readonly property Gradient barBgGradient: Gradient {
            GradientStop { position: 0.0; color: "#141414" }
            GradientStop { position: 0.7; color: "#343434" }
            GradientStop { position: 1.0; color: "#646464" }
        }
        readonly property color barFrColor: "#0D99AE"
        readonly property Gradient barBtnGradient: Gradient {
            GradientStop { position: 0.0; color: "#8F8F8F" }
            GradientStop { position: 0.3; color: "#5F5F5F" }
            GradientStop { position: 1.0; color: "#343434" }
        }
        readonly property color barBtnBorderColor: "#1D1D1D"
        readonly property color tabBtnCheckedBgColor: "#F8F8F8"
        readonly property color tabBtnCheckedTextColor: "#1e1e1e"
        readonly property color tabBtnUncheckedBgColor: "#1e1e1e"
        readonly property color tabBtnUncheckedTextColor: "#ffffff"
        readonly property color intCtrlCardColor: "#494949"
        readonly property color intCtrlCardTextColor: "#F8F8F8"
        // What needs the operator's eye: a device value a control cannot show,
        // the word that marks values as not live.
        readonly property color warningColor: "#FFB347"
        // Values that are not live (no record yet, or the device fell silent).
        readonly property real staleOpacity: 0.4
        // Roles that look the same in both themes.
        readonly property color accentColor: "#0CAEC7"
        readonly property color disabledTextColor: "gray"
        readonly property color powerValueColor: "#FF9933"
        readonly property color lampOnColor: "#00c957"
        readonly property color lampOffColor: "#30000000"
        readonly property color lampMarkColor: "white"
        readonly property color ledOnColor: "#c084ab"
        readonly property color ledOffColor: "#6495ED"
        readonly property color veilColor: "#80000000"
        readonly property color cardShadowLight: "#EAFFFFFF"
        readonly property color cardShadowDark: "#7FAAAACC"
        readonly property color chartAxisLabelColor: "gray"
        readonly property color chartCursorColor: "#272727"
        readonly property color chartTipTextColor: "#283155"
        readonly property color chartTipBorderColor: "#384165"
        readonly property color inputBgColor: "#FFFFFF"
        readonly property color inputBorderColor: "#6274ad"
        readonly property color inputTextColor: "black"
        readonly property color inputDisabledColor: "#cdd0cd"
        readonly property color inputErrorColor: "#ff5500"
        readonly property color comboTextColor: "#58588B"
        readonly property color comboHoverColor: "#dddedf"
        readonly property color comboListColor: "white"
        readonly property color pointerColor: "#4cbeff"
        // Frames drawn without a fill.
        readonly property color noFillColor: "transparent"
        readonly property color alarmColor: "red"
        // A water temperature below its window, and the humidity warning.
        readonly property color coldAlarmColor: "#1dddff"
        // The status card's laser item while the laser emits.
        readonly property color emittingColor: "orange"
    }

    Component.onCompleted: {
        language = Language.getNowLanguage()
        theme = Language.getTheme() === "dark" ? darkTheme : lightTheme
    }
}
