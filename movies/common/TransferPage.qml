import QtQuick
import "Theme.js" as Theme
import "Icons.js" as Icons

// Transfer page, started without a frame (root frame 0). Frame 8 shows the
// transfer: the status text "_txt" and the progress clip "barre" (frame 0
// waiting, frames 1 to 26 from empty to full); once it is shown the movie sends
// "TransfertStarted". Frame 9 shows the result: the text "_ErrTxt" (refreshed
// when the program calls the clip "ErrTxt"), or, when "CurrentLink" is "None",
// the explanation that no phone link is set up. Frame 6 only resets.
Item {
    id: page

    readonly property string title: movie.tr("transferTitle")
    readonly property var holes: []
    readonly property int frame: movie.currentFrame
    readonly property bool transferring: frame === 8
    readonly property bool finished: frame === 9
    readonly property bool noLink: movie.v("CurrentLink") === "None"
    readonly property bool failed: /<b>/i.test(resultText.html)

    Connections {
        target: movie
        function onFrameEntered(frame) {
            if (frame === 8) {
                nav.nextClip.gotoFrame(0)
                startTimer.restart()
            } else {
                startTimer.stop()
                if (frame === 9)
                    nav.nextClip.gotoFrame(1)
            }
        }
    }

    // Sent once the transfer screen is on show, outside the program's own call.
    Timer {
        id: startTimer
        interval: 400
        onTriggered: if (page.transferring) movie.send("TransfertStarted", "")
    }

    PhoneArt {
        x: 60; y: 96
        running: page.transferring
    }

    // Waiting (frames 0 to 7)
    Text {
        visible: !page.transferring && !page.finished
        x: 210; y: 150
        width: 320
        text: movie.tr("transferPreparing")
        color: Theme.inkSoft
        font.family: movie.fontFamily
        font.pixelSize: 16
        wrapMode: Text.WordWrap
    }

    // Transfer (frame 8)
    Item {
        visible: page.transferring
        x: 200; y: 120
        width: 330; height: 160

        RichField {
            objectName: "_txt"
            width: parent.width
            html: movie.v("_txt")
            font.pixelSize: 15
        }
        Clip {
            id: bar
            name: "barre"
            y: 70
            width: parent.width
            height: 18
            totalFrames: 27
            playAdvances: false
            readonly property real done: currentFrame <= 0 ? 0 : (currentFrame - 1) / 25

            Rectangle {
                anchors.fill: parent
                radius: 9
                color: Theme.line
                clip: true
                Rectangle {
                    width: Math.max(parent.height, parent.width * bar.done)
                    visible: bar.currentFrame > 0
                    height: parent.height
                    radius: 9
                    gradient: Gradient {
                        orientation: Gradient.Horizontal
                        GradientStop { position: 0; color: Theme.select }
                        GradientStop { position: 1; color: "#55b4ff" }
                    }
                }
                // Waiting for the phone: a light sweeps along the bar.
                Rectangle {
                    id: sweep
                    visible: bar.currentFrame === 0 && bar.playing
                    width: 70; height: parent.height; radius: 9
                    color: Theme.select
                    opacity: 0.5
                    NumberAnimation on x {
                        running: sweep.visible
                        from: -70; to: bar.width
                        duration: 1200
                        loops: Animation.Infinite
                    }
                }
            }
            Text {
                anchors.right: parent.right
                y: 24
                visible: bar.currentFrame > 0
                text: Math.round(bar.done * 100) + " %"
                color: Theme.inkSoft
                font.family: movie.fontFamily
                font.pixelSize: 12
                font.weight: Font.Bold
            }
        }
    }

    // Result (frame 9)
    Item {
        visible: page.finished
        x: 200; y: 100
        width: 330; height: 220

        Rectangle {
            id: badge
            width: 44; height: 44; radius: 22
            color: page.noLink || page.failed ? Theme.danger : Theme.ok
            Glyph {
                anchors.centerIn: parent
                size: 26
                strokeWidth: 3
                color: "#ffffff"
                path: page.noLink || page.failed ? "M 12 5 L 12 14 M 12 18.5 L 12 19" : Icons.check
            }
        }
        Column {
            visible: page.noLink
            anchors.top: badge.bottom
            anchors.topMargin: 12
            width: parent.width
            spacing: 8
            Text {
                width: parent.width
                text: movie.tr("noLinkTitle")
                color: Theme.ink
                font.family: movie.fontFamily
                font.pixelSize: 18
                font.weight: Font.Bold
                wrapMode: Text.WordWrap
            }
            Text {
                width: parent.width
                text: movie.tr("noLinkText")
                color: Theme.inkSoft
                font.family: movie.fontFamily
                font.pixelSize: 14
                wrapMode: Text.WordWrap
            }
        }
        Clip {
            name: "ErrTxt"
            visible: !page.noLink
            anchors.top: badge.bottom
            anchors.topMargin: 12
            width: parent.width
            height: 150
            onFrameCalled: Qt.callLater(function () { movie.send("TransferDone", "") })
            RichField {
                id: resultText
                objectName: "_ErrTxt"
                width: parent.width
                html: movie.v("_ErrTxt")
            }
        }
    }

    NavBar {
        id: nav
        backArgs: "5"
        nextArgs: "2"
        backActive: !page.transferring
        nextLabel: movie.tr("startAgain")
        nextTip: movie.tr("tipStartAgain")
    }
}
