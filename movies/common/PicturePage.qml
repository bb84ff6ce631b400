import QtQuick
import "Theme.js" as Theme
import "Icons.js" as Icons

// Picture editor. The program paints the picture box (182 x 182 at (33, 109)) and
// the preview (128 x 128 at (406, 135)). "_SelectType" holds "All" when the whole
// picture is used, "Selection" otherwise. Arriving at root frame 5 resets the
// lightness slider and the apply-to-all box, as the page starts a fresh edit.
Item {
    id: page

    readonly property string title: movie.tr("pictureTitle")
    readonly property rect pictureArea: Qt.rect(33, 109, 182, 182)
    readonly property rect previewArea: Qt.rect(406, 135, 128, 128)
    readonly property var holes: [pictureArea, previewArea]
    readonly property bool wholePicture: movie.v("_SelectType").toLowerCase() === "all"
    property bool applyAll: false

    function reset() {
        lightness.setValue(0)
        applyAll = false
    }

    Connections {
        target: movie
        function onFrameEntered(frame) { if (frame === 5) page.reset() }
    }

    // The program reads "TxtAnimFull" when an insertion finds the animation
    // full, and puts the number of pictures left out in place of "%1%".
    Component.onCompleted: {
        if (movie.getVariable("TxtAnimFull") === "")
            movie.setVariable("TxtAnimFull", movie.tr("animFull"))
    }

    Chip {
        x: 36; y: 68
        text: movie.v("filename")
        iconPath: Icons.openPictures
        maxWidth: 340
    }

    HoleFrame { area: page.pictureArea }
    Text {
        x: 33; y: 298
        width: 182
        horizontalAlignment: Text.AlignHCenter
        text: movie.tr("pictureLabel")
        color: Theme.inkSoft
        font.family: movie.fontFamily
        font.pixelSize: 12
        font.weight: Font.DemiBold
        elide: Text.ElideRight
    }
    HoleFrame { area: page.previewArea; label: movie.tr("previewLabel"); ringColor: Theme.accent }

    Text {
        x: 406; y: 270
        width: 128
        horizontalAlignment: Text.AlignHCenter
        text: movie.tr("previewHint")
        color: Theme.inkFaint
        font.family: movie.fontFamily
        font.pixelSize: 11
        wrapMode: Text.WordWrap
    }

    Column {
        x: 230; y: 98
        width: 166
        spacing: 6

        Caption { text: movie.tr("turnLabel") }
        Row {
            spacing: 6
            IconBtn { objectName: "ButtonRotateleft"; iconPath: Icons.rotateLeft; tip: movie.tr("tipRotateLeft"); onClicked: movie.send("ButtonRotateleft", "") }
            IconBtn { objectName: "ButtonRotateright"; iconPath: Icons.rotateRight; tip: movie.tr("tipRotateRight"); onClicked: movie.send("ButtonRotateright", "") }
            IconBtn { objectName: "ButtonMirror"; iconPath: Icons.mirror; tip: movie.tr("tipMirror"); onClicked: movie.send("ButtonMirror", "") }
            IconBtn { objectName: "ButtonFlip"; iconPath: Icons.flip; tip: movie.tr("tipFlip"); onClicked: movie.send("ButtonFlip", "") }
        }

        Caption { text: movie.tr("useLabel"); topPadding: 4 }
        Repeater {
            model: [["Selection", "useSelection", "tipUseSelection"], ["All", "useAll", "tipUseAll"]]
            Item {
                id: option
                required property var modelData
                readonly property bool chosen: (modelData[0] === "All") === page.wholePicture
                objectName: "select" + modelData[0]
                width: 166; height: 22
                Rectangle {
                    x: 1; anchors.verticalCenter: parent.verticalCenter
                    width: 18; height: 18; radius: 9
                    color: Theme.card
                    border.width: option.chosen ? 5 : 1.5
                    border.color: option.chosen ? Theme.select : Theme.hole
                }
                Text {
                    x: 26; anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - 26
                    text: movie.tr(option.modelData[1])
                    color: Theme.ink
                    font.family: movie.fontFamily
                    font.pixelSize: 13
                    font.weight: option.chosen ? Font.DemiBold : Font.Normal
                    elide: Text.ElideRight
                }
                MouseArea {
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onEntered: movie.enterTip(movie.tr(option.modelData[2]))
                    onExited: movie.leaveTip(movie.tr(option.modelData[2]))
                    onClicked: {
                        movie.setVariable("_SelectType", option.modelData[0])
                        movie.send("SelectAll", option.modelData[0])
                    }
                }
            }
        }

        Caption { text: movie.tr("lightnessLabel"); topPadding: 4 }
        Row {
            spacing: 6
            Glyph { anchors.verticalCenter: parent.verticalCenter; size: 12; path: Icons.sun; color: Theme.inkFaint; strokeWidth: 2.4 }
            Item {
                id: lightness
                objectName: "lightness"
                width: 120; height: 24
                // -60 (darker) to 60 (lighter); the program divides by 60.
                property int value: 0
                property int sent: 0
                function setValue(v) {
                    value = Math.max(-60, Math.min(60, Math.round(v)))
                    knob.x = value + 60 - 9
                    sent = value
                }
                function dragTo(px) {
                    value = Math.max(-60, Math.min(60, Math.round(px) - 60))
                    knob.x = value + 60 - 9
                    if (value !== sent) {
                        sent = value
                        movie.send("lightness", String(value))
                    }
                }
                Rectangle {
                    y: 9; width: 120; height: 6; radius: 3
                    gradient: Gradient {
                        orientation: Gradient.Horizontal
                        GradientStop { position: 0; color: "#33414f" }
                        GradientStop { position: 1; color: "#ffe38a" }
                    }
                }
                Rectangle { x: 59; y: 5; width: 2; height: 14; color: Theme.hole }
                Rectangle {
                    id: knob
                    x: 51; y: 3
                    width: 18; height: 18; radius: 9
                    color: Theme.card
                    border.width: 3
                    border.color: Theme.select
                }
                MouseArea {
                    anchors.fill: parent
                    anchors.margins: -4
                    hoverEnabled: true
                    cursorShape: Qt.SizeHorCursor
                    onEntered: movie.enterTip(movie.tr("tipLightness"))
                    onExited: movie.leaveTip(movie.tr("tipLightness"))
                    onPressed: function (mouse) { lightness.dragTo(mouse.x - 4) }
                    onPositionChanged: function (mouse) { if (pressed) lightness.dragTo(mouse.x - 4) }
                    onDoubleClicked: { lightness.setValue(0); movie.send("lightness", "0") }
                }
            }
            Glyph { anchors.verticalCenter: parent.verticalCenter; size: 18; path: Icons.sun; color: "#e0a400"; strokeWidth: 2 }
        }

        Item {
            id: applyBox
            objectName: "applyAll"
            width: 166; height: 36
            Rectangle {
                x: 1; y: 6
                width: 18; height: 18; radius: 5
                color: page.applyAll ? Theme.select : Theme.card
                border.width: page.applyAll ? 0 : 1.5
                border.color: Theme.hole
                Glyph { anchors.centerIn: parent; size: 14; path: Icons.check; color: "#ffffff"; strokeWidth: 3; visible: page.applyAll }
            }
            Text {
                x: 26; y: 6
                width: parent.width - 26
                text: movie.tr("applyAll")
                color: Theme.ink
                font.family: movie.fontFamily
                font.pixelSize: 13
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onEntered: movie.enterTip(movie.tr("tipApplyAll"))
                onExited: movie.leaveTip(movie.tr("tipApplyAll"))
                onClicked: {
                    page.applyAll = !page.applyAll
                    movie.send("SelectApply", page.applyAll ? "All" : "One")
                }
            }
        }
    }

    NavBar {
        backArgs: "2"
        nextArgs: "4"
    }
}
