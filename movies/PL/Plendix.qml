import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "PL"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
