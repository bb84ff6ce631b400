import QtQuick
import "Theme.js" as Theme

// The movie shared by every language: one root timeline per page, named clips,
// variables in a plain JavaScript object and the commands the pages listen to.
//
// The program starts a movie at the frame of its page (`frm`): 1 start page,
// 2 content page, 3 animation editor, 5 picture editor, 6 save page, and no frame
// (0) for the transfer page. Each movie plays that page's own timeline of ten
// frames (0 to 9); frame numbers are 0-based as in the player's gotoFrame.
// Every part of the movie reaches this root by its id, `movie`.
Item {
    id: movie

    width: 580
    height: 411

    // Set by the language's Plendix.qml.
    property string language: "EN"
    property string fontFamily: "Noto Sans"
    property var texts: ({})

    // The page's start frame, set by the player before the movie starts.
    property int frm: 0

    signal fsCommand(string command, string args)
    // Root timeline: emitted whenever the program or the movie goes to a frame.
    signal frameEntered(int frame)

    readonly property int rootFrameCount: 10
    property int currentFrame: 0
    readonly property string pageName: {
        switch (frm) {
        case 1: return "start"
        case 2: return "content"
        case 3: case 4: return "animation"
        case 5: return "picture"
        case 6: return "save"
        default: return "transfer"
        }
    }

    // Bumped on every variable change so that bindings reading variables through
    // v() are evaluated again.
    property int revision: 0
    property var vars: ({})
    property var clips: ({})
    property bool started: false

    // ---- the player's interface --------------------------------------------

    function getVariable(name) {
        var value = vars[String(name)]
        return value === undefined || value === null ? "" : String(value)
    }

    function setVariable(name, value) {
        vars[String(name)] = value === undefined || value === null ? "" : String(value)
        revision += 1
    }

    function gotoFrame(frame) {
        var n = Number(frame)
        if (!isFinite(n) || n < 0 || n >= rootFrameCount)
            return
        currentFrame = Math.floor(n)
        frameEntered(currentFrame)
    }

    function frameNum() { return currentFrame }

    function tGotoFrame(target, frame) {
        var c = findClip(target)
        if (c)
            c.gotoFrame(Math.floor(Number(frame)))
    }

    // -1 for a target that does not exist, like the player for an unknown clip.
    function tCurrentFrame(target) {
        var c = findClip(target)
        return c ? c.currentFrame : -1
    }

    function tPlay(target) {
        var c = findClip(target)
        if (c)
            c.play()
    }

    // Property numbers of the player: 0 x, 1 y, 2 x scale, 3 y scale, 6 alpha,
    // 7 visible, 8 width, 9 height, 10 rotation. Positions are in page pixels.
    function tSetProperty(target, property, value) {
        var c = findClip(target)
        if (!c)
            return
        var n = Number(value)
        switch (Number(property)) {
        case 0: c.x = c.parent.mapFromItem(movie, n, 0).x; break
        case 1: c.y = c.parent.mapFromItem(movie, 0, n).y; break
        case 2: c.scale = n / 100; break
        case 3: c.scale = n / 100; break
        case 6: c.opacity = Math.max(0, Math.min(1, n / 100)); break
        case 7: c.visible = String(value) !== "0" && String(value).toLowerCase() !== "false"; break
        case 8: c.width = n; break
        case 9: c.height = n; break
        case 10: c.rotation = n; break
        default: break
        }
    }

    function tCallFrame(target, frame) {
        var c = findClip(target)
        if (c)
            c.callFrame(Math.floor(Number(frame)))
    }

    // Major version in the high 16 bits: this movie answers as version 6.
    function flashVersion() { return 0x60000 }

    // ---- used by the parts of the movie ------------------------------------

    // A variable's value inside a binding.
    function v(name) {
        return revision >= 0 ? getVariable(name) : ""
    }

    // A text of the language's table; the key itself when a translation lacks it.
    function tr(key) {
        var t = texts[key]
        return t === undefined ? key : t
    }

    function send(command, args) {
        fsCommand(String(command), args === undefined ? "" : String(args))
    }

    function enterTip(text) { setVariable("tt", text) }
    function leaveTip(text) {
        if (getVariable("tt") === text)
            setVariable("tt", "")
    }

    // "/barre", "_root.barre", "_level0/barre" and "barre" all name the same clip.
    function clipKey(target) {
        var parts = String(target).split(/[\/.:]/).filter(function (p) {
            return p.length > 0 && p !== "_root" && p !== "_level0" && p !== "_parent"
        })
        return parts.length ? parts[parts.length - 1] : ""
    }
    function findClip(target) {
        var c = clips[clipKey(target)]
        return c === undefined ? null : c
    }
    function registerClip(c) { if (c.name) clips[c.name] = c }
    function unregisterClip(c) { if (clips[c.name] === c) delete clips[c.name] }

    // Texts the program reads from the movie keep the language's own wording.
    function start() {
        currentFrame = (frm >= 0 && frm < rootFrameCount) ? frm : 0
        var defaults = {
            "tt": "",
            "TxtPrepTr": tr("saveReady"),
            "_OkTxt": tr("transferOk"),
            "ImageSize": "FullScreen",
            "Action": "Open",
            "_SelectType": "Selection"
        }
        for (var k in defaults) {
            if (vars[k] === undefined)
                vars[k] = defaults[k]
        }
        if (frm > 0)
            vars["frm"] = String(frm)
        revision += 1
        started = true
        frameEntered(currentFrame)
    }

    // A player that sets the frame after creating the movie restarts it there.
    onFrmChanged: if (started) start()
    Component.onCompleted: start()

    Chrome {
        id: chrome
        anchors.fill: parent
        title: pageLoader.item ? pageLoader.item.title : ""
        holes: pageLoader.item ? pageLoader.item.holes : []
    }

    Loader {
        id: pageLoader
        anchors.fill: parent
        sourceComponent: {
            switch (movie.pageName) {
            case "start": return startPage
            case "content": return contentPage
            case "animation": return animationPage
            case "picture": return picturePage
            case "save": return savePage
            default: return transferPage
            }
        }
    }

    Component { id: startPage; StartPage {} }
    Component { id: contentPage; ContentPage {} }
    Component { id: animationPage; AnimationPage {} }
    Component { id: picturePage; PicturePage {} }
    Component { id: savePage; SavePage {} }
    Component { id: transferPage; TransferPage {} }

    // Reduce and exit sit beyond the program's drag strip, at the top right.
    WindowButtons {
        x: 522
        y: 3
    }
}
