#include "messages.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// The placeholders of a text in order of appearance, and its line count.
struct Shape {
    std::vector<std::string> placeholders;
    int lines = 1;
    bool operator==(const Shape&) const = default;
};

Shape ShapeOf(const std::string& text)
{
    Shape shape;
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        if (text[i] == '%' && (text[i + 1] == '1' || text[i + 1] == '2') && text[i + 2] == '%')
            shape.placeholders.push_back(text.substr(i, 3));
    }
    for (char c : text)
        shape.lines += c == '\n';
    return shape;
}

bool IsUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        }
        i += 1 + extra;
    }
    return true;
}

} // namespace

TEST(Catalogue, EveryLanguageHasAllEntriesShapedLikeEnglish)
{
    const WizardMessages english = BuildMessages("EN");
    for (const char* code : kLanguageCodes) {
        const WizardMessages m = BuildMessages(code);
        for (int i = 0; i < WizardMessages::kCount; ++i) {
            EXPECT_FALSE(m[i].empty()) << code << " entry " << i;
            EXPECT_TRUE(IsUtf8(m[i])) << code << " entry " << i;
            EXPECT_EQ(ShapeOf(m[i]), ShapeOf(english[i])) << code << " entry " << i << ": " << m[i];
        }
        EXPECT_NE(m.MsgPressPrevious.find('"'), m.MsgPressPrevious.rfind('"'))
            << code << ": the button name stands between double quotes";
        if (std::string(code) != "EN") {
            EXPECT_NE(m.MsgConfirmExit, english.MsgConfirmExit) << code << " is translated";
        }
    }
}

TEST(Catalogue, EnglishTextsInRecordOrder)
{
    const WizardMessages m = BuildMessages("EN");
    const char* const expected[WizardMessages::kCount] = {
        "Midi file size (%1% bytes) exceeds the phone capability (%2% bytes maximum).\nPlease reduce its length.",
        "About",
        "The Flash 5 module must be installed on your computer.\nPlease check the installation of the software.",
        "Animation size (%1% bytes) exceeds the phone capability (%2% bytes maximum).\nPlease delete some images "
        "to reduce the size.",
        "Transfer in progress...",
        "This file type is not supported",
        "It is not possible to start the %1% wizard because the %2% wizard is already running.\nPlease close the "
        "%2% wizard.",
        "Add a frame",
        "Invalid picture :",
        "Installation error",
        "Customize Image",
        "All your changes will be lost.\nAre you sure you want to exit ?",
        "Transfer error.",
        "Press \"Previous\" to try again.",
        "Your sound %1% (%2%) is ready to be transferred",
        "Your animation %1% (%2% bytes) is ready to be transferred",
        "Your stamp %1% (%2% bytes) is ready to be transferred",
        "Create new folder",
        "Create Animation",
        "Retrieve Photos",
        "Customize Sound",
        "Create Stamp",
        "Reduce",
        "OK",
        "bytes",
        "Cancel",
    };
    for (int i = 0; i < WizardMessages::kCount; ++i)
        EXPECT_EQ(m[i], expected[i]) << "entry " << i;
    // The named members and the positions name the same strings.
    EXPECT_EQ(&m[18], &m.TitleCreateAnimation);
    EXPECT_EQ(&m[25], &m.TextCancel);
}

TEST(Catalogue, FixedTitlesOfEachLanguage)
{
    struct Row {
        const char* code;
        const char* title;
        const char* about;
        const char* reduce;
        const char* bytes;
        const char* cancel;
        const char* ok;
    };
    const Row rows[] = {
        {"EN", "Create Animation", "About", "Reduce", "bytes", "Cancel", "OK"},
        {"FR", "Créer une animation", "A propos", "Réduire", "octets", "Annuler", "OK"},
        {"DE", "Animation erzeugen", "Info", "Verkleinern", "Byte", "Abbrechen", "OK"},
        {"SP", "Crear animación", "Acerca de", "Reducir", "bytes", "Anular", "Aceptar"},
        {"IT", "Crea animazione", "Riguardo a", "Riduci", "byte", "Annulla", "OK"},
        {"PT", "Criar animação", "Acerca de", "Reduzir", "bytes", "Anular", "OK"},
        {"NL", "Animatie maken", "Info", "Verminderen", "byte", "Annuleren", "OK"},
        {"PL", "Edytor animacji", "Informacje", "Zmniejsz", "bajtów", "Anuluj", "OK"},
        {"CZ", "Vytvořit animaci", "O programu", "Redukovat", "bytů", "Storno", "OK"},
        {"RU", "Создать анимацию", "О программе", "снижать", "байт", "Отмена", "OK"},
        {"CHS", "创建动画", "关于", "小化", "字节", "取消", "确定"},
        {"CHT", "建立動畫", "關於", "降低", "位元組", "取消", "確定"},
    };
    for (const Row& r : rows) {
        const WizardMessages m = BuildMessages(r.code);
        EXPECT_EQ(m.TitleCreateAnimation, r.title) << r.code;
        EXPECT_EQ(m.TextAbout, r.about) << r.code;
        EXPECT_EQ(m.TextReduce, r.reduce) << r.code;
        EXPECT_EQ(m.TextBytes, r.bytes) << r.code;
        EXPECT_EQ(m.TextCancel, r.cancel) << r.code;
        EXPECT_EQ(m.TextOk, r.ok) << r.code;
    }
}

