import QtQuick
import "Theme.js" as Theme

// A small upper-case heading over a group of controls.
Text {
    color: Theme.inkSoft
    font.family: movie.fontFamily
    font.pixelSize: 12
    font.weight: Font.Bold
    property bool upperCase: true
    font.capitalization: upperCase ? Font.AllUppercase : Font.MixedCase
    font.letterSpacing: 0.5
}
