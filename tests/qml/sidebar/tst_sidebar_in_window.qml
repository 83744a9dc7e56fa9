import QtQuick 2.15
import QtTest 1.2
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// The sidebar inside the real main window: the window's stand-in record is
// not taken as the device's, and a pulled cable puts its lines into the
// page's message list and, once the port is back, costs exactly one version
// query, asked by the window and not by the sidebar.
TestCase {
    id: test

    name: "SidebarInWindow"

    property var window: null
    property var sidebar: null
    readonly property string link: "/tmp/orrindel-sidebar-window-" + Date.now() + "-link"

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

    function linesContaining(marker) {
        var found = []
        collect(window.contentItem, marker, found)
        return found
    }

    function collect(node, marker, out) {
        for (var i = 0; i < node.children.length; ++i) {
            var child = node.children[i]
            if (child.textFormat !== undefined && typeof child.text === "string"
                    && child.text.indexOf(marker) !== -1 && child.text.indexOf("[") === 0)
                out.push(child)
            collect(child, marker, out)
        }
    }

    function initTestCase() {
        // Offline, as at the program's start: an earlier suite's device may
        // still count as online for a moment.
        tryCompare(Communication, "deviceOnline", false, 3000)
        verify(sim.start(["--link", link, "--period", "200"]) !== "")
        sim.setExtraPorts([link])
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

    function test_1_standInRecordIsNotCaptured() {
        compare(sidebar.devInfoShow, null)
        verify(sidebar.updateInfoFlag)
        // The stand-in record has no analogue input value.
        compare(sidebar.nowPower, 0)
        compare(item("powerValue").text, "0")
        compare(item("pdAlarmThes").value, 0)
    }

    function test_2_firstDeviceRecordIsCaptured() {
        mouseClick(item("connectBtn"))
        verify(Communication.isOpen())
        tryCompare(Public, "devOnline", true, 3000)
        tryVerify(function () { return sidebar.devInfoShow !== null }, 2000)
        verify(!sidebar.updateInfoFlag)
        // The device's own threshold, not the stand-in's 500.
        compare(sidebar.devInfoShow.pdAlarmThes, 30)
        compare(item("pdAlarmThes").value, 30)
        wait(500)
        compare(countOf("queryVersion"), 1)
    }

    function test_3_lostAndBackWithOneVersionQuery() {
        sim.console("hangup 3000")
        tryVerify(function () { return linesContaining("连接已断开").length === 1 }, 3000)
        compare(item("connectBtn").text, "连接")
        tryCompare(Public, "devOnline", false, 3000)

        tryVerify(function () { return linesContaining("已重新连接").length === 1 }, 8000)
        compare(item("connectBtn").text, "断开")
        tryCompare(Public, "devOnline", true, 3000)
        wait(1000)
        compare(countOf("queryVersion"), 2)
        compare(linesContaining("连接已断开").length, 1)
        compare(sim.commandNames().length, 2, "only the window's two version queries")
    }
}
