import QtQuick
import "Theme.js" as Theme

// A small upper-case heading over a group of controls.
Text {
    color: Theme.inkSoft
    font.family: movie.fontFamily
    font.pixelSize: 12
    font.weight: Font.Bold
    font.capitalization: Font.AllUppercase
    font.letterSpacing: 0.5
}
