import QtQuick
import "Theme.js" as Theme

// A small rounded label, for the animation's file name and counters.
Rectangle {
    id: chip
    property string text
    property string iconPath
    property color ink: Theme.ink

    visible: text !== ""
    height: 26
    width: Math.min(maxWidth, row.implicitWidth + 22)
    property int maxWidth: 260
    radius: 13
    color: Theme.card
    border.width: 1
    border.color: Theme.line

    Row {
        id: row
        x: 11
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6
        Glyph {
            visible: chip.iconPath !== ""
            anchors.verticalCenter: parent.verticalCenter
            size: 14
            path: chip.iconPath
            color: Theme.select
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            width: Math.min(implicitWidth, chip.maxWidth - 42)
            text: chip.text
            elide: Text.ElideMiddle
            color: chip.ink
            font.family: movie.fontFamily
            font.pixelSize: 12
            font.weight: Font.DemiBold
        }
    }
}
