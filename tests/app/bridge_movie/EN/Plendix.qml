import QtQuick

// A small movie for the bridge's tests: it keeps every call in "log", answers
// from its variables and clips, and sends a command from each of its two buttons.
Item {
    id: root
    width: 580
    height: 411

    property int frm: -1
    property int startedAt: -1
    property var vars: ({})
    property var clips: ({"MainIntro": 1})
    property int current: 0
    property int presses: 0
    signal fsCommand(string command, string args)

    function note(text) { vars["log"] = (vars["log"] ? vars["log"] + ";" : "") + text }
    function getVariable(name) { var v = vars[String(name)]; return v === undefined ? "" : String(v) }
    function setVariable(name, value) { vars[String(name)] = String(value) }
    function gotoFrame(n) { current = Number(n); note("goto " + n) }
    function frameNum() { return current }
    function tGotoFrame(target, n) { clips[String(target)] = Number(n); note("tgoto " + target + " " + n) }
    function tCurrentFrame(target) { var c = clips[String(target)]; return c === undefined ? -1 : c }
    function tPlay(target) { note("play " + target) }
    function tSetProperty(target, property, value) { note("prop " + target + " " + property + " " + value) }
    function tCallFrame(target, n) { note("call " + target + " " + n) }
    function flashVersion() { return 0x70000 }

    Component.onCompleted: startedAt = frm

    MouseArea {
        anchors.fill: parent
        onPressed: (mouse) => { root.presses += 1; mouse.accepted = false }
    }
    Rectangle {
        objectName: "nextButton"
        x: 400; y: 360; width: 100; height: 30
        MouseArea { anchors.fill: parent; onClicked: root.fsCommand("ChangeStep", "2") }
    }
    Rectangle {
        objectName: "tipButton"
        x: 100; y: 200; width: 80; height: 30
        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            onEntered: root.setVariable("tt", "Goes on to the next step")
        }
    }
}
