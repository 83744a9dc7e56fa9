import QtQuick 2.15
import QtQuick.Window 2.15

Window {
    visible: true
    width: 200
    height: 100
    Text { text: "unterminated"
