import QtQuick
import QtQuick.Shapes
import "Theme.js" as Theme

// The frame of every page: the window's own outline (rounded top corners, the
// lower sides curving in), the title strip and the page background. The
// rectangles in `holes` stay transparent: the program paints there itself.
Item {
    id: chrome

    property string title
    property var holes: []

    // Left edges of the lower 180 rows (offset from y 230) as the window's shape
    // has them; the right side mirrors them from x 547.
    readonly property var leftBands: [
        [1, 0, 11], [2, 11, 15], [3, 15, 20], [4, 20, 24], [5, 24, 33], [6, 33, 46],
        [7, 46, 59], [8, 59, 72], [9, 72, 85], [10, 85, 98], [11, 98, 111], [12, 111, 124],
        [13, 124, 138], [14, 138, 151], [15, 151, 160], [16, 160, 163], [17, 163, 166],
        [18, 166, 169], [19, 169, 170], [20, 170, 172], [21, 172, 173], [22, 173, 174],
        [23, 174, 175], [24, 175, 176], [25, 176, 177], [26, 177, 178], [28, 178, 179],
        [30, 179, 180]
    ]
    readonly property var rightBands: [
        [32, 0, 11], [31, 11, 15], [30, 15, 20], [29, 20, 24], [28, 24, 33], [27, 33, 46],
        [26, 46, 59], [25, 59, 72], [24, 72, 85], [23, 85, 98], [22, 98, 111], [21, 111, 124],
        [20, 124, 138], [19, 138, 151], [18, 151, 160], [17, 160, 163], [16, 163, 166],
        [15, 166, 169], [14, 169, 170], [13, 170, 172], [12, 172, 173], [11, 173, 174],
        [10, 174, 175], [9, 175, 176], [8, 176, 177], [7, 177, 178], [5, 178, 179],
        [3, 179, 180], [0, 180, 181]
    ]

    function outline() {
        var p = "M 0 8 Q 0 0 8 0 L 572 0 Q 580 0 580 8 L 580 230"
        var i, b
        for (i = 0; i < rightBands.length; ++i) {
            b = rightBands[i]
            p += " L " + (547 + b[0]) + " " + (230 + b[1]) + " L " + (547 + b[0]) + " " + (230 + b[2])
        }
        p += " L 33 411 L 33 410"
        for (i = leftBands.length - 1; i >= 0; --i) {
            b = leftBands[i]
            p += " L " + b[0] + " " + (230 + b[2]) + " L " + b[0] + " " + (230 + b[1])
        }
        return p + " L 0 230 Z"
    }

    function holePath() {
        var p = ""
        for (var i = 0; i < holes.length; ++i) {
            var r = holes[i]
            p += " M " + r.x + " " + r.y + " L " + (r.x + r.width) + " " + r.y
               + " L " + (r.x + r.width) + " " + (r.y + r.height) + " L " + r.x + " " + (r.y + r.height) + " Z"
        }
        return p
    }

    Shape {
        anchors.fill: parent
        ShapePath {
            strokeWidth: -1
            fillColor: Theme.body
            fillRule: ShapePath.OddEvenFill
            PathSvg { path: chrome.outline() + chrome.holePath() }
        }
    }

    // A soft band of colour along the bottom of pages without painted areas.
    function bandPath() {
        var p = "M 0 330 Q 290 300 580 338"
        var i, b
        for (i = 0; i < rightBands.length; ++i) {
            b = rightBands[i]
            p += " L " + (547 + b[0]) + " " + (230 + b[1]) + " L " + (547 + b[0]) + " " + (230 + b[2])
        }
        p += " L 33 411 L 33 410"
        for (i = leftBands.length - 1; i >= 0; --i) {
            b = leftBands[i]
            if (230 + b[1] < 330)
                break
            p += " L " + b[0] + " " + (230 + b[2]) + " L " + b[0] + " " + (230 + b[1])
        }
        return p + " Z"
    }
    Shape {
        anchors.fill: parent
        visible: chrome.holes.length === 0
        ShapePath {
            strokeWidth: -1
            fillColor: "#e8eef7"
            PathSvg { path: chrome.bandPath() }
        }
    }

    // Title strip: the top 25 pixels are the program's drag strip and menu corner.
    Shape {
        anchors.fill: parent
        ShapePath {
            strokeWidth: -1
            fillGradient: LinearGradient {
                x1: 0; y1: 0; x2: 580; y2: 0
                GradientStop { position: 0; color: Theme.headerFrom }
                GradientStop { position: 1; color: Theme.headerTo }
            }
            PathSvg { path: "M 0 8 Q 0 0 8 0 L 572 0 Q 580 0 580 8 L 580 " + Theme.headerHeight
                            + " L 0 " + Theme.headerHeight + " Z" }
        }
    }

    // Friendly bubbles in the strip.
    Rectangle { x: 430; y: -38; width: 96; height: 96; radius: 48; color: "#ffffff"; opacity: 0.07 }
    Rectangle { x: 478; y: 22; width: 52; height: 52; radius: 26; color: "#ffffff"; opacity: 0.06 }
    Rectangle { x: 360; y: 30; width: 28; height: 28; radius: 14; color: "#ffffff"; opacity: 0.08 }
    Rectangle { y: Theme.headerHeight - 1; width: parent.width; height: 1; color: "#163270"; opacity: 0.4 }

    // Menu glyph in the corner the program opens its menu from.
    Column {
        x: 7; y: 8
        spacing: 3
        Repeater {
            model: 3
            Rectangle { width: 13; height: 2; radius: 1; color: Theme.headerInk; opacity: 0.9 }
        }
    }

    Text {
        x: 30; y: 4
        text: movie.tr("appName")
        color: Theme.headerInk
        opacity: 0.85
        font.family: movie.fontFamily
        font.pixelSize: 12
        font.weight: Font.DemiBold
        font.letterSpacing: 0.4
    }

    Text {
        x: 30; y: 24
        width: 480
        elide: Text.ElideRight
        text: chrome.title
        color: Theme.headerInk
        font.family: movie.fontFamily
        font.pixelSize: 21
        font.weight: Font.Bold
    }
}
