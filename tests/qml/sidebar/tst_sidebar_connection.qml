import QtQuick 2.15
import QtTest 1.2
import CppSingletonClass 1.0
import OrrindelTest 1.0
import "../../../qml"

// The connection card through the real link: the port list, Connect and
// Disconnect, a failed open, a pulled cable (the simulator hangs up its
// line) and the watch that reconnects to the same port when it returns.
Item {
    id: scene

    width: 1280
    height: 720

    property var lines: []

    Sidebar {
        id: sidebar

        width: 320
        height: scene.height
        msgBox: box
        onMessageLine: scene.lines.push(text)
    }

    Model {
        id: box

        anchors.fill: parent
    }

    SimPeer {
        id: sim
    }

    TestCase {
        id: test

        name: "SidebarConnection"
        when: windowShown

        readonly property string link: "/tmp/orrindel-sidebar-" + Date.now() + "-link"
        readonly property string missingPort: "/nonexistent/orrindel-tty"

        function item(name) {
            var found = findChild(sidebar, name)
            verify(found, name)
            return found
        }

        function combo() {
            return item("devComboBox")
        }

        function entries() {
            var list = []
            for (var i = 0; i < combo().model.length; ++i) {
                var e = combo().model[i]
                list.push({ "fullName": e.fullName, "port": e.port })
            }
            return list
        }

        function click(name) {
            mouseClick(item(name))
        }

        function connectedState() {
            return item("connectBtn").text === "断开" && !combo().enabled && !item("refreshBtn").enabled
        }

        function notConnectedState() {
            return item("connectBtn").text === "连接" && combo().enabled && item("refreshBtn").enabled
        }

        function linesWith(marker) {
            return scene.lines.filter(function (l) { return l.indexOf(marker) !== -1 })
        }

        function selectLink() {
            sim.setExtraPorts([test.link, test.missingPort])
            click("refreshBtn")
            compare(combo().currentIndex, 0)
            compare(entries()[0].port, test.link)
        }

        function connectToSim() {
            selectLink()
            click("connectBtn")
            verify(Communication.isOpen())
            verify(connectedState())
        }

        // Pulls the cable for `ms` and waits until the card has noticed.
        function hangUp(ms) {
            sim.console("hangup " + ms)
            tryVerify(notConnectedState, 3000, "the card returns to not connected")
            compare(sidebar.watchedPort, test.link)
        }

        function initTestCase() {
            verify(sim.start(["--link", test.link, "--period", "200"]) !== "")
        }

        function cleanupTestCase() {
            Communication.close()
            sim.stop()
            sim.setExtraPorts([])
        }

        function init() {
            scene.lines = []
            box.visible = false
        }

        function cleanup() {
            sidebar.stopWatch()
            if (Communication.isOpen())
                click("connectBtn")
            box.visible = false
            verify(!Communication.isOpen())
            compare(sidebar.watchedPort, "")
            // The line must be back before the next case picks it.
            tryVerify(function () { return Communication.open(test.link) }, 6000, "the line is back")
            Communication.close()
        }

        function test_1_portListInOrderFirstSelected() {
            sim.setExtraPorts(["/tmp/orrindel-a", "/tmp/orrindel-b"])
            click("refreshBtn")
            var expected = Communication.getSerialList()
            compare(entries().length, expected.length)
            compare(entries()[0], { "fullName": "(/tmp/orrindel-a)", "port": "/tmp/orrindel-a" })
            compare(entries()[1], { "fullName": "(/tmp/orrindel-b)", "port": "/tmp/orrindel-b" })
            for (var i = 0; i < expected.length; ++i)
                compare(entries()[i].port, expected[i].port)
            compare(combo().currentIndex, 0)
            compare(combo().displayText, "(/tmp/orrindel-a)")
        }

        function test_2_emptyListSelectsNothing() {
            sim.setExtraPorts([])
            if (Communication.getSerialList().length > 0)
                skip("this machine has serial ports of its own")
            click("refreshBtn")
            compare(entries().length, 0)
            compare(combo().currentIndex, -1)
            click("connectBtn")
            verify(!Communication.isOpen())
            verify(!box.visible)
            verify(notConnectedState())
        }

        function test_3_connectWithNothingSelectedOnlyRefreshes() {
            sim.setExtraPorts(["/tmp/orrindel-before"])
            click("refreshBtn")
            combo().currentIndex = -1
            sim.setExtraPorts(["/tmp/orrindel-after"])
            click("connectBtn")
            verify(!Communication.isOpen())
            verify(!box.visible, "no message box")
            verify(notConnectedState())
            compare(entries()[0].port, "/tmp/orrindel-after")
            compare(combo().currentIndex, 0)
        }

        function test_4_failedOpenShowsAnError() {
            sim.setExtraPorts([test.missingPort, test.link])
            click("refreshBtn")
            click("connectBtn")
            verify(!Communication.isOpen())
            verify(box.visible)
            compare(box.titleText, "警告")
            // The system's reason on the next line, untranslated.
            compare(box.msg, "连接失败\nNo such file or directory")
            compare(Communication.lastOpenError, "No such file or directory")
            compare(box.popEasing, Easing.OutElastic)
            verify(notConnectedState())
            compare(combo().currentIndex, 0)
            compare(sidebar.watchedPort, "", "a failed open starts no watch")
        }

        function test_5_connectedDisablesTheListAndDisconnectReenables() {
            connectToSim()
            // The operator's own Disconnect starts no watch.
            click("connectBtn")
            verify(!Communication.isOpen())
            verify(notConnectedState())
            compare(sidebar.watchedPort, "")
            wait(1500)
            verify(!Communication.isOpen())
            compare(scene.lines.length, 0)
        }

        function test_6_clickDecidesByTheLinksState() {
            connectToSim()
            // The link closed behind the card's back: the button still reads
            // Disconnect, but a click opens again.
            Communication.close()
            click("connectBtn")
            verify(Communication.isOpen())
            verify(connectedState())
        }

        function test_7_lostPortReturnsToNotConnectedAndReconnects() {
            connectToSim()
            sim.setExtraPorts([test.missingPort, test.link])
            var sentBefore = sim.commands().length
            hangUp(3000)
            verify(!box.visible, "no message box for a lost port")
            compare(linesWith("连接已断开").length, 1)
            verify(linesWith(test.link).length === 1, JSON.stringify(scene.lines))
            // The list was refreshed on the loss.
            compare(entries()[0].port, test.missingPort)

            tryVerify(connectedState, 6000, "reconnected when the port returned")
            verify(Communication.isOpen())
            compare(combo().model[combo().currentIndex].port, test.link)
            tryCompare(sidebar, "watchedPort", "", 2000)
            compare(linesWith("已重新连接").length, 1)
            compare(scene.lines.length, 2)
            compare(sim.commands().length, sentBefore, "the sidebar sends nothing on its own")
        }

        function test_8_connectEndsTheWatch() {
            connectToSim()
            hangUp(2000)
            // The returned list leads with the link, which is gone for now.
            click("connectBtn")
            compare(sidebar.watchedPort, "")
            var lines = String(box.msg).split("\n")
            compare(lines.length, 2, box.msg)
            compare(lines[0], "连接失败")
            verify(lines[1] !== "", "a reason is given")
            compare(lines[1], Communication.lastOpenError)
            box.visible = false
            wait(3500)
            verify(!Communication.isOpen(), "no reconnection after the operator's Connect")
            verify(notConnectedState())
        }

        function test_9_anotherPortEndsTheWatch() {
            connectToSim()
            hangUp(2000)
            // Pick the second entry in the open list, as the operator would.
            mouseClick(combo())
            var list = combo().popup.contentItem
            tryVerify(function () { return combo().popup.opened && list.itemAtIndex(1) !== null }, 2000)
            mouseClick(list.itemAtIndex(1))
            compare(combo().currentIndex, 1)
            compare(sidebar.watchedPort, "")
            wait(3500)
            verify(!Communication.isOpen(), "no reconnection after picking another port")
        }

        function test_9a_samePortKeepsTheWatch() {
            connectToSim()
            hangUp(2000)
            mouseClick(combo())
            var list = combo().popup.contentItem
            tryVerify(function () { return combo().popup.opened && list.itemAtIndex(0) !== null }, 2000)
            mouseClick(list.itemAtIndex(0))
            compare(sidebar.watchedPort, test.link)
            tryVerify(connectedState, 5000)
        }

        function test_9b_disconnectWhileReconnectingEndsTheWatch() {
            connectToSim()
            hangUp(1500)
            // Reopened, not yet confirmed: the card already reads Disconnect.
            tryCompare(sidebar, "reconnectPending", true, 5000)
            verify(connectedState())
            click("connectBtn")
            verify(!Communication.isOpen())
            compare(sidebar.watchedPort, "")
            wait(1500)
            verify(!Communication.isOpen())
            verify(notConnectedState())
            compare(linesWith("已重新连接").length, 0)
        }

        function test_9c_portDroppingAgainAtOnceIsReportedOnce() {
            connectToSim()
            hangUp(1500)
            tryCompare(sidebar, "reconnectPending", true, 5000)
            // Gone again before the reconnection could hold.
            sim.console("hangup 1500")
            tryVerify(notConnectedState, 3000)
            compare(sidebar.watchedPort, test.link)
            verify(!box.visible)
            tryVerify(connectedState, 6000, "reconnected once the port stays")
            tryCompare(sidebar, "watchedPort", "", 2000)
            compare(linesWith("连接已断开").length, 1, JSON.stringify(scene.lines))
            compare(linesWith("已重新连接").length, 1, JSON.stringify(scene.lines))
        }
    }
}
