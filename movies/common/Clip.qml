import QtQuick

// A named clip with a timeline of its own. The program reaches it by its name
// ("next", "/barre", "_root.MainIntro"...) through the movie's t* functions.
// Going to a frame stops the clip there; play() runs the timeline on from the
// current frame and stops at the last one (or wraps when `loops` is set).
Item {
    id: clip

    property string name
    property int currentFrame: 0
    property int totalFrames: 1
    property bool playing: false
    property bool loops: false
    property int frameInterval: 83          // 12 frames a second
    // A clip whose frames stand for values (a progress bar) only animates itself
    // while it plays; its frame does not move on.
    property bool playAdvances: true

    // Emitted when the clip arrives at a frame, and when the program asks it to
    // run a frame's actions without moving (callFrame).
    signal frameEntered(int frame)
    signal frameCalled(int frame)

    function gotoFrame(frame) {
        playing = false
        currentFrame = Math.max(0, Math.min(totalFrames - 1, frame))
        frameEntered(currentFrame)
    }
    function play() { playing = true }
    function stop() { playing = false }
    function callFrame(frame) { frameCalled(frame) }

    Timer {
        interval: clip.frameInterval
        repeat: true
        running: clip.playing && clip.playAdvances && clip.totalFrames > 1
        onTriggered: {
            if (clip.currentFrame + 1 < clip.totalFrames) {
                clip.currentFrame += 1
            } else if (clip.loops) {
                clip.currentFrame = 0
            } else {
                clip.playing = false
                return
            }
            clip.frameEntered(clip.currentFrame)
        }
    }

    Component.onCompleted: if (typeof movie !== "undefined") movie.registerClip(clip)
    Component.onDestruction: if (typeof movie !== "undefined") movie.unregisterClip(clip)
}
