import QtQuick
import "Theme.js" as Theme
import "Icons.js" as Icons

// Start page: the introduction clip "MainIntro" (frame 0 plays the welcome, frame 1
// shows the choices), the picture size in "ImageSize" ("FullScreen" or
// "HalfScreen") and the way to start in "Action" ("Open" or "New").
Item {
    id: page

    readonly property string title: movie.tr("startTitle")
    readonly property var holes: []
    readonly property bool fullScreen: movie.v("ImageSize") === "FullScreen"
    readonly property bool openPictures: movie.v("Action") === "Open"

    function goOn() {
        if (intro.currentFrame === 1)
            movie.send("ChangeStep", "2")
        else
            intro.gotoFrame(1)
    }

    Clip {
        id: intro
        objectName: "MainIntro"
        name: "MainIntro"
        totalFrames: 2
        width: page.width
        height: page.height

        // The welcome moves on to the choices by itself.
        Timer {
            interval: 3600
            running: intro.currentFrame === 0
            onTriggered: intro.gotoFrame(1)
        }

        PhoneArt {
            id: phone
            x: intro.currentFrame === 0 ? 70 : 42
            y: intro.currentFrame === 0 ? 96 : 100
            scale: intro.currentFrame === 0 ? 1.12 : 1
            halfScreen: intro.currentFrame === 1 && !page.fullScreen
            // Lively through the welcome, then at rest: the page waits without work.
            bounces: 8
            Behavior on x { NumberAnimation { duration: 400; easing.type: Easing.OutCubic } }
            Behavior on scale { NumberAnimation { duration: 400; easing.type: Easing.OutCubic } }
        }

        // Frame 0: welcome
        Item {
            id: welcome
            x: 230; y: 88
            width: 310; height: 250
            opacity: intro.currentFrame === 0 ? 1 : 0
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 300 } }

            Text {
                id: headline
                width: parent.width
                text: movie.tr("introHeadline")
                color: Theme.ink
                font.family: movie.fontFamily
                font.pixelSize: 24
                font.weight: Font.Bold
                wrapMode: Text.WordWrap
            }
            Text {
                id: introText
                anchors.top: headline.bottom
                anchors.topMargin: 8
                width: parent.width
                text: movie.tr("introText")
                color: Theme.inkSoft
                font.family: movie.fontFamily
                font.pixelSize: 14
                wrapMode: Text.WordWrap
                lineHeight: 1.1
            }
            Column {
                anchors.top: introText.bottom
                anchors.topMargin: 16
                spacing: 8
                Repeater {
                    model: ["introStep1", "introStep2", "introStep3"]
                    Row {
                        required property string modelData
                        required property int index
                        spacing: 10
                        Rectangle {
                            width: 24; height: 24; radius: 12
                            color: Theme.accent
                            Text {
                                anchors.centerIn: parent
                                text: String(index + 1)
                                color: "#ffffff"
                                font.family: movie.fontFamily
                                font.pixelSize: 13
                                font.weight: Font.Bold
                            }
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 270
                            text: movie.tr(modelData)
                            color: Theme.ink
                            font.family: movie.fontFamily
                            font.pixelSize: 14
                            font.weight: Font.DemiBold
                            elide: Text.ElideRight
                        }
                    }
                }
            }
        }

        // Frame 1: the choices
        Item {
            id: choices
            x: 190; y: 72
            width: 350; height: 280
            opacity: intro.currentFrame === 1 ? 1 : 0
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 300 } }

            Text {
                id: sizeLabel
                text: movie.tr("sizeLabel")
                color: Theme.inkSoft
                font.family: movie.fontFamily
                font.pixelSize: 13
                font.weight: Font.Bold
                font.capitalization: Font.AllUppercase
                font.letterSpacing: 0.6
            }
            Row {
                id: sizeRow
                anchors.top: sizeLabel.bottom
                anchors.topMargin: 8
                spacing: 14
                ChoiceCard {
                    objectName: "choiceFullScreen"
                    width: 168
                    titleLines: 2
                    detailLines: 1
                    title: movie.tr("sizeFull")
                    detail: movie.tr("sizeFullDetail")
                    tip: movie.tr("tipSizeFull")
                    iconPath: Icons.fullScreen
                    chosen: page.fullScreen
                    onPicked: movie.setVariable("ImageSize", "FullScreen")
                }
                ChoiceCard {
                    objectName: "choiceHalfScreen"
                    width: 168
                    titleLines: 2
                    detailLines: 1
                    title: movie.tr("sizeHalf")
                    detail: movie.tr("sizeHalfDetail")
                    tip: movie.tr("tipSizeHalf")
                    iconPath: Icons.halfScreen
                    chosen: !page.fullScreen
                    onPicked: movie.setVariable("ImageSize", "HalfScreen")
                }
            }

            Text {
                id: actionLabel
                anchors.top: sizeRow.bottom
                anchors.topMargin: 16
                text: movie.tr("actionLabel")
                color: Theme.inkSoft
                font.family: movie.fontFamily
                font.pixelSize: 13
                font.weight: Font.Bold
                font.capitalization: Font.AllUppercase
                font.letterSpacing: 0.6
            }
            Column {
                id: actionRow
                anchors.top: actionLabel.bottom
                anchors.topMargin: 8
                spacing: 8
                ChoiceCard {
                    objectName: "choiceOpen"
                    width: 350
                    height: 54
                    detailLines: 1
                    title: movie.tr("actionOpen")
                    detail: movie.tr("actionOpenDetail")
                    tip: movie.tr("tipActionOpen")
                    iconPath: Icons.openPictures
                    chosen: page.openPictures
                    onPicked: movie.setVariable("Action", "Open")
                }
                ChoiceCard {
                    objectName: "choiceNew"
                    width: 350
                    height: 54
                    detailLines: 1
                    title: movie.tr("actionNew")
                    detail: movie.tr("actionNewDetail")
                    tip: movie.tr("tipActionNew")
                    iconPath: Icons.newAnimation
                    chosen: !page.openPictures
                    onPicked: movie.setVariable("Action", "New")
                }
            }
        }

        // A click on the welcome skips it.
        MouseArea {
            anchors.fill: parent
            anchors.topMargin: 60
            anchors.bottomMargin: 60
            enabled: intro.currentFrame === 0
            onClicked: intro.gotoFrame(1)
        }
    }

    NavBar {
        backVisible: false
        customNext: true
        nextTip: intro.currentFrame === 1 ? movie.tr("tipNext") : movie.tr("tipSkipIntro")
        onNextClicked: page.goOn()
    }
}
