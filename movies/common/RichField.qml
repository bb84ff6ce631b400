import QtQuick
import "Theme.js" as Theme

// A text field that the program fills with HTML through a variable. The font
// faces the program names are shown in the movie's own font, and line breaks
// in the text become breaks on screen.
Text {
    id: field
    property string html

    function display(source) {
        return source.replace(/face="[^"]*"/gi, 'face="' + movie.fontFamily + '"')
                     .replace(/\r?\n/g, "<br>")
    }

    text: display(html)
    textFormat: Text.RichText
    wrapMode: Text.WordWrap
    color: Theme.ink
    font.family: movie.fontFamily
    font.pixelSize: 14
    linkColor: Theme.select
}
