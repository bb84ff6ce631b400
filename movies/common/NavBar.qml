import QtQuick
import "Theme.js" as Theme

// Back and next at the bottom of a page. Next lives in the clip "next":
// frame 0 shows it disabled, frame 1 enabled.
Item {
    id: nav

    property string backArgs
    property string nextArgs
    property bool backVisible: true
    property bool backActive: true
    property string backLabel: movie.tr("back")
    property string nextLabel: movie.tr("next")
    property string backTip: movie.tr("tipBack")
    property string nextTip: movie.tr("tipNext")
    property int nextStartFrame: 1
    property alias nextClip: nextClip
    // When set, the page decides what next does instead of sending "ChangeStep".
    property bool customNext: false
    signal nextClicked()

    x: 0
    y: 362
    width: 580
    height: 36

    Btn {
        objectName: "back"
        x: 44
        visible: nav.backVisible
        active: nav.backActive
        text: nav.backLabel
        tip: nav.backTip
        iconPath: "M 15 6 L 9 12 L 15 18"
        onClicked: movie.send("ChangeStep", nav.backArgs)
    }

    Clip {
        id: nextClip
        name: "next"
        totalFrames: 2
        currentFrame: nav.nextStartFrame
        x: 536 - nextButton.width
        Btn {
            id: nextButton
            objectName: "nextButton"
            primary: true
            active: nextClip.currentFrame === 1
            text: nav.nextLabel
            tip: nav.nextTip
            iconPath: "M 9 6 L 15 12 L 9 18"
            iconAfter: true
            onClicked: {
                if (nav.customNext)
                    nav.nextClicked()
                else
                    movie.send("ChangeStep", nav.nextArgs)
            }
        }
    }
}
