// Visible texts of the user-interface documents that are not written yet,
// in the translation context of the document that will show them. lupdate
// reads this file with the documents, so the catalogues keep these entries
// (and compile them) until the documents carry the texts themselves; then
// the document's block here can go.
// Not loaded by the program.

var contentTexts = [
    QT_TRANSLATE_NOOP("Content", "设备型号"),
    QT_TRANSLATE_NOOP("Content", "设备编号"),
    QT_TRANSLATE_NOOP("Content", "出光状态"),
    QT_TRANSLATE_NOOP("Content", "使能开启"),
    QT_TRANSLATE_NOOP("Content", "使能关闭"),
    QT_TRANSLATE_NOOP("Content", "控制状态"),
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
    QT_TRANSLATE_NOOP("Content", "环境湿度"),
    QT_TRANSLATE_NOOP("Content", "红光电流"),
    QT_TRANSLATE_NOOP("Content", "光电信号"),
    QT_TRANSLATE_NOOP("Content", "泵浦电流"),
]

