import QtQuick
import "Theme.js" as Theme

// One of a group of choices: a card with an icon, a title and a line of detail.
Item {
    id: card

    property string title
    property string detail
    property string tip
    property bool chosen: false
    property string iconPath
    property int titleLines: 1
    property int detailLines: 2
    signal picked()

    width: 164
    height: 72

    Rectangle {
        anchors.fill: parent
        radius: 12
        color: card.chosen ? Theme.selectSoft : (area.containsMouse ? "#f7faff" : Theme.card)
        border.width: card.chosen ? 2 : 1
        border.color: card.chosen ? Theme.select : Theme.line
    }

    Rectangle {
        id: artBox
        x: 10
        anchors.verticalCenter: parent.verticalCenter
        width: 38
        height: 38
        radius: 10
        color: card.chosen ? Theme.select : "#eef2f8"
        Glyph {
            anchors.centerIn: parent
            size: 26
            path: card.iconPath
            color: card.chosen ? "#ffffff" : Theme.select
            strokeWidth: 1.8
        }
    }

    Column {
        anchors.left: artBox.right
        anchors.leftMargin: 9
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        spacing: 1
        Text {
            width: parent.width
            text: card.title
            color: Theme.ink
            font.family: movie.fontFamily
            font.pixelSize: 14
            font.weight: Font.Bold
            wrapMode: Text.WordWrap
            maximumLineCount: card.titleLines
            elide: Text.ElideRight
            lineHeight: 0.9
        }
        Text {
            width: parent.width
            text: card.detail
            color: Theme.inkSoft
            font.family: movie.fontFamily
            font.pixelSize: 11
            wrapMode: Text.WordWrap
            maximumLineCount: card.detailLines
            elide: Text.ElideRight
            lineHeight: 0.95
        }
    }

    Rectangle {
        visible: card.chosen
        x: parent.width - 12
        y: -6
        width: 18
        height: 18
        radius: 9
        color: Theme.select
        border.width: 2
        border.color: "#ffffff"
        Glyph { anchors.centerIn: parent; size: 12; path: "M 5 12.5 L 10 17 L 19 7"; color: "#ffffff"; strokeWidth: 3.5 }
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onEntered: movie.enterTip(card.tip)
        onExited: movie.leaveTip(card.tip)
        onClicked: card.picked()
    }
}
