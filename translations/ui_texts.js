// Visible texts of the user-interface documents that are not written yet,
// in the translation context of the document that will show them. lupdate
// reads this file with the documents, so the catalogues keep these entries
// (and compile them) until the documents carry the texts themselves; then
// the document's block here can go.
// Not loaded by the program.

var publicTexts = [
    QT_TRANSLATE_NOOP("Public", "湿度过高"),
    QT_TRANSLATE_NOOP("Public", "蓝牙未就绪"),
    QT_TRANSLATE_NOOP("Public", "QBH断开"),
    QT_TRANSLATE_NOOP("Public", "水冷断开"),
    QT_TRANSLATE_NOOP("Public", "进水温度高"),
    QT_TRANSLATE_NOOP("Public", "进水温度低"),
    QT_TRANSLATE_NOOP("Public", "出水温度高"),
    QT_TRANSLATE_NOOP("Public", "出水温度低"),
    QT_TRANSLATE_NOOP("Public", "PD错误"),
    QT_TRANSLATE_NOOP("Public", "电流错误"),
    QT_TRANSLATE_NOOP("Public", "急停"),
    QT_TRANSLATE_NOOP("Public", "高级参数设置成功"),
    QT_TRANSLATE_NOOP("Public", "校准完成"),
    QT_TRANSLATE_NOOP("Public", "校准失败"),
    QT_TRANSLATE_NOOP("Public", "QCW模式启用"),
    QT_TRANSLATE_NOOP("Public", "QCW模式禁用"),
    QT_TRANSLATE_NOOP("Public", "光电报警锁定"),
    QT_TRANSLATE_NOOP("Public", "重置参数完成"),
    QT_TRANSLATE_NOOP("Public", "设备版本"),
    QT_TRANSLATE_NOOP("Public", "开机总时长"),
    QT_TRANSLATE_NOOP("Public", "出光总时长"),
    QT_TRANSLATE_NOOP("Public", "分钟"),
    QT_TRANSLATE_NOOP("Public", "报警解除"),
    QT_TRANSLATE_NOOP("Public", "未知错误"),
]

var iconButtonTexts = [
    QT_TRANSLATE_NOOP("IconButton", "保存"),
]

var txtButtonTexts = [
    QT_TRANSLATE_NOOP("TxtButton", "按钮"),
]

var myLedTexts = [
    QT_TRANSLATE_NOOP("MyLed", "开"),
    QT_TRANSLATE_NOOP("MyLed", "关"),
]

var mySwitchTexts = [
    QT_TRANSLATE_NOOP("MySwitch", "开"),
    QT_TRANSLATE_NOOP("MySwitch", "关"),
]

var modelTexts = [
    QT_TRANSLATE_NOOP("Model", "提示信息"),
    QT_TRANSLATE_NOOP("Model", "提示"),
    QT_TRANSLATE_NOOP("Model", "警告"),
    QT_TRANSLATE_NOOP("Model", "确认操作"),
    QT_TRANSLATE_NOOP("Model", "输入"),
    QT_TRANSLATE_NOOP("Model", "确定"),
    QT_TRANSLATE_NOOP("Model", "取消"),
]

var sidebarTexts = [
    QT_TRANSLATE_NOOP("Sidebar", "功率"),
    QT_TRANSLATE_NOOP("Sidebar", "设备连接"),
    QT_TRANSLATE_NOOP("Sidebar", "刷新"),
    QT_TRANSLATE_NOOP("Sidebar", "连接"),
    QT_TRANSLATE_NOOP("Sidebar", "断开"),
    QT_TRANSLATE_NOOP("Sidebar", "其它设置"),
    QT_TRANSLATE_NOOP("Sidebar", "中/En"),
    QT_TRANSLATE_NOOP("Sidebar", "软件帮助"),
    QT_TRANSLATE_NOOP("Sidebar", "亮色主题"),
    QT_TRANSLATE_NOOP("Sidebar", "暗色主题"),
    QT_TRANSLATE_NOOP("Sidebar", "高级设置"),
    QT_TRANSLATE_NOOP("Sidebar", "锁定"),
    QT_TRANSLATE_NOOP("Sidebar", "报警参数"),
    QT_TRANSLATE_NOOP("Sidebar", "QCW参数"),
    QT_TRANSLATE_NOOP("Sidebar", "重置参数"),
    QT_TRANSLATE_NOOP("Sidebar", "红光强度"),
    QT_TRANSLATE_NOOP("Sidebar", "光电报警阈值"),
    QT_TRANSLATE_NOOP("Sidebar", "驱动电流报警阈值"),
    QT_TRANSLATE_NOOP("Sidebar", "环境湿度报警阈值"),
    QT_TRANSLATE_NOOP("Sidebar", "入水温报警值"),
    QT_TRANSLATE_NOOP("Sidebar", "出水温报警值"),
    QT_TRANSLATE_NOOP("Sidebar", "输入密码解锁"),
    QT_TRANSLATE_NOOP("Sidebar", "确定"),
    QT_TRANSLATE_NOOP("Sidebar", "QCW占空比"),
    QT_TRANSLATE_NOOP("Sidebar", "QCW频率"),
    QT_TRANSLATE_NOOP("Sidebar", "错误:参数范围"),
    QT_TRANSLATE_NOOP("Sidebar", "QCW使能状态"),
    QT_TRANSLATE_NOOP("Sidebar", "脉宽"),
    QT_TRANSLATE_NOOP("Sidebar", "周期"),
    QT_TRANSLATE_NOOP("Sidebar", "连接失败"),
    QT_TRANSLATE_NOOP("Sidebar", "密码错误"),
    QT_TRANSLATE_NOOP("Sidebar", "请连接设备"),
    QT_TRANSLATE_NOOP("Sidebar", "您正在出光时修改参数,按确定继续"),
    QT_TRANSLATE_NOOP("Sidebar", "确定要重置参数吗"),
]

