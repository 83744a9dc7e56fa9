import QtQuick 2.15

// One place of the page for two charts, one shown at a time: the switch
// button in the shown chart's header shows the other; the hidden one keeps
// recording. A Repeater, so that the charts become the page's own children
// like the cards: they lie over the slot's rectangle, which the page places,
// and the slot itself draws nothing.
Repeater {
    id: slot

    property var msgBox: null
    // Each chart: "name" (its objectName and journal key), "title",
    // "titleIcon", "unit", "series" (the curves' names) and "switchTip" (the
    // tip of its button that shows the other chart).
    property var first: ({})
    property var second: ({})
    // 0 while the first chart is shown, 1 while the second is.
    property int shown: 0

    // Gives each chart its samples of one record.
    function push(firstSamples, secondSamples) {
        itemAt(0).autoPush(firstSamples)
        itemAt(1).autoPush(secondSamples)
    }

    // Both charts look at the recording around atMs (NormalChart.lookAround).
    function lookAround(atMs) {
        itemAt(0).lookAround(atMs)
        itemAt(1).lookAround(atMs)
    }

    model: 2

    NormalChart {
        readonly property var entry: index === 0 ? slot.first : slot.second

        objectName: entry.name
        journalKey: entry.name
        x: slot.x
        y: slot.y
        width: slot.width
        height: slot.height
        visible: slot.shown === index
        msgBox: slot.msgBox
        title: entry.title
        titleIcon: entry.titleIcon
        unit: entry.unit
        seriesList: entry.series.map(function (name) {
            return { "name": name }
        })

        IconButton {
            objectName: "switchBtn"
            anchors.right: parent.right
            anchors.rightMargin: 88
            y: 6
            width: 28
            height: 28
            btnIcon: "qrc:/res/icons/qiehuan.svg"
            tipText: entry.switchTip
            onClicked: slot.shown = 1 - index
        }
    }
}
