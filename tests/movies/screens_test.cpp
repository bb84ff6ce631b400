// Renders every page of the English and the Simplified Chinese movie into
// test-artifacts/movies/ of the build folder, and checks that the areas the
// program paints itself are left transparent.

#include "movie_harness_support.h"

#include <QDir>
#include <QRect>
#include <gtest/gtest.h>

using movies_test::MovieHarness;

namespace {

struct Screen {
    const char* name;
    int frm;                     // -1: no frame, as the transfer page
    std::vector<int> gotoFrames; // what the page does when it is shown
    std::vector<QRect> holes;    // areas the program paints
    std::vector<std::pair<const char*, const char*>> variables;
};

const std::vector<Screen>& screens()
{
    static const std::vector<Screen> list = {
        {"1-start-intro", 1, {}, {}, {}},
        {"1-start-choices", 1, {}, {}, {{"ImageSize", "HalfScreen"}}},
        {"2-content", 2, {}, {{37, 140, 255, 190}, {302, 140, 250, 190}}, {}},
        {"3-animation-empty", 3, {4}, {}, {}},
        {"3-animation", 3, {5},
         {{74, 127, 64, 64}, {166, 127, 64, 64}, {258, 127, 64, 64}, {401, 155, 128, 128}},
         {{"filename", "holiday-at-the-sea.gif"}, {"curFrm", "3"}, {"AnimTot", "12"}, {"prevFrm", "2"},
          {"nextFrm", "4"}, {"m_duration", "0.50"}, {"AnimCur", "7"}}},
        {"3-animation-too-big", 3, {5},
         {{74, 127, 64, 64}, {166, 127, 64, 64}, {258, 127, 64, 64}, {401, 155, 128, 128}},
         {{"filename", "holiday-at-the-sea.gif"}, {"curFrm", "3"}, {"AnimTot", "60"}, {"m_duration", "0.50"},
          {"AnimMaxBytes", "102400"}, {"AnimBytes", "198133"}, {"AnimFill", "100"}, {"AnimFits", "0"}}},
        {"3-animation-fitted", 3, {5},
         {{74, 127, 64, 64}, {166, 127, 64, 64}, {258, 127, 64, 64}, {401, 155, 128, 128}},
         {{"filename", "holiday-at-the-sea.gif"}, {"curFrm", "3"}, {"AnimTot", "40"}, {"m_duration", "0.80"},
          {"AnimMaxBytes", "102400"}, {"AnimBytes", "98304"}, {"AnimFill", "96"}, {"AnimFits", "1"},
          {"AnimFitDone", "1"}, {"AnimFitColours", "64"}, {"AnimFitKept", "40"}, {"AnimFitOf", "60"}}},
        {"4-picture", 5, {}, {{33, 109, 182, 182}, {406, 135, 128, 128}}, {{"filename", "holiday-at-the-sea.gif"}}},
        {"5-save", 6, {}, {}, {{"CurrentLink", "USB"}}},
        {"6-transfer-progress", -1, {8}, {},
         {{"_txt", "<p align=\"center\"><font face=\"Arial\"><b>Transfer in progress...</b></font></p>"}}},
        {"6-transfer-done", -1, {8, 9}, {}, {}},
        {"6-transfer-failed", -1, {8, 9}, {},
         {{"_ErrTxt", "<font face=\"Arial\"><B>Transfer error.</B>\n\nNo phone answers.\n\nPress \"Previous\" to try again.</font>"}}},
        {"6-transfer-nolink", -1, {6, 9}, {}, {{"CurrentLink", "None"}}},
    };
    return list;
}

class Screens : public ::testing::TestWithParam<const char*> {};

TEST_P(Screens, RenderEveryPageAndLeaveTheProgramsAreasClear)
{
    const QString code = QString::fromLatin1(GetParam());
    const QString folder = QStringLiteral(TESSARY_BINARY_DIR "/test-artifacts/movies/") + code;
    ASSERT_TRUE(QDir().mkpath(folder));

    for (const Screen& s : screens()) {
        SCOPED_TRACE(s.name);
        MovieHarness movie(code, s.frm);
        ASSERT_TRUE(movie.loaded()) << movie.warnings.join('\n').toStdString();
        for (const auto& [name, value] : s.variables)
            movie.setVariable(QString::fromLatin1(name), QString::fromUtf8(value));
        if (QString::fromLatin1(s.name) == QLatin1String("1-start-choices"))
            movie.call("tGotoFrame", {QStringLiteral("MainIntro"), 1});
        for (int f : s.gotoFrames)
            movie.call("gotoFrame", {f});
        if (QString::fromLatin1(s.name) == QLatin1String("6-transfer-progress"))
            movie.call("tGotoFrame", {QStringLiteral("barre"), 14});
        if (QString::fromLatin1(s.name) == QLatin1String("6-transfer-done"))
            movie.setVariable(QStringLiteral("_ErrTxt"),
                              QStringLiteral("<font face=\"Arial\">") +
                                  movie.getVariable(QStringLiteral("_OkTxt")).replace("%1%", "holiday.gif") +
                                  QStringLiteral("</font>"));
        if (QString::fromLatin1(s.name) == QLatin1String("5-save"))
            movie.setVariable(QStringLiteral("TxtPrepTr"), movie.getVariable(QStringLiteral("TxtPrepTr"))
                                                               .replace("%1%", "holiday.gif")
                                                               .replace("%2%", "4567"));
        movie.wait(500);

        const QImage image = movie.render().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(580, 411));
        EXPECT_TRUE(image.save(folder + QLatin1Char('/') + QString::fromLatin1(s.name) + QStringLiteral(".png")));
        EXPECT_TRUE(movie.warnings.isEmpty()) << movie.warnings.join('\n').toStdString();

        // The page itself is opaque somewhere in the middle of its body...
        EXPECT_EQ(qAlpha(image.pixel(290, 70)), 255);
        // ...and clear wherever the program paints.
        for (const QRect& hole : s.holes) {
            int opaque = 0;
            for (int y = hole.top(); y <= hole.bottom(); ++y)
                for (int x = hole.left(); x <= hole.right(); ++x)
                    opaque += qAlpha(image.pixel(x, y)) != 0;
            EXPECT_EQ(opaque, 0) << "have " << opaque << " painted pixels in the area at " << hole.x() << ","
                                 << hole.y() << ", want none";
            // The ring around it is drawn by the movie.
            EXPECT_EQ(qAlpha(image.pixel(hole.left() - 2, hole.top() + hole.height() / 2)), 255);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EnglishAndChinese, Screens, ::testing::Values("EN", "CHS"));

}  // namespace
