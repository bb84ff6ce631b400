import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "CHT"
    fontFamily: "Noto Sans CJK TC"
    texts: Language.texts
}
