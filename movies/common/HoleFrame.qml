import QtQuick
import "Theme.js" as Theme

// A thin ring just outside an area the program paints itself; the area stays clear.
Item {
    id: frame
    property rect area
    property string label
    property bool labelCentered: false
    property color ringColor: Theme.hole

    x: area.x - 3
    y: area.y - 3
    width: area.width + 6
    height: area.height + 6

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 3
        border.color: Theme.card
    }
    Rectangle {
        x: 2; y: 2
        width: parent.width - 4
        height: parent.height - 4
        color: "transparent"
        border.width: 1
        border.color: frame.ringColor
    }
    Text {
        visible: frame.label !== ""
        x: frame.labelCentered ? (frame.width - width) / 2 : 3
        y: -19
        width: frame.labelCentered ? 90 : frame.width
        horizontalAlignment: frame.labelCentered ? Text.AlignHCenter : Text.AlignLeft
        elide: Text.ElideRight
        text: frame.label
        color: Theme.inkSoft
        font.family: movie.fontFamily
        font.pixelSize: 12
        font.weight: Font.DemiBold
    }
}
