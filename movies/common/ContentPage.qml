import QtQuick
import "Theme.js" as Theme
import "Icons.js" as Icons

// Content page: the program shows its folder tree at (37, 140) 255 x 190 and the
// thumbnails at (302, 140) 250 x 190. Next starts disabled (clip "next", frame 0)
// until the program enables it for a chosen picture.
Item {
    id: page

    readonly property string title: movie.tr("contentTitle")
    readonly property rect treeArea: Qt.rect(37, 140, 255, 190)
    readonly property rect listArea: Qt.rect(302, 140, 250, 190)
    readonly property var holes: [treeArea, listArea]

    Text {
        x: 40; y: 70
        width: 250
        text: movie.tr("contentHint")
        color: Theme.inkSoft
        font.family: movie.fontFamily
        font.pixelSize: 13
        wrapMode: Text.WordWrap
        maximumLineCount: 3
        elide: Text.ElideRight
    }

    Row {
        x: 550 - width
        y: 72
        spacing: 8
        Btn {
            objectName: "myContent"
            minWidth: 0
            text: movie.tr("myContent")
            tip: movie.tr("tipMyContent")
            iconPath: Icons.folder
            onClicked: movie.send("MyContent", "")
        }
        Btn {
            objectName: "parentDir"
            minWidth: 0
            text: movie.tr("parentDir")
            tip: movie.tr("tipParentDir")
            iconPath: Icons.up
            onClicked: movie.send("ParentDir", "")
        }
    }

    HoleFrame { area: page.treeArea; label: movie.tr("foldersLabel") }
    HoleFrame { area: page.listArea; label: movie.tr("picturesLabel") }

    NavBar {
        backArgs: "1"
        nextArgs: "3"
        nextStartFrame: 0
    }
}
