import QtQuick
import "Theme.js" as Theme

// "reduce" and "exit", at the top right beyond the program's drag strip.
Row {
    spacing: 4
    Repeater {
        model: [
            { command: "reduce", tip: "tipReduce", path: "M 7 12 L 17 12" },
            { command: "exit", tip: "tipExit", path: "M 8 8 L 16 16 M 16 8 L 8 16" }
        ]
        delegate: Item {
            id: wb
            required property var modelData
            objectName: "window_" + modelData.command
            width: 24
            height: 20
            Rectangle {
                anchors.fill: parent
                radius: 6
                color: wbArea.containsMouse ? (wb.modelData.command === "exit" ? Theme.danger : "#ffffff")
                                            : "transparent"
                opacity: wbArea.containsMouse && wb.modelData.command !== "exit" ? 0.25 : 1
            }
            Glyph {
                anchors.centerIn: parent
                size: 18
                path: wb.modelData.path
                color: Theme.headerInk
                strokeWidth: 2.2
            }
            MouseArea {
                id: wbArea
                anchors.fill: parent
                hoverEnabled: true
                onEntered: movie.enterTip(movie.tr(wb.modelData.tip))
                onExited: movie.leaveTip(movie.tr(wb.modelData.tip))
                onClicked: movie.send(wb.modelData.command, "")
            }
        }
    }
}
