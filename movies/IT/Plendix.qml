import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "IT"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
