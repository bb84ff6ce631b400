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
        x: 40; y: 66
        width: 500
        text: movie.tr("contentHint")
        color: Theme.inkSoft
        font.family: movie.fontFamily
        font.pixelSize: 13
        wrapMode: Text.WordWrap
        maximumLineCount: 2
        elide: Text.ElideRight
    }

    // The folder buttons head the folder tree.
    Row {
        id: folderButtons
        x: 292 - width
        y: 104
        spacing: 6
        Btn {
            objectName: "myContent"
            compact: true
            minWidth: 0
            text: movie.tr("myContent")
            tip: movie.tr("tipMyContent")
            iconPath: Icons.folder
            onClicked: movie.send("MyContent", "")
        }
        IconBtn {
            objectName: "parentDir"
            size: 28
            iconPath: Icons.up
            tip: movie.tr("tipParentDir")
            onClicked: movie.send("ParentDir", "")
        }
    }
    Caption {
        x: 40; y: 112
        width: folderButtons.x - 46
        elide: Text.ElideRight
        upperCase: false
        font.pixelSize: 13
        text: movie.tr("foldersLabel")
    }
    Caption {
        x: 305; y: 112
        width: 240
        elide: Text.ElideRight
        upperCase: false
        font.pixelSize: 13
        text: movie.tr("picturesLabel")
    }

    HoleFrame { area: page.treeArea }
    HoleFrame { area: page.listArea }

    NavBar {
        backArgs: "1"
        nextArgs: "3"
        nextStartFrame: 0
    }
}
