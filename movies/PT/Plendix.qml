import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "PT"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
