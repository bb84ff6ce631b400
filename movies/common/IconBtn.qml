import QtQuick
import "Theme.js" as Theme

// A square tool button with a line icon and a tip.
Item {
    id: btn

    property string iconPath
    property bool filled: false
    property string tip
    property bool active: true
    property bool checked: false
    property int size: 36
    signal clicked()

    width: size
    height: size
    opacity: active ? 1 : 0.4

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: btn.checked ? Theme.select
                           : (area.pressed ? Theme.line : (area.containsMouse ? Theme.selectSoft : Theme.card))
        border.width: 1
        border.color: btn.checked ? Theme.select : Theme.line
    }
    Glyph {
        anchors.centerIn: parent
        size: btn.size * 0.56
        path: btn.iconPath
        filled: btn.filled
        color: btn.checked ? "#ffffff" : Theme.ink
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onEntered: movie.enterTip(btn.tip)
        onExited: movie.leaveTip(btn.tip)
        onClicked: if (btn.active) btn.clicked()
    }
}