var contentTexts = [
    QT_TRANSLATE_NOOP("Content", "设备信息"),
    QT_TRANSLATE_NOOP("Content", "设备型号"),
    QT_TRANSLATE_NOOP("Content", "设备编号"),
    QT_TRANSLATE_NOOP("Content", "出光状态"),
    QT_TRANSLATE_NOOP("Content", "使能开启"),
    QT_TRANSLATE_NOOP("Content", "使能关闭"),
    QT_TRANSLATE_NOOP("Content", "控制状态"),
    QT_TRANSLATE_NOOP("Content", "内控"),
    QT_TRANSLATE_NOOP("Content", "外控"),
    QT_TRANSLATE_NOOP("Content", "急停状态"),
    QT_TRANSLATE_NOOP("Content", "急停"),
    QT_TRANSLATE_NOOP("Content", "正常"),
    QT_TRANSLATE_NOOP("Content", "存储状态"),
    QT_TRANSLATE_NOOP("Content", "错误"),
    QT_TRANSLATE_NOOP("Content", "时钟状态"),
    QT_TRANSLATE_NOOP("Content", "蓝牙状态"),
    QT_TRANSLATE_NOOP("Content", "未就绪"),
    QT_TRANSLATE_NOOP("Content", "水冷状态"),
    QT_TRANSLATE_NOOP("Content", "断开"),
    QT_TRANSLATE_NOOP("Content", "QBH状态"),
    QT_TRANSLATE_NOOP("Content", "进水温度"),
    QT_TRANSLATE_NOOP("Content", "出水温度"),
    QT_TRANSLATE_NOOP("Content", "环境温度"),
    QT_TRANSLATE_NOOP("Content", "环境湿度"),
    QT_TRANSLATE_NOOP("Content", "红光电流"),
    QT_TRANSLATE_NOOP("Content", "光电信号"),
    QT_TRANSLATE_NOOP("Content", "泵浦电流"),
    QT_TRANSLATE_NOOP("Content", "激光内控"),
    QT_TRANSLATE_NOOP("Content", "刷新"),
    QT_TRANSLATE_NOOP("Content", "持续出光模式"),
    QT_TRANSLATE_NOOP("Content", "频率"),
    QT_TRANSLATE_NOOP("Content", "占空比"),
    QT_TRANSLATE_NOOP("Content", "峰值功率"),
    QT_TRANSLATE_NOOP("Content", "出光时间"),
    QT_TRANSLATE_NOOP("Content", "错误:参数范围"),
    QT_TRANSLATE_NOOP("Content", "出光"),
    QT_TRANSLATE_NOOP("Content", "关光"),
    QT_TRANSLATE_NOOP("Content", "运行信息"),
    QT_TRANSLATE_NOOP("Content", "清空"),
    QT_TRANSLATE_NOOP("Content", "光感曲线"),
    QT_TRANSLATE_NOOP("Content", "光感"),
    QT_TRANSLATE_NOOP("Content", "显示温度曲线"),
    QT_TRANSLATE_NOOP("Content", "温度曲线"),
    QT_TRANSLATE_NOOP("Content", "显示光感曲线"),
    QT_TRANSLATE_NOOP("Content", "泵浦电流曲线"),
    QT_TRANSLATE_NOOP("Content", "电流"),
    QT_TRANSLATE_NOOP("Content", "显示功率曲线"),
    QT_TRANSLATE_NOOP("Content", "激光功率曲线"),
    QT_TRANSLATE_NOOP("Content", "调制功率"),
    QT_TRANSLATE_NOOP("Content", "显示电流曲线"),
    QT_TRANSLATE_NOOP("Content", "请连接设备"),
]

var normalChartTexts = [
    QT_TRANSLATE_NOOP("NormalChart", "保存波形"),
    QT_TRANSLATE_NOOP("NormalChart", "重置图表"),
    QT_TRANSLATE_NOOP("NormalChart", "时刻"),
    QT_TRANSLATE_NOOP("NormalChart", "保存波形文件"),
    QT_TRANSLATE_NOOP("NormalChart", "波形文件"),
    QT_TRANSLATE_NOOP("NormalChart", "时间戳"),
]
