import QtQuick 2.15
import QtTest 1.15
import CppSingletonClass 1.0
import "../../../qml"

// A card's title stays clear of the buttons in the header's right end: it is
// elided short of the width they take. On the real pages, in English and the
// light theme, no title runs under a header button.
Item {
    id: root

    width: 1280
    height: 720

    Component {
        id: cardComponent

        Card {
            width: 300
            height: 200
        }
    }

    Component {
        id: boxComponent

        Model {
            anchors.fill: parent
            visible: false
        }
    }

    TestCase {
        name: "CardTitle"
        when: windowShown

        function makeCard(properties) {
            var card = createTemporaryObject(cardComponent, root, properties)
            verify(card)
            return card
        }

        function titleOf(card) {
            var title = findChild(card, "cardTitle")
            verify(title)
            return title
        }

        // The right end of a card's title, in the coordinates of `item`.
        function titleEnd(card, item) {
            var title = titleOf(card)
            return title.mapToItem(item, title.width, 0).x
        }

        function cleanup() {
            Language.loadChinese()
            Public.language = "cn"
            Public.theme = themeTable("dark")
            Language.setFont("dark")
        }

        function test_shortTitleIsWhole_data() {
            return [
                { tag: "with icon, no inset", icon: true, inset: 0 },
                { tag: "no icon, inset", icon: false, inset: 150 },
                { tag: "with icon, inset", icon: true, inset: 150 }
            ]
        }

        function test_shortTitleIsWhole(data) {
            var card = makeCard({ "title": "Card", "headerInset": data.inset,
                                  "titleIcon": data.icon ? "qrc:/res/icons/card_icon/alarm.svg" : "" })
            var title = titleOf(card)
            compare(title.width, title.implicitWidth)
            verify(!title.truncated)
            compare(title.mapToItem(card, 0, 0).x, data.icon ? 12 + 24 + 4 : 12)
        }

        function test_longTitleIsElidedBeforeTheButtons_data() {
            return [
                { tag: "with icon", icon: true, inset: 150 },
                { tag: "no icon", icon: false, inset: 150 },
                { tag: "small inset", icon: true, inset: 40 },
                // No header items: the title keeps clear of the card's edge.
                { tag: "no inset", icon: true, inset: 0 }
            ]
        }

        function test_longTitleIsElidedBeforeTheButtons(data) {
            var longTitle = "LaserInternalControlWithAVeryLongTitleIndeed"
            var card = makeCard({ "title": longTitle, "headerInset": data.inset,
                                  "titleIcon": data.icon ? "qrc:/res/icons/card_icon/alarm.svg" : "" })
            var title = titleOf(card)
            verify(title.implicitWidth > card.width)
            verify(title.truncated)
            compare(titleEnd(card, card), card.width - (data.inset > 0 ? data.inset + 8 : 12))
            compare(title.text, longTitle) // only the drawing is shortened
        }

        // A wider card or a shorter inset gives the title its room back.
        function test_titleFollowsTheCard() {
            var card = makeCard({ "title": "OperationInformation", "headerInset": 150 })
            var title = titleOf(card)
            verify(title.truncated)
            card.width = 600
            compare(title.width, title.implicitWidth)
            verify(!title.truncated)
            card.width = 300
            verify(title.truncated)
            card.headerInset = 0
            verify(!title.truncated || title.implicitWidth > 300 - 24)
        }

        // No room at all: the title shrinks to nothing, never below.
        function test_narrowCard() {
            var card = makeCard({ "title": "Title", "headerInset": 150, "width": 100 })
            compare(titleOf(card).width, 0)
        }

        // Every item in the header band (the top 36 px) right of the title:
        // header buttons and lamps, in `top`'s coordinates.
        function headerItems(node, top, out) {
            for (var i = 0; i < node.children.length; ++i) {
                var child = node.children[i]
                if (!child.visible)
                    continue
                var isHeaderItem = child.tipText !== undefined || child.ledState !== undefined
                if (isHeaderItem) {
                    var at = child.mapToItem(top, 0, 0)
                    if (at.y < 36)
                        out.push({ "name": child.objectName || child.tipText, "x": at.x })
                } else {
                    headerItems(child, top, out)
                }
            }
            return out
        }

        // The title of `card` ends at least 8 px before the first header item
        // of `top` (the card itself, or the chart that holds it).
        function checkClear(card, top) {
            var items = headerItems(top, top, [])
            verify(items.length > 0, card.objectName)
            var end = titleEnd(card, top)
            for (var i = 0; i < items.length; ++i)
                verify(end <= items[i].x - 8, card.title + " ends at " + end + ", under "
                       + items[i].name + " at " + items[i].x)
        }

        // One of the two theme tables that Public holds.
        function themeTable(name) {
            for (var i = 0; i < Public.children.length; ++i) {
                if (Public.children[i].name === name)
                    return Public.children[i]
            }
            fail("no theme " + name)
        }

        // The light theme's table and font (the font decides the widths).
        function toEnglishLight() {
            Language.loadEnglish()
            Public.language = "en"
            Public.theme = themeTable("light")
            Language.setFont("light")
        }

        function test_pageTitlesClearTheButtons_data() {
            return [
                { tag: "English, light", english: true },
                { tag: "Chinese, dark", english: false }
            ]
        }

        function test_pageTitlesClearTheButtons(data) {
            // Before the page is made: its texts are translated as it is made.
            if (data.english)
                toEnglishLight()
            var box = createTemporaryObject(boxComponent, root)
            var component = Qt.createComponent(Qt.resolvedUrl("../../../qml/Content.qml"))
            compare(component.status, Component.Ready, component.errorString())
            var page = createTemporaryObject(component, root, { "x": 330, "y": 10, "width": 940,
                                                               "height": 700, "msgBox": box })
            verify(page)
            waitForRendering(page)
            var intCtrl = findChild(page, "intCtrl")
            if (data.english)
                compare(intCtrl.title, "LaserInternalControl")
            var cards = ["infoCard", "intCtrl", "alarmCard"]
            for (var i = 0; i < cards.length; ++i) {
                var card = findChild(page, cards[i])
                checkClear(card, card)
            }
            var charts = ["chartPD", "chartTemp", "chartPump", "chartPower"]
            for (i = 0; i < charts.length; ++i) {
                var chart = findChild(page, charts[i])
                var wasVisible = chart.visible
                chart.visible = true
                checkClear(findChild(chart, "cardTitle").parent.parent, chart)
                chart.visible = wasVisible
            }
        }

        function test_sidebarTitlesClearTheButtons() {
            toEnglishLight()
            var box = createTemporaryObject(boxComponent, root)
            var component = Qt.createComponent(Qt.resolvedUrl("../../../qml/Sidebar.qml"))
            compare(component.status, Component.Ready, component.errorString())
            var sidebar = createTemporaryObject(component, root, { "width": 320, "height": 720,
                                                                  "msgBox": box })
            verify(sidebar)
            waitForRendering(sidebar)
            var card = findChild(sidebar, "advanceCard")
            compare(card.title, "Advanced")
            checkClear(card, card)
            // A longer title than any translation has: elided before the lock.
            card.title = "AdvancedParametersOfTheLaser"
            verify(titleOf(card).truncated)
            checkClear(card, card)
        }
    }
}
