import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "SP"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
