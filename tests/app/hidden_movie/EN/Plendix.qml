import QtQuick

// A movie with every kind of animation a page may hold, for the tests of what
// the movie control does while the movie is out of sight: each moves the item
// named after it.
Item {
    id: root
    property int frm: 0
    signal fsCommand(string command, string args)
    width: 580
    height: 411

    // Set by the test: starts the animation that waits for it.
    property bool later: false

    Rectangle {
        objectName: "free"
        width: 10; height: 10
        NumberAnimation on x { from: 0; to: 500; duration: 1000; loops: Animation.Infinite }
    }
    Rectangle {
        objectName: "grouped"
        width: 10; height: 10
        SequentialAnimation on y {
            loops: Animation.Infinite
            NumberAnimation { from: 0; to: 300; duration: 700 }
            ParallelAnimation {
                NumberAnimation { to: 0; duration: 700 }
            }
        }
    }
    Rectangle {
        objectName: "late"
        width: 10; height: 10
        NumberAnimation on x { running: root.later; from: 0; to: 500; duration: 1000; loops: Animation.Infinite }
    }
    Rectangle {
        id: standalone
        objectName: "standalone"
        width: 10; height: 10
        NumberAnimation {
            target: standalone; property: "rotation"
            from: 0; to: 360; duration: 1000; loops: Animation.Infinite; running: true
        }
    }
    // Paused by the movie itself when the test asks: it stays so when the page shows again.
    function pauseOwn() { ownAnimation.pause() }
    Rectangle {
        objectName: "ownPause"
        width: 10; height: 10
        NumberAnimation on x { id: ownAnimation; from: 0; to: 500; duration: 1000; loops: Animation.Infinite }
    }
    Rectangle {
        objectName: "behaving"
        width: 10; height: 10
        Behavior on x { NumberAnimation { duration: 400 } }
    }
    Loader {
        sourceComponent: Component {
            Rectangle {
                objectName: "loaded"
                width: 10; height: 10
                RotationAnimation on rotation { from: 0; to: 360; duration: 900; loops: Animation.Infinite }
            }
        }
    }
    Repeater {
        model: 2
        Rectangle {
            objectName: "repeated"
            width: 10; height: 10
            NumberAnimation on opacity { from: 0; to: 1; duration: 800; loops: Animation.Infinite }
        }
    }
    states: State {
        name: "moved"
        when: root.later
        PropertyChanges { target: root; opacity: 0.5 }
    }
    transitions: Transition {
        NumberAnimation { property: "opacity"; duration: 300 }
    }
}
