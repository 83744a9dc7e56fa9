import QtQuick 2.15
import QtTest 1.2
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// The main window against the controller simulator on a pseudo-terminal,
// through the real link: online supervision, the one version query per
// return to online, and device messages reaching the list as plain text.
TestCase {
    id: test

    name: "MainWindow"

    property var window: null
    property double lastRecordAt: 0
    property int records: 0

    SimPeer {
        id: sim
    }

    Connections {
        target: Communication

        function onDataReceived(rxObj) {
            test.lastRecordAt = Date.now()
            ++test.records
        }
    }

    function initTestCase() {
        // Offline, as at the program's start: an earlier suite's device may
        // still count as online for a moment.
        tryCompare(Communication, "deviceOnline", false, 3000)
        var component = Qt.createComponent(Qt.resolvedUrl("../../../main.qml"))
        compare(component.status, Component.Ready, component.errorString())
        window = component.createObject(null)
        verify(window)
        verify(sim.start(["--period", "200"]) !== "")
        verify(Communication.open(sim.port))
    }

    function cleanupTestCase() {
        Communication.close()
        sim.stop()
        window.destroy()
    }

    function countOf(name) {
        return sim.commandNames().filter(function (n) { return n === name }).length
    }

    function linesContaining(marker) {
        var found = []
        collect(window.contentItem, marker, found)
        return found
    }

    function collect(item, marker, out) {
        for (var i = 0; i < item.children.length; ++i) {
            var child = item.children[i]
            if (child.textFormat !== undefined && typeof child.text === "string"
                    && child.text.indexOf(marker) !== -1)
                out.push(child)
            collect(child, marker, out)
        }
    }

    function test_1_onlineWithOneVersionQuery() {
        tryCompare(Public, "devOnline", true, 5000)
        // The version reply tells the device has QCW mode.
        tryCompare(Public, "devQcwEnable", true, 3000)
        var before = records
        wait(1000)
        verify(records - before >= 3, "records keep coming")
        verify(Public.devOnline)
        compare(countOf("queryVersion"), 1)
        compare(window.devInfo.chipShortId, "SN240403")
    }

    function test_2_offlineAfter1100msWithoutRecords() {
        sim.console("silent on")
        tryCompare(Public, "devOnline", false, 5000)
        var quiet = Date.now() - lastRecordAt
        verify(quiet >= 1050 && quiet < 1800, "offline after " + quiet + " ms")
        verify(!Public.devQcwEnable)
        // The record stays: the page keeps showing the last values.
        compare(window.devInfo.chipShortId, "SN240403")
        wait(500)
        compare(countOf("queryVersion"), 1)
    }

    function test_3_backOnlineAsksOnceMore() {
        sim.console("silent off")
        tryCompare(Public, "devOnline", true, 5000)
        tryCompare(Public, "devQcwEnable", true, 3000)
        wait(1500)
        compare(countOf("queryVersion"), 2)
    }

    function test_4_messagesReachTheListTranslated() {
        sim.console("send Calibrate ok")
        tryVerify(function () { return linesContaining("校准完成").length === 1 }, 3000)
        var line = linesContaining("校准完成")[0]
        verify(/^\[\d\d:\d\d:\d\d\]> 校准完成$/.test(line.text), line.text)
    }

    function test_5_deviceMarkupIsShownAsPlainText() {
        var markup = "<img src=\"file:///tmp/none.png\"><b>bold</b>"
        sim.console("send " + markup)
        tryVerify(function () { return linesContaining(markup).length === 1 }, 3000)
        compare(linesContaining(markup)[0].textFormat, Text.PlainText)
    }
}
