// The player's interface of every language's movie: it loads cleanly at every
// page frame, and its functions behave as the movie bridge relies on.

#include "movie_harness_support.h"

#include <QQuickItem>
#include <gtest/gtest.h>

using movies_test::MovieHarness;

namespace {

// The frame each page starts the movie at; -1 is the transfer page, which gives none.
const int kPageFrames[] = {1, 2, 3, 5, 6, -1};

class EveryLanguage : public ::testing::TestWithParam<QString> {};

TEST_P(EveryLanguage, LoadsAtEveryPageFrameWithoutWarnings)
{
    for (int frame : kPageFrames) {
        SCOPED_TRACE(frame);
        MovieHarness movie(GetParam(), frame);
        ASSERT_TRUE(movie.loaded()) << movie.warnings.join('\n').toStdString();
        EXPECT_EQ(movie.root()->property("width").toInt(), 580);
        EXPECT_EQ(movie.root()->property("height").toInt(), 411);
        EXPECT_EQ(movie.frameNum(), frame < 0 ? 0 : frame) << "the movie starts at its page's frame";
        movie.wait(100);
        EXPECT_TRUE(movie.warnings.isEmpty()) << movie.warnings.join('\n').toStdString();
    }
}

TEST_P(EveryLanguage, VariablesRoundTripAsText)
{
    MovieHarness movie(GetParam(), 1);
    ASSERT_TRUE(movie.loaded());
    const std::pair<QString, QString> cases[] = {
        {"CurrentLink", "USB"},
        {"_ErrTxt", "<font face=\"Arial\"><b>Übertragung</b> – 传输 – Ошибка</font>"},
        {"curFrm", "12"},
        {"prevFrm", ""},
        {"m_duration", "1.30"},
    };
    for (const auto& [name, value] : cases) {
        movie.setVariable(name, value);
        EXPECT_EQ(movie.getVariable(name), value) << name.toStdString();
    }
    EXPECT_EQ(movie.getVariable("NeverSet"), QString()) << "an unknown variable reads as empty text";
    movie.call("setVariable", {"count", 42});
    EXPECT_EQ(movie.getVariable("count"), QStringLiteral("42"));
    EXPECT_EQ(movie.getVariable("ImageSize"), QStringLiteral("FullScreen"));
    EXPECT_EQ(movie.getVariable("Action"), QStringLiteral("Open"));
}

TEST_P(EveryLanguage, RootTimelineAndClipsFollowTheirFrameCalls)
{
    MovieHarness movie(GetParam(), 1);
    ASSERT_TRUE(movie.loaded());
    for (int f = 0; f < 10; ++f) {
        movie.call("gotoFrame", {f});
        EXPECT_EQ(movie.frameNum(), f);
    }
    movie.call("gotoFrame", {4});
    movie.call("gotoFrame", {10});
    movie.call("gotoFrame", {-1});
    EXPECT_EQ(movie.frameNum(), 4) << "frames outside the timeline are ignored";

    EXPECT_EQ(movie.call("tCurrentFrame", {"MainIntro"}).toInt(), 0) << "the introduction starts by playing";
    movie.call("tGotoFrame", {"/MainIntro", 1});
    EXPECT_EQ(movie.call("tCurrentFrame", {"MainIntro"}).toInt(), 1);
    EXPECT_EQ(movie.call("tCurrentFrame", {"_root.MainIntro"}).toInt(), 1);
    movie.call("tGotoFrame", {"MainIntro", 7});
    EXPECT_EQ(movie.call("tCurrentFrame", {"/MainIntro"}).toInt(), 1) << "a clip stops at its last frame";
    EXPECT_EQ(movie.call("tCurrentFrame", {"NoSuchClip"}).toInt(), -1);
    movie.call("tGotoFrame", {"NoSuchClip", 1});
    movie.call("tPlay", {"NoSuchClip"});
    movie.call("tCallFrame", {"NoSuchClip", 0});
    movie.call("tSetProperty", {"NoSuchClip", 0, "10"});
    EXPECT_GE(movie.call("flashVersion").toInt(), 0x50000);
    EXPECT_TRUE(movie.warnings.isEmpty()) << movie.warnings.join('\n').toStdString();
}

struct StartChoice {
    const char* sizeCard;
    const char* actionCard;
    const char* imageSize;
    const char* action;
};

TEST_P(EveryLanguage, StartPageNextSendsChangeStepWithTheChosenSizeAndAction)
{
    const StartChoice choices[] = {
        {"choiceHalfScreen", "choiceNew", "HalfScreen", "New"},
        {"choiceFullScreen", "choiceOpen", "FullScreen", "Open"},
        {"choiceFullScreen", "choiceNew", "FullScreen", "New"},
        {"choiceHalfScreen", "choiceOpen", "HalfScreen", "Open"},
    };
    MovieHarness movie(GetParam(), 1);
    ASSERT_TRUE(movie.loaded());

    // During the introduction, next only skips it.
    ASSERT_TRUE(movie.click("nextButton"));
    EXPECT_TRUE(movie.commands.empty());
    EXPECT_EQ(movie.call("tCurrentFrame", {"MainIntro"}).toInt(), 1);
    movie.wait(400);

    for (const StartChoice& c : choices) {
        SCOPED_TRACE(c.imageSize);
        movie.commands.clear();
        ASSERT_TRUE(movie.click(c.sizeCard));
        ASSERT_TRUE(movie.click(c.actionCard));
        ASSERT_TRUE(movie.click("nextButton"));
        ASSERT_EQ(movie.commands.size(), 1u);
        EXPECT_EQ(movie.commands[0].first, QStringLiteral("ChangeStep"));
        EXPECT_EQ(movie.commands[0].second, QStringLiteral("2"));
        EXPECT_EQ(movie.getVariable("ImageSize"), QString::fromLatin1(c.imageSize));
        EXPECT_EQ(movie.getVariable("Action"), QString::fromLatin1(c.action));
    }
}

TEST_P(EveryLanguage, TipFollowsThePointerInAndOut)
{
    MovieHarness movie(GetParam(), 1);
    ASSERT_TRUE(movie.loaded());
    const QVariantMap texts = movie.root()->property("texts").toMap();

    ASSERT_TRUE(movie.hover("window_exit"));
    EXPECT_EQ(movie.getVariable("tt"), texts.value("tipExit").toString());
    ASSERT_TRUE(movie.hover("window_reduce"));
    EXPECT_EQ(movie.getVariable("tt"), texts.value("tipReduce").toString());
    movie.hoverAt(QPointF(300, 200));
    EXPECT_EQ(movie.getVariable("tt"), QString()) << "leaving an element empties the tip";
}

TEST_P(EveryLanguage, ExitAndReduceAreSentFromEveryPage)
{
    for (int frame : kPageFrames) {
        SCOPED_TRACE(frame);
        MovieHarness movie(GetParam(), frame);
        ASSERT_TRUE(movie.loaded());
        ASSERT_TRUE(movie.click("window_reduce"));
        ASSERT_TRUE(movie.click("window_exit"));
        ASSERT_EQ(movie.commands.size(), 2u);
        EXPECT_EQ(movie.commands[0].first, QStringLiteral("reduce"));
        EXPECT_EQ(movie.commands[1].first, QStringLiteral("exit"));
    }
}

INSTANTIATE_TEST_SUITE_P(Movies, EveryLanguage, ::testing::ValuesIn(movies_test::languages()),
                         [](const auto& info) { return info.param.toStdString(); });

}  // namespace
