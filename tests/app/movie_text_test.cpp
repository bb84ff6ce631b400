// Movie locations, HTML texts, tooltip texts and the click areas of the movie.
#include "movie_ctrl.h"
#include "movie_text.h"
#include "movie_tooltip.h"

#include <QTemporaryDir>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(MovieUrl, FromWindowsCommandLines)
{
    struct Case {
        const char* commandLine;
        const char* code;
        const char* name;
        const char* want;
    } cases[] = {
        {"D:\\Wiz\\app.exe", "EN", "Plendix.swf?frm=1", "file:///D|/Wiz/EN/Plendix.swf?frm=1"},
        {"\"C:\\Program Files\\Tessary Suite\\anim.exe\" -x", "FR", "Plendix.swf?frm=2",
         "file:///C|/Program Files/Tessary Suite/FR/Plendix.swf?frm=2"},
        {"D:\\Wiz\\app.exe D:\\other\\x", "CHS", "Plendix.swf", "file:///D|/Wiz/CHS/Plendix.swf"},
        {"app.exe", "EN", "Plendix.swf", "file:///EN/Plendix.swf"},
        {"\"app.exe\"", "RU", "Plendix.swf?frm=6", "file:///RU/Plendix.swf?frm=6"},
        {"\"C:\\unfinished\\quote", "DE", "Plendix.swf", "file:///C|/unfinished/DE/Plendix.swf"},
        {"", "EN", "Plendix.swf", "file:///EN/Plendix.swf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MovieUrlFromCommandLine(c.commandLine, c.code, c.name), c.want) << c.commandLine;
}

TEST(MovieUrl, FromFolderOnThisSystem)
{
    EXPECT_EQ(MovieUrlFromFolder("/opt/tessary/bin/", "EN", "Plendix.swf?frm=1"),
              "file:///opt/tessary/bin/EN/Plendix.swf?frm=1");
}

TEST(MovieUrl, MoviesBesideTheProgramComeFirstThenTheInstalledOnes)
{
    // A program in <root>/usr/bin/; "beside" and "installed" say where movies are.
    struct Case {
        bool beside;
        bool installed;
        const char* want; // below <root>
    } cases[] = {
        {true, false, "/usr/bin/"},
        {true, true, "/usr/bin/"},
        {false, true, "/usr/share/tessary/movies/"},
        {false, false, "/usr/bin/"},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const std::filesystem::path top = root.path().toStdString();
        std::filesystem::create_directories(top / "usr/bin");
        if (c.beside)
            std::filesystem::create_directories(top / "usr/bin/common");
        if (c.installed)
            std::filesystem::create_directories(top / "usr/share/tessary/movies/common");
        // Language folders without the shared part do not count as movies.
        std::filesystem::create_directories(top / "usr/bin/EN");
        const std::string program = top.string() + "/usr/bin/";
        EXPECT_EQ(MoviesFolderFor(program, "../share/tessary/movies/"), top.string() + c.want)
            << "beside " << c.beside << ", installed " << c.installed;
        EXPECT_EQ(MoviesFolderFor(program, "../share/tessary/movies"), top.string() + c.want)
            << "without the final slash: beside " << c.beside << ", installed " << c.installed;
    }
}

TEST(MovieUrl, ResolvesToTheQmlFileAndStartFrame)
{
    struct Case {
        const char* url;
        const char* path;
        int frame;
    } cases[] = {
        {"file:///opt/t/EN/Plendix.swf?frm=3", "/opt/t/EN/Plendix.qml", 3},
        {"file:///opt/t/CHT/Plendix.swf", "/opt/t/CHT/Plendix.qml", 0},
        {"file:///opt/my%20dir/EN/Plendix.swf?frm=6", "/opt/my dir/EN/Plendix.qml", 6},
    };
    for (const Case& c : cases) {
        std::string path;
        int frame = -1;
        CMovieCtrl::ResolveMovieUrl(c.url, &path, &frame);
        EXPECT_EQ(path, c.path) << c.url;
        EXPECT_EQ(frame, c.frame) << c.url;
    }
}

TEST(MovieHtml, FontFollowsTheLanguageAndFlagsWrapTheText)
{
    EXPECT_EQ(MovieHtmlFor("EN", "Hello", true, true), "<p align=\"center\"><font face=\"Arial\"><b>Hello</b></font></p>");
    EXPECT_EQ(MovieHtmlFor("EN", "Hello", false, false), "<font face=\"Arial\">Hello</font>");
    EXPECT_EQ(MovieHtmlFor("RU", "x", false, false), "<font face=\"Arial CYR\">x</font>");
    EXPECT_EQ(MovieHtmlFor("ru", "x", false, false), "<font face=\"Arial CYR\">x</font>");
    EXPECT_EQ(MovieHtmlFor("PL", "x", true, false), "<font face=\"Arial CE\"><b>x</b></font>");
    EXPECT_EQ(MovieHtmlFor("Cz", "x", false, true), "<p align=\"center\"><font face=\"Arial CE\">x</font></p>");
    EXPECT_EQ(MovieHtmlFor("CHS", "x", false, false), "<font face=\"Arial\">x</font>");
    EXPECT_EQ(MovieHtmlFor("", "x", false, false), "<font face=\"Arial\">x</font>");
}

TEST(ToolTipText, CutTo76BytesWithoutSplittingACharacter)
{
    struct Case {
        std::string text;
        std::string want;
    } cases[] = {
        {"", ""},
        {"Go on", "Go on"},
        {std::string(76, 'a'), std::string(76, 'a')},
        {std::string(100, 'b'), std::string(76, 'b')},
        // 75 ASCII bytes then a two-byte character: it does not fit whole.
        {std::string(75, 'c') + "\xC3\xA9" + "x", std::string(75, 'c')},
        // 74 ASCII bytes then a two-byte character: it ends exactly at 76.
        {std::string(74, 'd') + "\xC3\xA9" + "x", std::string(74, 'd') + "\xC3\xA9"},
        // 30 Chinese characters of three bytes: 25 whole ones fit (75 bytes).
        {[] { std::string s; for (int i = 0; i < 30; ++i) s += "\xE5\x8A\xA8"; return s; }(),
         [] { std::string s; for (int i = 0; i < 25; ++i) s += "\xE5\x8A\xA8"; return s; }()},
        // A four-byte character straddling the limit.
        {std::string(74, 'e') + "\xF0\x9F\x98\x80", std::string(74, 'e')},
        // Bytes that are not UTF-8 become a replacement character.
        {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},
    };
    for (const Case& c : cases) {
        ToolTipTextRequest request;
        std::memset(request.szText, 'Z', sizeof request.szText);
        SetToolTipFromMovie(request, c.text);
        EXPECT_TRUE(request.bHandled);
        EXPECT_EQ(std::string(request.szText), c.want) << "text of " << c.text.size() << " bytes";
        EXPECT_LE(std::strlen(request.szText), 76u);
    }
}

TEST(ToolTipText, PoppedOnlyWhenBothCoordinatesChange)
{
    ToolTipMoveTracker tracker;
    EXPECT_FALSE(tracker.OnMouseMove(10, 10)) << "the first move has nothing to compare with";
    EXPECT_FALSE(tracker.OnMouseMove(11, 10)) << "only x changed";
    EXPECT_FALSE(tracker.OnMouseMove(11, 12)) << "only y changed";
    EXPECT_TRUE(tracker.OnMouseMove(12, 13));
    EXPECT_FALSE(tracker.OnMouseMove(12, 13)) << "no change";
}

TEST(MovieClickAreas, CornerOpensMenuTopStripDragsRestReachesMovie)
{
    using Area = CMovieCtrl::ClickArea;
    struct Case {
        int x, y;
        Area want;
    } cases[] = {
        {0, 0, Area::FrameMenu},   {25, 0, Area::FrameMenu},  {25, 24, Area::FrameMenu},
        {26, 0, Area::Drag},       {519, 24, Area::Drag},     {300, 10, Area::Drag},
        {520, 0, Area::Movie},     {579, 5, Area::Movie},     {0, 25, Area::Movie},
        {26, 25, Area::Movie},     {300, 200, Area::Movie},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMovieCtrl::ClickAreaAt(c.x, c.y), c.want) << c.x << "," << c.y;
}

} // namespace
