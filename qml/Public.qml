pragma Singleton
import QtQuick 2.15
import CppSingletonClass 1.0

// Shared user-interface state. This first version holds what the start-up
// window needs: the language, the active theme table and the theme switch.
Item {
    id: root

    property bool windowVisible: true
    property int colorSwitchDuration: 400
    property string language: ""
    property var theme: darkTheme

    readonly property var lightTheme: ({
        "name": "light",
        "bgColor": "#F8f9ff",
        "cardBgColor": "#E9EBF4",
        "cardTitleColor": "#283155",
        "textMainColor": "#283155"
    })
    readonly property var darkTheme: ({
        "name": "dark",
        "bgColor": "#1e1e1e",
        "cardBgColor": "#494949",
        "cardTitleColor": "#F8F8F8",
        "textMainColor": "#F8F8F8"
    })

    // A real change restarts the program with the new theme.
    function switchTheme(name) {
        if (name === theme.name)
            return
        theme = name === "dark" ? darkTheme : lightTheme
        Language.setTheme(theme.name)
    }

    Component.onCompleted: {
        language = Language.getNowLanguage()
        theme = Language.getTheme() === "dark" ? darkTheme : lightTheme
    }
}
