import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "DE"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
