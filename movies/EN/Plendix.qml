import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "EN"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
