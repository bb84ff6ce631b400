import QtQuick
import "Theme.js" as Theme

// A friendly phone whose screen plays a little animation; with `halfScreen`
// the animation uses the middle quarter of the screen only.
Item {
    id: phone

    property bool halfScreen: false
    property bool running: true
    // How often the ball bounces before it comes to rest on the grass; a page
    // left open then costs nothing to show. Animation.Infinite: for ever.
    property int bounces: Animation.Infinite

    width: 112
    height: 214

    // Plays the bounces again from the grass, as many as `bounces` says.
    function replay() {
        if (!phone.running)
            return
        hopping.restart()
        sweeping.restart()
    }

    Rectangle {
        anchors.fill: parent
        anchors.leftMargin: 4
        anchors.topMargin: 6
        radius: 22
        color: "#000000"
        opacity: 0.12
    }
    Rectangle {
        id: body
        width: parent.width - 4
        height: parent.height - 6
        radius: 22
        gradient: Gradient {
            GradientStop { position: 0; color: "#3a4a5e" }
            GradientStop { position: 1; color: "#1f2a38" }
        }
        Rectangle { x: 40; y: 10; width: 28; height: 4; radius: 2; color: "#5d6e83" }

        Rectangle {
            id: screen
            x: 10; y: 22
            width: 88; height: 88
            radius: 4
            color: "#0d1620"
            clip: true

            Item {
                id: stage
                objectName: "phoneStage"
                width: phone.halfScreen ? 44 : 88
                height: width
                anchors.centerIn: parent
                clip: true
                Behavior on width { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }

                Rectangle {
                    anchors.fill: parent
                    gradient: Gradient {
                        GradientStop { position: 0; color: "#5ec8ff" }
                        GradientStop { position: 0.7; color: "#b9ecff" }
                        GradientStop { position: 0.71; color: "#7bd17a" }
                        GradientStop { position: 1; color: "#4fae57" }
                    }
                }
                Rectangle {
                    id: sun
                    width: stage.width * 0.26; height: width; radius: width / 2
                    x: stage.width * 0.68; y: stage.width * 0.08
                    color: "#ffd54a"
                    border.width: 2
                    border.color: "#ffe98f"
                }
                Rectangle {
                    id: ball
                    objectName: "phoneBall"
                    // The animations move these two, in parts of the stage, and the
                    // ball follows the stage when the screen size changes, even
                    // while it bounces: 0 on the grass to 1 at the top of a hop,
                    // and its left edge from 0.1 to 0.55 of the stage's width.
                    property real hop: 0
                    property real sweep: 0.2
                    width: stage.width * 0.2; height: width; radius: width / 2
                    x: stage.width * sweep
                    y: stage.height * 0.7 - height - hop * (stage.height * 0.52 - height)
                    color: Theme.accent
                    SequentialAnimation on hop {
                        id: hopping
                        running: phone.running
                        loops: phone.bounces
                        NumberAnimation { to: 1; duration: 420; easing.type: Easing.OutQuad }
                        NumberAnimation { to: 0; duration: 420; easing.type: Easing.InQuad }
                    }
                    // One sweep across takes four bounces: both end together.
                    SequentialAnimation on sweep {
                        id: sweeping
                        running: phone.running
                        loops: phone.bounces === Animation.Infinite ? Animation.Infinite
                                                                    : Math.max(1, Math.ceil(phone.bounces / 4))
                        NumberAnimation { to: 0.55; duration: 1680; easing.type: Easing.InOutSine }
                        NumberAnimation { to: 0.1; duration: 1680; easing.type: Easing.InOutSine }
                    }
                }
            }
        }

        // Keypad
        Grid {
            x: 17; y: 124
            columns: 3
            rowSpacing: 6
            columnSpacing: 8
            Repeater {
                model: 12
                Rectangle { width: 20; height: 12; radius: 6; color: "#4a5b70" }
            }
        }
    }
}
