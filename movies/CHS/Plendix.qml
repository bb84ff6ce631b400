import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "CHS"
    fontFamily: "Noto Sans CJK SC"
    texts: Language.texts
}
