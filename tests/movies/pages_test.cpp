// The commands each page's frame sends, and how each page answers the program's
// frame and clip calls.

#include "movie_harness_support.h"

#include <QQuickItem>
#include <QRegularExpression>
#include <gtest/gtest.h>

using movies_test::MovieHarness;

namespace {

using Command = std::pair<QString, QString>;

struct Click {
    int frame;           // page start frame, -1 for the transfer page
    int gotoFrame;       // root frame the program sends first, -1 none
    const char* element;
    const char* command;
    const char* args;
};

// Every button the program listens to, by page.
const Click kClicks[] = {
    {2, -1, "back", "ChangeStep", "1"},
    {2, -1, "myContent", "MyContent", ""},
    {2, -1, "parentDir", "ParentDir", ""},
    {3, 5, "back", "ChangeStep", "2"},
    {3, 5, "nextButton", "ChangeStep", "4"},
    {3, 5, "ButtonRewind", "ButtonRewind", ""},
    {3, 5, "ButtonPrev", "ButtonPrev", ""},
    {3, 5, "ButtonNext", "ButtonNext", ""},
    {3, 5, "ButtonForward", "ButtonForward", ""},
    {3, 5, "ButtonShiftLeft", "ButtonShiftLeft", ""},
    {3, 5, "ButtonShiftRight", "ButtonShiftRight", ""},
    {3, 5, "ButtonInsertBefore", "ButtonInsert", "0"},
    {3, 5, "ButtonInsertAfter", "ButtonInsert", "1"},
    {3, 5, "ButtonModify", "ButtonModify", ""},
    {3, 5, "ButtonDelete", "ButtonDelete", ""},
    {3, 5, "ButtonStopAnim", "ButtonStopAnim", ""},
    {3, 5, "ButtonPlayAnim", "ButtonPlayAnim", ""},
    {3, 4, "addPicture", "ButtonInsert", "0"},
    {3, 4, "nextButton", "ChangeStep", "4"},
    {5, -1, "back", "ChangeStep", "2"},
    {5, -1, "nextButton", "ChangeStep", "4"},
    {5, -1, "ButtonRotateleft", "ButtonRotateleft", ""},
    {5, -1, "ButtonRotateright", "ButtonRotateright", ""},
    {5, -1, "ButtonMirror", "ButtonMirror", ""},
    {5, -1, "ButtonFlip", "ButtonFlip", ""},
    {5, -1, "selectAll", "SelectAll", "All"},
    {5, -1, "selectSelection", "SelectAll", "Selection"},
    {5, -1, "applyAll", "SelectApply", "All"},
    {6, -1, "back", "ChangeStep", "4"},
    {6, -1, "nextButton", "ChangeStep", "6"},
    {6, -1, "SaveOnComp", "SaveOnComp", ""},
    {-1, 9, "back", "ChangeStep", "5"},
    {-1, 9, "nextButton", "ChangeStep", "2"},
};

class PageButtons : public ::testing::TestWithParam<QString> {};

TEST_P(PageButtons, EachButtonHasATipAndSendsItsCommand)
{
    for (const Click& c : kClicks) {
        SCOPED_TRACE(std::string(c.element) + " on frame " + std::to_string(c.frame));
        MovieHarness movie(GetParam(), c.frame);
        ASSERT_TRUE(movie.loaded());
        if (c.gotoFrame >= 0)
            movie.call("gotoFrame", {c.gotoFrame});
        ASSERT_TRUE(movie.hover(c.element)) << "no visible element " << c.element;
        EXPECT_FALSE(movie.getVariable("tt").isEmpty()) << "no tip";
        ASSERT_TRUE(movie.click(c.element));
        ASSERT_EQ(movie.commands.size(), 1u);
        EXPECT_EQ(movie.commands[0], Command(c.command, c.args));
    }
}

INSTANTIATE_TEST_SUITE_P(LatinAndChinese, PageButtons, ::testing::Values("EN", "CHT"),
                         [](const auto& info) { return info.param.toStdString(); });

TEST(StartPage, IntroductionMovesOnToTheChoicesByItself)
{
    MovieHarness movie("EN", 1);
    ASSERT_TRUE(movie.loaded());
    movie.wait(4000);
    EXPECT_EQ(movie.call("tCurrentFrame", {"MainIntro"}).toInt(), 1);
}

TEST(ContentPage, NextWaitsForTheProgramToEnableIt)
{
    MovieHarness movie("EN", 2);
    ASSERT_TRUE(movie.loaded());
    EXPECT_EQ(movie.call("tCurrentFrame", {"next"}).toInt(), 0);
    movie.click("nextButton");
    EXPECT_TRUE(movie.commands.empty()) << "a disabled next sends nothing";

    movie.call("tGotoFrame", {"next", 1});
    movie.click("nextButton");
    ASSERT_EQ(movie.commands.size(), 1u);
    EXPECT_EQ(movie.commands[0], Command("ChangeStep", "3"));

    movie.call("tGotoFrame", {"next", 0});
    movie.click("nextButton");
    EXPECT_EQ(movie.commands.size(), 1u);
}

TEST(AnimationPage, DurationCursorIsPlacedByTheProgramAndDraggedByTheUser)
{
    MovieHarness movie("EN", 3);
    ASSERT_TRUE(movie.loaded());
    movie.call("gotoFrame", {5});
    QQuickItem* cursor = movie.item("DurationCursor");
    ASSERT_NE(cursor, nullptr);

    movie.call("tSetProperty", {"DurationCursor", 0, "193"});
    EXPECT_DOUBLE_EQ(cursor->mapToScene(QPointF(0, 0)).x(), 193.0);
    EXPECT_TRUE(movie.commands.empty()) << "placing the cursor is not a user change";

    const QPointF knob = cursor->mapToScene(QPointF(0, 0));
    movie.dragHorizontally(knob, 400);
    ASSERT_FALSE(movie.commands.empty());
    EXPECT_EQ(movie.commands.back(), Command("duration", "120")) << "the cursor stops at the end of the track";
    for (const Command& c : movie.commands)
        EXPECT_EQ(c.first, QStringLiteral("duration"));

    movie.commands.clear();
    movie.dragHorizontally(cursor->mapToScene(QPointF(0, 0)), 0);
    ASSERT_FALSE(movie.commands.empty());
    EXPECT_EQ(movie.commands.back(), Command("duration", "0"));
    EXPECT_DOUBLE_EQ(cursor->mapToScene(QPointF(0, 0)).x(), 133.0);

    // A click on the track moves the cursor there.
    movie.commands.clear();
    QQuickItem* track = movie.item("durationTrack");
    ASSERT_NE(track, nullptr);
    movie.clickAt(track->mapToScene(QPointF(45, track->height() / 2)));
    ASSERT_EQ(movie.commands.size(), 1u);
    EXPECT_EQ(movie.commands[0], Command("duration", "45"));
    EXPECT_DOUBLE_EQ(cursor->mapToScene(QPointF(0, 0)).x(), 178.0);
}

TEST(AnimationPage, FrameFourShowsTheEmptyAnimationAndFiveTheEditor)
{
    MovieHarness movie("EN", 3);
    ASSERT_TRUE(movie.loaded());
    movie.call("gotoFrame", {4});
    EXPECT_NE(movie.item("addPicture"), nullptr);
    EXPECT_EQ(movie.item("ButtonDelete"), nullptr);
    movie.call("gotoFrame", {5});
    EXPECT_EQ(movie.item("addPicture"), nullptr);
    EXPECT_NE(movie.item("ButtonDelete"), nullptr);
}

TEST(AnimationPage, MakeItFitShowsOnlyOverTheLimitAndSaysWhatWasDoneInEveryLanguage)
{
    using Vars = std::vector<std::pair<QString, QString>>;
    const struct {
        const char* name;
        Vars vars;
        bool wantButton;
    } meters[] = {
        {"no meter", {}, false},
        {"measuring", {{"AnimMaxBytes", "102400"}, {"AnimBytes", ""}, {"AnimFits", "0"}}, false},
        {"fits", {{"AnimMaxBytes", "102400"}, {"AnimBytes", "90000"}, {"AnimFits", "1"}}, false},
        {"too big", {{"AnimMaxBytes", "102400"}, {"AnimBytes", "150000"}, {"AnimFits", "0"}}, true},
    };
    // What was done: colours, frames kept, frames before; the numbers the text must carry.
    const struct {
        const char* colours;
        const char* kept;
        const char* of;
        const char* key;
    } reports[] = {
        {"", "", "", "fitCoder"},
        {"64", "", "", "fitColours"},
        {"", "40", "60", "fitFrames"},
        {"32", "17", "256", "fitColoursFrames"},
    };
    MovieHarness english("EN", 3);
    ASSERT_TRUE(english.loaded());
    const QVariantMap englishTexts = english.root()->property("texts").toMap();

    for (const QString& code : movies_test::languages()) {
        SCOPED_TRACE(code.toStdString());
        MovieHarness movie(code, 3);
        ASSERT_TRUE(movie.loaded());
        movie.call("gotoFrame", {5});
        const QVariantMap texts = movie.root()->property("texts").toMap();
        // Found hidden or shown: item() finds only what is shown.
        const auto find = [&movie](const char* name) {
            return movie.root()->findChild<QQuickItem*>(QString::fromLatin1(name));
        };
        QQuickItem* button = find("ButtonMakeFit");
        QQuickItem* label = find("fitButtonLabel");
        QQuickItem* report = find("fitReport");
        ASSERT_TRUE(button && label && report);
        for (const auto& m : meters) {
            SCOPED_TRACE(m.name);
            for (const char* name : {"AnimMaxBytes", "AnimBytes", "AnimFits"})
                movie.setVariable(QString::fromLatin1(name), "");
            for (const auto& [name, value] : m.vars)
                movie.setVariable(name, value);
            EXPECT_EQ(button->isVisible(), m.wantButton);
        }
        EXPECT_EQ(label->property("text").toString(), texts.value("fitButton").toString());
        ASSERT_TRUE(movie.hover("ButtonMakeFit"));
        EXPECT_EQ(movie.getVariable("tt"), texts.value("tipFit").toString());
        movie.commands.clear();
        ASSERT_TRUE(movie.click("ButtonMakeFit"));
        ASSERT_EQ(movie.commands.size(), 1u);
        EXPECT_EQ(movie.commands[0], Command("ButtonMakeFit", ""));

        // While the program works: the button says so, and only playback answers.
        movie.setVariable("AnimFitting", "1");
        EXPECT_TRUE(button->isVisible());
        EXPECT_EQ(label->property("text").toString(), texts.value("fitWorking").toString());
        movie.commands.clear();
        for (const char* element : {"ButtonMakeFit", "ButtonDelete", "ButtonNext", "ButtonInsertAfter", "nextButton",
                                    "back"})
            movie.click(element);
        EXPECT_TRUE(movie.commands.empty()) << movie.commands[0].first.toStdString();
        ASSERT_TRUE(movie.click("ButtonStopAnim"));
        ASSERT_EQ(movie.commands.size(), 1u);
        EXPECT_EQ(movie.commands[0], Command("ButtonStopAnim", ""));
        movie.setVariable("AnimFitting", "0");
        // The button goes from under the mouse once the animation fits.
        ASSERT_TRUE(movie.hover("ButtonMakeFit"));
        movie.setVariable("AnimBytes", "98000");
        movie.setVariable("AnimFits", "1");
        EXPECT_FALSE(button->isVisible());
        movie.wait(20);
        EXPECT_EQ(movie.getVariable("tt"), "") << "its tip goes with it";

        EXPECT_FALSE(report->isVisible());
        for (const auto& r : reports) {
            SCOPED_TRACE(r.key);
            movie.setVariable("AnimFitDone", "1");
            movie.setVariable("AnimFitColours", r.colours);
            movie.setVariable("AnimFitKept", r.kept);
            movie.setVariable("AnimFitOf", r.of);
            EXPECT_TRUE(report->isVisible());
            const QString text = report->property("text").toString();
            QString want = texts.value(r.key).toString();
            const QStringList numbers = QStringList{r.colours, r.kept, r.of}.filter(QRegularExpression("."));
            for (int i = 0; i < numbers.size(); ++i) {
                EXPECT_TRUE(want.contains(QStringLiteral("%%1").arg(i + 1)));
                want.replace(QStringLiteral("%%1").arg(i + 1), numbers[i]);
            }
            EXPECT_EQ(text, want);
            EXPECT_FALSE(text.contains('%')) << text.toStdString();
            if (code != QLatin1String("EN")) {
                EXPECT_NE(texts.value(r.key), englishTexts.value(r.key)) << "an English copy";
            }
        }
        movie.setVariable("AnimFitDone", "");
        EXPECT_FALSE(report->isVisible());
        EXPECT_TRUE(movie.warnings.isEmpty()) << movie.warnings.join('\n').toStdString();
    }
}

TEST(PicturePage, LightnessRunsFromMinusToPlusSixtyAndFrameFiveResetsIt)
{
    MovieHarness movie("EN", 5);
    ASSERT_TRUE(movie.loaded());
    QQuickItem* slider = movie.item("lightness");
    ASSERT_NE(slider, nullptr);
    const QPointF middle = slider->mapToScene(QPointF(60, 12));

    movie.dragHorizontally(middle, middle.x() + 300);
    ASSERT_FALSE(movie.commands.empty());
    EXPECT_EQ(movie.commands.back(), Command("lightness", "60"));
    movie.commands.clear();
    movie.dragHorizontally(middle, middle.x() - 300);
    ASSERT_FALSE(movie.commands.empty());
    EXPECT_EQ(movie.commands.back(), Command("lightness", "-60"));
    for (const Command& c : movie.commands) {
        EXPECT_EQ(c.first, QStringLiteral("lightness"));
        const int v = c.second.toInt();
        EXPECT_TRUE(v >= -60 && v <= 60) << "have " << v;
    }

    movie.click("applyAll");
    movie.call("gotoFrame", {5});
    movie.call("gotoFrame", {6});
    EXPECT_EQ(slider->property("value").toInt(), 0);
    movie.commands.clear();
    movie.click("applyAll");
    ASSERT_EQ(movie.commands.size(), 1u);
    EXPECT_EQ(movie.commands[0], Command("SelectApply", "All")) << "the box was cleared by frame 5";
}

TEST(PicturePage, ChoosingTheWholePictureIsKeptInSelectType)
{
    MovieHarness movie("EN", 5);
    ASSERT_TRUE(movie.loaded());
    EXPECT_EQ(movie.getVariable("_SelectType"), QStringLiteral("Selection"));
    movie.click("selectAll");
    EXPECT_EQ(movie.getVariable("_SelectType"), QStringLiteral("All"));
    movie.click("applyAll");
    movie.click("applyAll");
    ASSERT_EQ(movie.commands.size(), 3u);
    EXPECT_EQ(movie.commands[2], Command("SelectApply", "One"));
}

TEST(TransferPage, ShowingTheTransferFrameStartsTheTransferOnce)
{
    MovieHarness movie("EN", -1);
    ASSERT_TRUE(movie.loaded());
    movie.wait(600);
    EXPECT_TRUE(movie.commands.empty()) << "nothing starts before the page shows the transfer";

    movie.call("gotoFrame", {8});
    movie.call("tGotoFrame", {"/next", 0});
    movie.call("tGotoFrame", {"/barre", 0});
    movie.call("tPlay", {"/barre"});
    EXPECT_TRUE(movie.commands.empty()) << "the command comes after the program's calls return";
    movie.wait(800);
    ASSERT_EQ(movie.commands.size(), 1u);
    EXPECT_EQ(movie.commands[0], Command("TransfertStarted", ""));
    EXPECT_EQ(movie.call("tCurrentFrame", {"barre"}).toInt(), 0) << "waiting does not fake progress";

    // Progress, as the link events move it.
    for (int percent : {0, 50, 100}) {
        movie.call("tGotoFrame", {"barre", 1});
        movie.call("tGotoFrame", {"barre", percent / 4 + 1});
        EXPECT_EQ(movie.call("tCurrentFrame", {"barre"}).toInt(), percent / 4 + 1);
    }

    // Nothing but the result leaves the transfer screen.
    movie.commands.clear();
    movie.click("back");
    movie.click("nextButton");
    EXPECT_TRUE(movie.commands.empty());

    movie.setVariable("_ErrTxt", "<font face=\"Arial\">Your animation holiday.gif is now on your phone.</font>");
    movie.call("gotoFrame", {movie.frameNum() + 1});
    movie.call("tCallFrame", {"ErrTxt", 0});
    EXPECT_EQ(movie.frameNum(), 9);
    movie.wait(50);
    ASSERT_EQ(movie.commands.size(), 1u);
    EXPECT_EQ(movie.commands[0], Command("TransferDone", ""));
    EXPECT_EQ(movie.call("tCurrentFrame", {"next"}).toInt(), 1) << "the result screen lets the user start again";
}

TEST(TransferPage, ResultTextIsShownAsRichTextInTheMoviesFont)
{
    MovieHarness movie("RU", -1);
    ASSERT_TRUE(movie.loaded());
    movie.call("gotoFrame", {9});
    movie.setVariable("_ErrTxt",
                      "<font face=\"Arial CYR\"><B>Ошибка передачи.</B>\n\nНет ответа.\n\nНажмите \"Назад\".</font>");
    QQuickItem* field = movie.item("_ErrTxt");
    ASSERT_NE(field, nullptr);
    const QString shown = field->property("text").toString();
    EXPECT_TRUE(shown.contains("face=\"Noto Sans\"")) << shown.toStdString();
    EXPECT_FALSE(shown.contains("Arial CYR"));
    EXPECT_EQ(shown.count("<br>"), 4);
    EXPECT_EQ(field->property("textFormat").toInt(), 1 /* Text.RichText */);
}

TEST(TransferPage, NoLinkScreenAppearsAfterFramesSixAndNine)
{
    MovieHarness movie("EN", -1);
    ASSERT_TRUE(movie.loaded());
    movie.setVariable("CurrentLink", "None");
    movie.call("gotoFrame", {6});
    movie.call("gotoFrame", {9});
    movie.wait(600);
    EXPECT_TRUE(movie.commands.empty()) << "no transfer starts without a link";
    EXPECT_EQ(movie.item("_ErrTxt"), nullptr) << "the result text gives way to the no-link explanation";
}

TEST(SavePage, CallingTheIllustrationKeepsTheFilledText)
{
    MovieHarness movie("EN", 6);
    ASSERT_TRUE(movie.loaded());
    const QString filled = movie.getVariable("TxtPrepTr").replace("%1%", "holiday.gif").replace("%2%", "4567");
    movie.setVariable("TxtPrepTr", filled);
    movie.call("tCallFrame", {"IllTr", 0});
    QQuickItem* text = movie.item("TxtPrepTr");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->property("text").toString().contains("holiday.gif (4567 bytes)"));
    EXPECT_TRUE(movie.warnings.isEmpty()) << movie.warnings.join('\n').toStdString();
}

}  // namespace
