import QtQuick
import QtQuick.Shapes

// A line icon drawn from a path in a 24 x 24 box.
Item {
    id: glyph
    property string path
    property color color: "#1d2b3a"
    property real strokeWidth: 2
    property bool filled: false
    property real size: 20

    width: size
    height: size

    Shape {
        width: 24
        height: 24
        scale: glyph.size / 24
        transformOrigin: Item.TopLeft
        antialiasing: true
        ShapePath {
            strokeColor: glyph.color
            strokeWidth: glyph.strokeWidth
            fillColor: glyph.filled ? glyph.color : "transparent"
            capStyle: ShapePath.RoundCap
            joinStyle: ShapePath.RoundJoin
            PathSvg { path: glyph.path }
        }
    }
}
