import QtQuick 2.15
import QtQuick.Window 2.15
import "../qml"

// The status page's four charts at the size a 1280 by 720 window gives them:
// one chart of each slot shown, the other hidden and still fed.
Window {
    id: window

    readonly property bool ready: chartPD.initialized && chartTemp.initialized
                                  && chartPump.initialized && chartPower.initialized
    readonly property var charts: [chartPD, chartTemp, chartPump, chartPower]

    // What the page does with one status record.
    function push(rec) {
        chartPD.autoPush(rec.opticalVals)
        chartTemp.autoPush([rec.ambientTemp, rec.inletWaterTemp, rec.outletWaterTemp])
        chartPump.autoPush(rec.pumpCurrent)
        chartPower.autoPush([rec.maxPower * rec.db25Power / 100])
    }

    // The optical slot's switch button: the other chart of the slot shows
    // and catches up with the pushes it held while hidden.
    function switchOpticalSlot() {
        var showTemp = chartPD.visible
        chartPD.visible = !showTemp
        chartTemp.visible = showTemp
    }

    width: 1280
    height: 720
    visible: true

    NormalChart {
        id: chartPD
        objectName: "chartPD"
        x: 420
        width: 850
        height: 350
        title: "光感曲线"
        seriesList: [{ "name": "光感1" }, { "name": "光感2" }]
    }

    NormalChart {
        id: chartTemp
        x: 420
        width: 850
        height: 350
        visible: false
        unit: "℃"
        title: "温度曲线"
        seriesList: [{ "name": "环境温度" }, { "name": "进水温度" }, { "name": "出水温度" }]
    }

    NormalChart {
        id: chartPump
        x: 420
        y: 370
        width: 850
        height: 350
        unit: "A"
        title: "泵浦电流曲线"
        seriesList: [{ "name": "电流1" }, { "name": "电流2" }, { "name": "电流3" }, { "name": "电流4" }]
    }

    NormalChart {
        id: chartPower
        x: 420
        y: 370
        width: 850
        height: 350
        visible: false
        unit: "W"
        title: "激光功率曲线"
        seriesList: [{ "name": "调制功率" }]
    }
}
