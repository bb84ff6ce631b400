import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "CZ"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
