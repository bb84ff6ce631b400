import QtQuick
import "../common"
import "texts.js" as Language

Movie {
    language: "FR"
    fontFamily: "Noto Sans"
    texts: Language.texts
}
