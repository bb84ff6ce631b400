import QtQuick
import "Theme.js" as Theme
import "Icons.js" as Icons

// Save page. The program fills "TxtPrepTr" (the movie's sentence with %1% for the
// file name and %2% for its size) and "CurrentLink" (the kind of phone link),
// then calls the clip "IllTr" at frame 0, which plays the illustration again:
// the animation travels to the phone three times while the phone bounces, then
// both rest, the animation on the phone, so a page left open costs nothing.
Item {
    id: page

    readonly property string title: movie.tr("saveTitle")
    readonly property var holes: []
    readonly property string link: movie.v("CurrentLink")

    Clip {
        id: illustration
        name: "IllTr"
        x: 40; y: 78
        width: 500; height: 150
        onFrameCalled: {
            flow.restart()
            phone.replay()
        }

        Rectangle {
            anchors.fill: parent
            radius: 18
            color: Theme.card
            border.width: 1
            border.color: Theme.line
        }

        // Computer
        Item {
            x: 46; y: 30
            width: 110; height: 96
            Rectangle {
                width: 110; height: 72; radius: 8
                color: "#2d3b4d"
                Rectangle {
                    x: 7; y: 7; width: 96; height: 58; radius: 3
                    gradient: Gradient {
                        GradientStop { position: 0; color: "#5ec8ff" }
                        GradientStop { position: 1; color: "#b9ecff" }
                    }
                    Rectangle { x: 36; y: 16; width: 26; height: 26; radius: 4; color: Theme.accent }
                }
            }
            Rectangle { x: 45; y: 72; width: 20; height: 12; color: "#4a5b70" }
            Rectangle { x: 25; y: 84; width: 60; height: 6; radius: 3; color: "#4a5b70" }
        }

        // The link between them, with the animation travelling along it
        Item {
            id: wire
            x: 172; y: 62
            width: 176; height: 24
            Repeater {
                model: 12
                Rectangle {
                    required property int index
                    x: index * 15; y: 10
                    width: 6; height: 4; radius: 2
                    color: Theme.hole
                }
            }
            Rectangle {
                id: packet
                y: 3
                width: 18; height: 18; radius: 4
                color: Theme.accent
            }
            SequentialAnimation {
                id: flow
                running: true
                loops: 3
                NumberAnimation { target: packet; property: "x"; from: 0; to: wire.width - packet.width; duration: 1800; easing.type: Easing.InOutQuad }
                PauseAnimation { duration: 500 }
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                y: 32
                text: page.link === "" ? "" : movie.tr("linkLabel") + " " + (page.link === "None" ? movie.tr("linkNone") : page.link)
                color: Theme.inkSoft
                font.family: movie.fontFamily
                font.pixelSize: 12
                font.weight: Font.DemiBold
            }
        }

        PhoneArt {
            id: phone
            x: 370; y: 14
            bounces: 8
            scale: 0.58
            transformOrigin: Item.TopLeft
        }
    }

    RichField {
        objectName: "TxtPrepTr"
        x: 50; y: 246
        width: 480
        html: movie.v("TxtPrepTr")
        font.pixelSize: 15
        horizontalAlignment: Text.AlignHCenter
    }

    Btn {
        objectName: "SaveOnComp"
        x: 290 - width / 2
        y: 300
        text: movie.tr("saveCopy")
        tip: movie.tr("tipSaveCopy")
        iconPath: Icons.save
        onClicked: movie.send("SaveOnComp", "")
    }

    NavBar {
        backArgs: "4"
        nextArgs: "6"
        nextLabel: movie.tr("sendToPhone")
        nextTip: movie.tr("tipSendToPhone")
    }
}
