import QtQuick 2.15
import QtTest 1.2
import CppSingletonClass 1.0

Item {
    width: 200
    height: 100

    Text {
        id: label
        text: qsTranslate("Sidebar", "设备连接")
    }
    Text {
        id: tip
        text: qsTranslate("IconButton", "保存")
    }

    TestCase {
        name: "LanguageSwitch"

        function cleanup() {
            Language.loadChinese()
        }

        function test_startsInChinese() {
            compare(Language.getNowLanguage(), "cn")
            compare(label.text, "设备连接")
        }

        function test_loadEnglishTakesEffectBeforeReturning() {
            Language.loadEnglish()
            // Checked in the same call: no event loop pass in between.
            compare(label.text, "DeviceConnect")
            compare(tip.text, "Save")
            compare(Language.getNowLanguage(), "en")
        }

        function test_loadEnglishTwiceEqualsOnce() {
            Language.loadEnglish()
            Language.loadEnglish()
            compare(label.text, "DeviceConnect")
            compare(Language.getNowLanguage(), "en")
            Language.loadChinese()
            compare(label.text, "设备连接")
            compare(tip.text, "保存")
            compare(Language.getNowLanguage(), "cn")
        }

        function test_themeIsDarkOrLight() {
            compare(Language.getTheme(), "dark")
        }
    }
}
