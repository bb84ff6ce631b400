import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "NL"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
