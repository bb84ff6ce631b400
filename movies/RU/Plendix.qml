import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "RU"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
