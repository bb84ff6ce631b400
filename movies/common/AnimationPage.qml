import QtQuick
import "Theme.js" as Theme
import "Icons.js" as Icons

// Animation editor. Root frame 4 shows a new, still empty animation; frames 3
// and 5 the editor. The program paints the frame strip (three 64 x 64 squares at
// (74, 127), (166, 127), (258, 127)) and the playback preview (128 x 128 at
// (401, 155)); it moves "DurationCursor" to x = 133 + position (0 to 120) and the
// movie sends "duration" with the position the user drags it to.
Item {
    id: page

    readonly property string title: movie.tr("animTitle")
    readonly property bool empty: movie.currentFrame === 4
    readonly property var strip: [Qt.rect(74, 127, 64, 64), Qt.rect(166, 127, 64, 64), Qt.rect(258, 127, 64, 64)]
    readonly property rect previewArea: Qt.rect(401, 155, 128, 128)
    readonly property var holes: empty ? [] : strip.concat([previewArea])
    readonly property int trackLeft: 133
    readonly property int trackLength: 120
    // The program says whether the preview plays (the space key also toggles it).
    readonly property bool playing: movie.v("AnimPlaying") !== "0"
    // The program is making the animation fit: nothing that changes it is answered.
    readonly property bool fitting: movie.v("AnimFitting") === "1"

    function fill(template, a, b, c) {
        return template.replace("%1", a).replace("%2", b).replace("%3", c === undefined ? "" : c)
    }

    // What the last fitting did, in the language's words; "" when there is nothing to say.
    function fitReport() {
        if (movie.v("AnimFitDone") !== "1")
            return ""
        var colours = movie.v("AnimFitColours")
        var kept = movie.v("AnimFitKept")
        var of = movie.v("AnimFitOf")
        if (colours !== "" && kept !== "")
            return fill(movie.tr("fitColoursFrames"), colours, kept, of)
        if (colours !== "")
            return fill(movie.tr("fitColours"), colours, "")
        if (kept !== "")
            return fill(movie.tr("fitFrames"), kept, of)
        return movie.tr("fitCoder")
    }

    // Bytes as kilobytes with one decimal, written the language's way.
    function kilobytes(bytes) {
        return (Number(bytes) / 1024).toLocaleString(Qt.locale(movie.tr("meterLocale")), "f", 1)
    }

    // ---- editor (frames 3 and 5) -------------------------------------------
    Item {
        id: editor
        anchors.fill: parent
        visible: !page.empty

        Chip {
            x: 40; y: 70
            text: movie.v("filename")
            iconPath: Icons.openPictures
        }

        // Size meter: the file the animation makes against the phone's limit.
        // The program sets "AnimBytes" (empty while it measures), "AnimMaxBytes",
        // "AnimFill" (0..100) and "AnimFits" ("1" or "0"). The strip to its
        // right, x 480 to 560, holds "Make it fit" while the animation is too big.
        Item {
            id: sizeMeter
            objectName: "sizeMeter"
            readonly property string bytes: movie.v("AnimBytes")
            readonly property bool known: bytes !== ""
            readonly property bool over: known && movie.v("AnimFits") === "0"
            readonly property real share: known ? Math.max(0, Math.min(100, Number(movie.v("AnimFill")))) / 100 : 0
            visible: movie.v("AnimMaxBytes") !== ""
            x: 304; y: 64
            width: 170; height: 34

            Text {
                objectName: "sizeMeterLabel"
                width: parent.width
                text: sizeMeter.over ? movie.tr("meterOver") : movie.tr("meterLabel")
                color: sizeMeter.over ? Theme.danger : Theme.inkSoft
                font.family: movie.fontFamily
                font.pixelSize: 11
                font.weight: Font.DemiBold
                elide: Text.ElideRight
            }
            Rectangle {
                y: 22
                width: parent.width - meterValue.implicitWidth - 8
                height: 8
                radius: 4
                color: Theme.line
                Rectangle {
                    objectName: "sizeMeterBar"
                    width: Math.max(sizeMeter.known ? height : 0, parent.width * sizeMeter.share)
                    height: parent.height
                    radius: 4
                    color: sizeMeter.over ? Theme.danger : (sizeMeter.share >= 0.85 ? Theme.accent : Theme.ok)
                }
            }
            Text {
                id: meterValue
                objectName: "sizeMeterValue"
                anchors.right: parent.right
                y: 18
                text: sizeMeter.known
                      ? page.fill(movie.tr("meterValue"), page.kilobytes(sizeMeter.bytes), page.kilobytes(movie.v("AnimMaxBytes")))
                      : movie.tr("meterMeasuring")
                color: sizeMeter.over ? Theme.danger : Theme.ink
                font.family: movie.fontFamily
                font.pixelSize: 11
                font.weight: Font.Bold
            }
            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                onEntered: movie.enterTip(movie.tr("tipMeter"))
                onExited: movie.leaveTip(movie.tr("tipMeter"))
            }
        }

        // "Make it fit": only while the meter shows the animation too big, and
        // busy while the program works on it ("AnimFitting" "1").
        Item {
            id: fitButton
            objectName: "ButtonMakeFit"
            visible: sizeMeter.visible && (sizeMeter.over || page.fitting)
            x: 480; y: 64
            width: 80; height: 34

            Rectangle {
                anchors.fill: parent
                radius: 10
                color: page.fitting ? Theme.accentSoft : (fitArea.containsMouse ? Theme.accentDark : Theme.accent)
                border.width: page.fitting ? 1 : 0
                border.color: Theme.accent
            }
            Text {
                objectName: "fitButtonLabel"
                anchors.fill: parent
                anchors.margins: 3
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                text: page.fitting ? movie.tr("fitWorking") : movie.tr("fitButton")
                color: page.fitting ? Theme.accentDark : "#ffffff"
                font.family: movie.fontFamily
                font.pixelSize: 11
                font.weight: Font.Bold
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
                lineHeight: 0.9
                SequentialAnimation on opacity {
                    running: page.fitting
                    loops: Animation.Infinite
                    alwaysRunToEnd: true
                    NumberAnimation { to: 0.35; duration: 450 }
                    NumberAnimation { to: 1; duration: 450 }
                }
            }
            MouseArea {
                id: fitArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: page.fitting ? Qt.BusyCursor : Qt.PointingHandCursor
                // Later, not at once: the button appears and goes from under the
                // mouse while the meter's bindings are being worked out, and a
                // tip set then would change the variables they read.
                onEntered: Qt.callLater(movie.enterTip, movie.tr("tipFit"))
                onExited: Qt.callLater(movie.leaveTip, movie.tr("tipFit"))
                onClicked: if (!page.fitting) movie.send("ButtonMakeFit", "")
            }
        }

        // What the last fitting did, until the animation changes again.
        Text {
            objectName: "fitReport"
            visible: text !== ""
            x: 330; y: 101
            width: 230
            text: page.fitReport()
            color: Theme.ok
            font.family: movie.fontFamily
            font.pixelSize: 11
            font.weight: Font.DemiBold
            wrapMode: Text.WordWrap
            maximumLineCount: 2
            elide: Text.ElideRight
        }

        Repeater {
            model: 3
            HoleFrame {
                required property int index
                area: page.strip[index]
                label: movie.tr(["framePrevious", "frameSelected", "frameNext"][index])
                ringColor: index === 1 ? Theme.accent : Theme.hole
                labelCentered: true
            }
        }
        Repeater {
            model: [["prevFrm", 74], ["curFrm", 166], ["nextFrm", 258]]
            Rectangle {
                required property var modelData
                required property int index
                readonly property string value: movie.v(modelData[0])
                visible: value !== ""
                x: modelData[1] + 32 - width / 2
                y: 197
                width: Math.max(22, number.implicitWidth + 12)
                height: 18
                radius: 9
                color: index === 1 ? Theme.accent : Theme.inkSoft
                Text {
                    id: number
                    anchors.centerIn: parent
                    text: parent.value
                    color: "#ffffff"
                    font.family: movie.fontFamily
                    font.pixelSize: 11
                    font.weight: Font.Bold
                }
            }
        }

        Row {
            x: 198 - width / 2
            y: 222
            spacing: 6
            enabled: !page.fitting
            opacity: enabled ? 1 : 0.4
            IconBtn { objectName: "ButtonRewind"; iconPath: Icons.first; tip: movie.tr("tipFirst"); onClicked: movie.send("ButtonRewind", "") }
            IconBtn { objectName: "ButtonPrev"; iconPath: Icons.prev; tip: movie.tr("tipPrevFrame"); onClicked: movie.send("ButtonPrev", "") }
            Item {
                width: 64; height: 36
                Text {
                    anchors.centerIn: parent
                    text: movie.v("curFrm") + " / " + movie.v("AnimTot")
                    color: Theme.ink
                    font.family: movie.fontFamily
                    font.pixelSize: 14
                    font.weight: Font.Bold
                }
            }
            IconBtn { objectName: "ButtonNext"; iconPath: Icons.next; tip: movie.tr("tipNextFrame"); onClicked: movie.send("ButtonNext", "") }
            IconBtn { objectName: "ButtonForward"; iconPath: Icons.last; tip: movie.tr("tipLast"); onClicked: movie.send("ButtonForward", "") }
        }

        // Duration slider: the track runs from x 133 to 253.
        Text {
            x: 30; y: 266
            width: 86
            horizontalAlignment: Text.AlignRight
            text: movie.tr("durationLabel")
            color: Theme.inkSoft
            font.family: movie.fontFamily
            font.pixelSize: 12
            font.weight: Font.Bold
            elide: Text.ElideRight
        }
        Rectangle {
            objectName: "durationTrack"
            enabled: !page.fitting
            x: page.trackLeft; y: 272
            width: page.trackLength; height: 6
            radius: 3
            color: Theme.line
            Rectangle {
                width: durationCursor.x - page.trackLeft
                height: parent.height
                radius: 3
                color: Theme.select
            }
            MouseArea {
                anchors.fill: parent
                anchors.margins: -8
                onPressed: function (mouse) {
                    durationCursor.moveTo(page.trackLeft + mouse.x - 8)
                }
            }
        }
        Clip {
            id: durationCursor
            objectName: "DurationCursor"
            name: "DurationCursor"
            enabled: !page.fitting
            opacity: enabled ? 1 : 0.4
            x: page.trackLeft
            y: 275
            property int sent: -1
            property bool userMove: false
            function position() { return Math.round(x - page.trackLeft) }
            function moveTo(px) {
                userMove = true
                x = Math.max(page.trackLeft, Math.min(page.trackLeft + page.trackLength, px))
                userMove = false
                report()
            }
            function report() {
                var p = position()
                if (p !== sent) {
                    sent = p
                    movie.send("duration", String(p))
                }
            }
            // A position set by the program is not reported back to it.
            onXChanged: if (!knobArea.drag.active && !userMove) sent = position()
            Rectangle {
                x: -9; y: -9
                width: 18; height: 18; radius: 9
                color: Theme.card
                border.width: 3
                border.color: Theme.select
            }
            MouseArea {
                id: knobArea
                x: -12; y: -12
                width: 24; height: 24
                hoverEnabled: true
                cursorShape: Qt.SizeHorCursor
                drag.target: durationCursor
                drag.axis: Drag.XAxis
                drag.minimumX: page.trackLeft
                drag.maximumX: page.trackLeft + page.trackLength
                drag.threshold: 0
                onEntered: movie.enterTip(movie.tr("tipDuration"))
                onExited: movie.leaveTip(movie.tr("tipDuration"))
                onPositionChanged: if (drag.active) durationCursor.report()
                onReleased: durationCursor.report()
            }
        }
        Text {
            x: 266; y: 264
            text: movie.v("m_duration") === "" ? "" : page.fill(movie.tr("durationValue"), movie.v("m_duration"), "")
            color: Theme.ink
            font.family: movie.fontFamily
            font.pixelSize: 14
            font.weight: Font.Bold
        }

        Row {
            x: 198 - width / 2
            y: 302
            spacing: 6
            enabled: !page.fitting
            opacity: enabled ? 1 : 0.4
            IconBtn { objectName: "ButtonShiftLeft"; iconPath: Icons.shiftLeft; tip: movie.tr("tipShiftLeft"); onClicked: movie.send("ButtonShiftLeft", "") }
            IconBtn { objectName: "ButtonShiftRight"; iconPath: Icons.shiftRight; tip: movie.tr("tipShiftRight"); onClicked: movie.send("ButtonShiftRight", "") }
            Item { width: 8; height: 1 }
            IconBtn { objectName: "ButtonInsertBefore"; iconPath: Icons.insertBefore; tip: movie.tr("tipInsertBefore"); onClicked: movie.send("ButtonInsert", "0") }
            IconBtn { objectName: "ButtonInsertAfter"; iconPath: Icons.insertAfter; tip: movie.tr("tipInsertAfter"); onClicked: movie.send("ButtonInsert", "1") }
            IconBtn { objectName: "ButtonModify"; iconPath: Icons.pencil; tip: movie.tr("tipModify"); onClicked: movie.send("ButtonModify", "") }
            IconBtn { objectName: "ButtonDelete"; iconPath: Icons.trash; tip: movie.tr("tipDelete"); onClicked: movie.send("ButtonDelete", "") }
        }

        // Playback preview
        HoleFrame { area: page.previewArea; label: movie.tr("previewLabel") }
        Row {
            x: 465 - width / 2
            y: 296
            spacing: 8
            IconBtn { objectName: "ButtonPlayAnim"; iconPath: Icons.play; filled: true; tip: movie.tr("tipPlay"); checked: page.playing; onClicked: { movie.setVariable("AnimPlaying", "1"); movie.send("ButtonPlayAnim", "") } }
            IconBtn { objectName: "ButtonStopAnim"; iconPath: Icons.stop; filled: true; tip: movie.tr("tipStop"); checked: !page.playing; onClicked: { movie.setVariable("AnimPlaying", "0"); movie.send("ButtonStopAnim", "") } }
        }
        Text {
            x: 465 - width / 2
            y: 336
            visible: movie.v("AnimCur") !== ""
            text: page.fill(movie.tr("frameCounter"), movie.v("AnimCur"), movie.v("AnimTot"))
            color: Theme.inkSoft
            font.family: movie.fontFamily
            font.pixelSize: 12
        }
    }

    // ---- new, still empty animation (frame 4) -------------------------------
    Item {
        anchors.fill: parent
        visible: page.empty

        Rectangle {
            x: 90; y: 90
            width: 400; height: 240
            radius: 18
            color: Theme.card
            border.width: 1
            border.color: Theme.line

            Column {
                anchors.centerIn: parent
                width: 340
                spacing: 12
                Row {
                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 10
                    Repeater {
                        model: 4
                        Rectangle {
                            required property int index
                            width: 44; height: 44; radius: 8
                            color: index === 0 ? Theme.accentSoft : "transparent"
                            border.width: 2
                            border.color: index === 0 ? Theme.accent : Theme.line
                            Glyph {
                                visible: parent.index === 0
                                anchors.centerIn: parent
                                size: 22
                                path: Icons.plus
                                color: Theme.accent
                                strokeWidth: 2.6
                            }
                        }
                    }
                }
                Text {
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    text: movie.tr("emptyTitle")
                    color: Theme.ink
                    font.family: movie.fontFamily
                    font.pixelSize: 18
                    font.weight: Font.Bold
                    wrapMode: Text.WordWrap
                }
                Text {
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    text: movie.tr("emptyText")
                    color: Theme.inkSoft
                    font.family: movie.fontFamily
                    font.pixelSize: 13
                    wrapMode: Text.WordWrap
                }
                Btn {
                    objectName: "addPicture"
                    anchors.horizontalCenter: parent.horizontalCenter
                    primary: true
                    text: movie.tr("addPicture")
                    tip: movie.tr("tipAddPicture")
                    iconPath: Icons.plus
                    onClicked: movie.send("ButtonInsert", "0")
                }
            }
        }
    }

    NavBar {
        backArgs: "2"
        nextArgs: "4"
        enabled: !page.fitting
        opacity: enabled ? 1 : 0.5
    }
}