TEST(Catalogue, RussianReadyTextsCarryTheirFontWrapper)
{
    const WizardMessages m = BuildMessages("RU");
    for (const std::string* text : {&m.MsgSoundReady, &m.MsgAnimationReady, &m.MsgStampReady}) {
        EXPECT_EQ(text->rfind("<font size=\"12\">", 0), 0u) << *text;
        EXPECT_EQ(text->substr(text->size() - 7), "</font>") << *text;
    }
    EXPECT_EQ(m.MsgConfirmExit.find("<font"), std::string::npos);
}

TEST(Catalogue, CodesAreUpperCasedAndMatchedExactly)
{
    struct Case {
        std::string code;
        std::string stored;
        std::string title;
    };
    const Case cases[] = {
        {"en", "EN", "Create Animation"},
        {"En", "EN", "Create Animation"},
        {"fr", "FR", "Créer une animation"},
        {"chs", "CHS", "创建动画"},
        {"cHt", "CHT", "建立動畫"},
        {"CH", "CH", "Create Animation"},       // no language: English texts
        {"", "", "Create Animation"},           // a failed settings read
        {"EN ", "EN ", "Create Animation"},     // no trimming
        {"ru\xC3\xA9", "RU\xC3\x89", "Create Animation"}, // é becomes É, not a broken byte
        {"\xD1\x80\xD1\x83", "\xD0\xA0\xD0\xA3", "Create Animation"}, // Cyrillic "ру" is not RU
    };
    for (const Case& c : cases) {
        const WizardMessages m = BuildMessages(c.code);
        EXPECT_EQ(g_languageCode, c.stored) << "code " << c.code;
        EXPECT_EQ(m.TitleCreateAnimation, c.title) << "code " << c.code;
    }
}

TEST(Placeholders, ReplaceEveryOccurrenceLeftToRightWithoutOverlap)
{
    struct Case {
        std::string text;
        const char* placeholder;
        std::string value;
        std::string want;
        int count;
    };
    const Case cases[] = {
        {"a %2% b %2%.", "%2%", "X", "a X b X.", 2},
        {"none here", "%1%", "X", "none here", 0},
        {"%1%%1%", "%1%", "", "", 2},
        {"%1%1%", "%1%", "v", "v1%", 1},             // no overlap: the second match would reuse the '%'
        {"%1%", "%1%", "%1%", "%1%", 1},             // the value is not searched again
        {"x%1", "%1%", "v", "x%1", 0},
        {"", "%1%", "v", "", 0},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(FillPlaceholder(text, c.placeholder, c.value), c.count) << c.text;
        EXPECT_EQ(text, c.want) << c.text;
    }
}

TEST(Placeholders, AlreadyRunningMessageNamesBothWizards)
{
    const WizardMessages m = BuildMessages("EN");
    EXPECT_EQ(FillMessage(m.MsgAlreadyRunning, m.TitleCreateAnimation, "Customize Sound"),
              "It is not possible to start the Create Animation wizard because the Customize Sound wizard is "
              "already running.\nPlease close the Customize Sound wizard.");
    // "%1%" is filled first, so a first value holding "%2%" is filled again.
    EXPECT_EQ(FillMessage("%1%|%2%", "<%2%>", "two"), "<two>|two");
}

TEST(Utf8Text, BadBytesBecomeOneReplacementEachAndCaseFollowsUnicode)
{
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string in, valid, upper;
        std::size_t characters; // of the valid text
    };
    const Case cases[] = {
        {"abc", "abc", "ABC", 3},
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", 3},                 // été
        {"\xD1\x80\xD1\x83", "\xD1\x80\xD1\x83", "\xD0\xA0\xD0\xA3", 2},                     // ру
        {"\xC5\x82\xC3\xB3" "d\xC5\xBA", "\xC5\x82\xC3\xB3" "d\xC5\xBA", "\xC5\x81\xC3\x93" "D\xC5\xB9", 4}, // łódź
        {"\xE5\x8A\xA8", "\xE5\x8A\xA8", "\xE5\x8A\xA8", 1},                                 // no case
        {"a\xFF" "b", "a" + fffd + "b", "A" + fffd + "B", 3},                                // stray byte
        {"\xC3", fffd, fffd, 1},                                                             // cut short
        {"\xC0\xAF", fffd + fffd, fffd + fffd, 2},                                           // overlong '/'
        {"\xED\xA0\x80", fffd + fffd + fffd, fffd + fffd + fffd, 3},                         // surrogate
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 1},                     // outside the BMP
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValidUtf8(c.in), c.valid) << c.in;
        EXPECT_EQ(UpperCaseUtf8(c.in), c.upper) << c.in;
        EXPECT_EQ(CountUtf8(c.valid), c.characters) << c.in;
        EXPECT_EQ(ValidUtf8(c.valid), c.valid) << "valid text is kept as it is";
    }
}
