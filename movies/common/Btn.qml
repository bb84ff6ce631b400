import QtQuick
import "Theme.js" as Theme

// A rounded push button with an optional arrow or icon. A button that is not
// active looks faded and sends nothing.
Item {
    id: btn

    property string text
    property string tip
    property bool primary: false
    property bool active: true
    property string iconPath: ""
    property bool iconAfter: false
    property int minWidth: 110
    property bool compact: false
    signal clicked()

    implicitWidth: Math.max(minWidth, content.implicitWidth + (compact ? 26 : 36))
    implicitHeight: compact ? 28 : 34
    width: implicitWidth
    height: implicitHeight
    opacity: active ? 1 : 0.45

    Rectangle {
        anchors.fill: parent
        anchors.topMargin: 2
        radius: height / 2
        color: btn.primary ? Theme.accentDark : Theme.line
        opacity: 0.6
    }
    Rectangle {
        anchors.fill: parent
        anchors.bottomMargin: area.pressed && btn.active ? 0 : 2
        anchors.topMargin: area.pressed && btn.active ? 2 : 0
        radius: height / 2
        color: btn.primary ? (area.containsMouse && btn.active ? Theme.accentDark : Theme.accent)
                           : (area.containsMouse && btn.active ? Theme.selectSoft : Theme.card)
        border.width: btn.primary ? 0 : 1
        border.color: Theme.line

        Row {
            id: content
            anchors.centerIn: parent
            spacing: 6
            layoutDirection: btn.iconAfter ? Qt.RightToLeft : Qt.LeftToRight
            Glyph {
                visible: btn.iconPath !== ""
                anchors.verticalCenter: parent.verticalCenter
                size: 16
                path: btn.iconPath
                strokeWidth: 2.6
                color: btn.primary ? "#ffffff" : Theme.ink
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: btn.text
                color: btn.primary ? "#ffffff" : Theme.ink
                font.family: movie.fontFamily
                font.pixelSize: btn.compact ? 13 : 14
                font.weight: btn.primary ? Font.Bold : Font.DemiBold
            }
        }
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: btn.active ? Qt.PointingHandCursor : Qt.ArrowCursor
        onEntered: movie.enterTip(btn.tip)
        onExited: movie.leaveTip(btn.tip)
        onClicked: if (btn.active) btn.clicked()
    }
}
