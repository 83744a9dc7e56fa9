import QtQuick 2.15
import QtTest 1.2
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// The main window never passes stale values off as live, against the
// controller simulator connected through the sidebar: the status card's word
// and the dimmed values before the first record, while the status stream is
// silent and after the port closes or is lost; and one list line each when
// the device stops and starts answering on an open port, none for a port
// the operator closed or that was lost.
TestCase {
    id: test

    name: "LiveState"

    property var window: null
    property var sidebar: null
    readonly property string link: "/tmp/orrindel-live-state-" + Date.now() + "-link"
    readonly property string silentLine: "设备无响应: " + link
    readonly property string backLine: "设备已恢复: " + link

    SimPeer {
        id: sim
    }

    function item(name) {
        var found = findChild(window.contentItem, name)
        verify(found, name)
        return found
    }

    function countOf(name) {
        return sim.commandNames().filter(function (n) { return n === name }).length
    }

    // The message list's lines without their time stamps.
    function lines() {
        var model = item("alarmListView").model
        var out = []
        for (var i = 0; i < model.count; ++i) {
            var m = /^\[\d\d:\d\d:\d\d\]> ([\s\S]*)$/.exec(model.get(i).line)
            verify(m, model.get(i).line)
            out.push(m[1])
        }
        return out
    }

    function linesOf(text) {
        return lines().filter(function (l) { return l === text }).length
    }

    function statusItems() {
        var found = []
        collect(item("infoCard"), found)
        return found
    }

    function collect(node, out) {
        for (var i = 0; i < node.children.length; ++i) {
            var c = node.children[i]
            if (c.texts !== undefined && c.stale !== undefined)
                out.push(c)
            collect(c, out)
        }
    }

    // The marks of word ("" while live) on the card and the power value; the
    // device id item stands for the values a screen reader hears.
    function expectMarks(word, deviceId) {
        var header = item("liveWord")
        compare(header.text, word)
        compare(header.visible, word !== "")
        var items = statusItems()
        compare(items.length, 17)
        for (var i = 0; i < items.length; ++i)
            compare(items[i].stale, word !== "", items[i].title)
        var id = items.filter(function (it) { return it.title === "设备编号" })[0]
        compare(id.Accessible.description, word === "" ? deviceId : deviceId + " (" + word + ")")
        var power = item("powerValue")
        compare(power.opacity, word === "" ? 1 : Public.theme.staleOpacity)
        compare(power.Accessible.description, word)
    }

    function connect() {
        mouseClick(item("connectBtn"))
        verify(Communication.isOpen())
        compare(sidebar.openPort, link)
    }

    function initTestCase() {
        verify(sim.start(["--link", link, "--period", "200"]) !== "")
        sim.setExtraPorts([link])
        // As at the program's start; an earlier suite's device may still
        // count as online for a moment.
        tryCompare(Communication, "deviceOnline", false, 3000)
        var component = Qt.createComponent(Qt.resolvedUrl("../../../main.qml"))
        compare(component.status, Component.Ready, component.errorString())
        window = component.createObject(null)
        verify(window)
        waitForRendering(window.contentItem)
        sidebar = item("serialCard").parent
    }

    function cleanupTestCase() {
        Communication.close()
        sim.stop()
        sim.setExtraPorts([])
        window.destroy()
    }

    function test_1_standInValuesAreMarkedOffline() {
        verify(!Communication.isOpen())
        expectMarks("离线", "927C0226")
        // Still shown as they are, alarm colour included.
        var laser = statusItems().filter(function (it) { return it.title === "出光状态" })[0]
        compare(laser.texts, ["使能开启"])
        verify(laser.alarm)
    }

    function test_2_openPortWaitsForTheFirstRecord() {
        sim.console("silent on")
        connect()
        expectMarks("等待数据", "927C0226")
        wait(1500)
        expectMarks("等待数据", "927C0226")
        compare(linesOf(silentLine), 0, "a device not yet heard has not stopped answering")
        compare(countOf("queryVersion"), 0)
    }

    function test_3_firstRecordIsLive() {
        sim.console("silent off")
        tryCompare(item("liveWord"), "visible", false, 3000)
        expectMarks("", "SN240403")
        tryVerify(function () { return countOf("queryVersion") === 1 }, 3000)
        compare(sim.commandNames(), ["queryVersion"])
        compare(linesOf(backLine), 0, "the first record is no recovery")
    }

    function test_4_silenceMarksTheValuesWithOneLine() {
        sim.console("silent on")
        tryCompare(item("liveWord"), "text", "离线", 3000)
        verify(!Public.devOnline)
        expectMarks("离线", "SN240403")
        tryVerify(function () { return linesOf(silentLine) === 1 }, 1000, JSON.stringify(lines()))
        wait(1500)
        compare(linesOf(silentLine), 1)
    }

    function test_5_recordsBackRemoveTheMarksWithOneLine() {
        var versions = countOf("queryVersion")
        sim.console("silent off")
        tryCompare(item("liveWord"), "visible", false, 3000)
        verify(Public.devOnline)
        expectMarks("", "SN240403")
        tryVerify(function () { return linesOf(backLine) === 1 }, 1000, JSON.stringify(lines()))
        wait(1500)
        compare([linesOf(silentLine), linesOf(backLine)], [1, 1])
        compare(countOf("queryVersion"), versions + 1)
    }

    // No record can come through a closed port: offline at once, and the
    // online timeout that follows is not the device's silence.
    function test_6_operatorDisconnectIsNoSilence() {
        mouseClick(item("connectBtn"))
        verify(!Communication.isOpen())
        verify(Public.devOnline, "the last record is still recent")
        expectMarks("离线", "SN240403")
        tryCompare(Public, "devOnline", false, 3000)
        wait(300)
        expectMarks("离线", "SN240403")
        compare(linesOf(silentLine), 1)
    }

    // Reopened while the online flag still holds from before: the values
    // wait for this connection's own first record.
    function test_7_reconnectWaitsForItsOwnRecord() {
        connect()
        tryCompare(item("liveWord"), "visible", false, 3000)
        sim.console("silent on")
        // A frame already on its way would otherwise be read by the new
        // connection (two periods of 200 ms; still well within the 1100 ms).
        wait(400)
        mouseClick(item("connectBtn"))
        connect()
        verify(Public.devOnline)
        expectMarks("等待数据", "SN240403")
        tryCompare(Public, "devOnline", false, 3000)
        wait(300)
        expectMarks("等待数据", "SN240403")
        compare(linesOf(silentLine), 1, "not heard on this connection: no line")
        sim.console("silent off")
        tryCompare(item("liveWord"), "visible", false, 3000)
        wait(500)
        compare([linesOf(silentLine), linesOf(backLine)], [1, 1])
    }

    // The sidebar tells of a lost port and of its return; the window adds
    // nothing, and the values are offline from the loss on.
    function test_8_lostPortIsNoSilence() {
        var versions = countOf("queryVersion")
        sim.console("hangup 3000")
        tryVerify(function () { return linesOf("连接已断开: " + link) === 1 }, 3000, JSON.stringify(lines()))
        expectMarks("离线", "SN240403")
        tryCompare(Public, "devOnline", false, 3000)
        tryVerify(function () { return linesOf("已重新连接: " + link) === 1 }, 8000, JSON.stringify(lines()))
        tryCompare(item("liveWord"), "visible", false, 3000)
        expectMarks("", "SN240403")
        wait(500)
        compare([linesOf(silentLine), linesOf(backLine)], [1, 1])
        compare(countOf("queryVersion"), versions + 1)
    }
}
