// The movie control over a real QML movie: every operation reaches the movie's
// functions, the movie's commands reach the page, and the top strip of the movie
// opens the frame menu or drags the frame while the movie still gets the click.
#include "movie_ctrl.h"
#include "movie_tooltip.h"
#include "wizard_globals.h"
#include "wizard_test_support.h"

#include <QApplication>
#include <QQuickItem>
#include <QTest>
#include <QToolTip>
#include <QHelpEvent>
#include <gtest/gtest.h>

namespace {

std::string BridgeMovieUrl(const char* query)
{
    return "file://" TESSARY_SOURCE_DIR "/tests/app/bridge_movie/EN/Plendix.swf" + std::string(query);
}

// A top-level window that records the system commands sent to it.
class Window : public QWidget {
public:
    std::vector<uintptr_t> commands;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == platform::WindowMessageEvent::EventType()) {
            auto* m = static_cast<platform::WindowMessageEvent*>(e);
            if (m->Message() == WM_SYSCOMMAND)
                commands.push_back(m->WParam());
            return true;
        }
        return QWidget::event(e);
    }
};

class MovieBridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard_test::EnsureApp();
        window = std::make_unique<Window>();
        window->resize(580, 411);
        movie = new CMovieCtrl(window.get());
        movie->setGeometry(0, 0, 580, 411);
        movie->Movie(BridgeMovieUrl("?frm=3"));
        window->show();
        wizard_test::Pump(50);
        ASSERT_NE(movie->rootObject(), nullptr) << "the test movie did not load";
    }

    int RootInt(const char* property) { return movie->rootObject()->property(property).toInt(); }

    std::unique_ptr<Window> window;
    CMovieCtrl* movie = nullptr;
};

TEST_F(MovieBridge, StartsAtTheFrameOfTheUrl)
{
    EXPECT_EQ(RootInt("startedAt"), 3) << "frm is set before the movie starts";
    EXPECT_EQ(movie->MovieUrlLoaded(), BridgeMovieUrl("?frm=3"));
}

TEST_F(MovieBridge, OperationsReachTheMovie)
{
    movie->SetVariable("ImageSize", "FullScreen");
    EXPECT_EQ(movie->GetVariable("ImageSize"), "FullScreen");
    EXPECT_EQ(movie->GetVariable("missing"), "");
    movie->SetVariable("Name", "ÄÖ 动画");
    EXPECT_EQ(movie->GetVariable("Name"), "ÄÖ 动画");
    EXPECT_EQ(movie->FlashVersion(), 0x70000);
    EXPECT_EQ(movie->TCurrentFrame("MainIntro"), 1);
    EXPECT_EQ(movie->TCurrentFrame("nothing"), -1);

    movie->SetVariable("log", "");
    movie->GotoFrame(8);
    movie->TGotoFrame("barre", 13);
    movie->TPlay("/barre");
    movie->TSetProperty("DurationCursor", 0, "145");
    movie->TCallFrame("IllTr", 0);
    EXPECT_EQ(movie->FrameNum(), 8);
    EXPECT_EQ(movie->TCurrentFrame("barre"), 13);
    EXPECT_EQ(movie->GetVariable("log"), "goto 8;tgoto barre 13;play /barre;prop DurationCursor 0 145;call IllTr 0");
}

TEST_F(MovieBridge, MovieCommandsArriveAsFSCommand)
{
    std::vector<std::pair<QString, QString>> got;
    QObject::connect(movie, &CMovieCtrl::FSCommand,
                     [&](const QString& c, const QString& a) { got.emplace_back(c, a); });
    QQuickItem* next = movie->rootObject()->findChild<QQuickItem*>(QStringLiteral("nextButton"));
    ASSERT_NE(next, nullptr);
    const QPoint at = next->mapToScene(QPointF(next->width() / 2, next->height() / 2)).toPoint();
    QTest::mouseClick(movie, Qt::LeftButton, Qt::NoModifier, at);
    wizard_test::Pump();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], std::make_pair(QStringLiteral("ChangeStep"), QStringLiteral("2")));
}

TEST_F(MovieBridge, CornerClickOpensTheMenuAndStillReachesTheMovie)
{
    const int before = RootInt("presses");
    QTest::mouseClick(movie, Qt::LeftButton, Qt::NoModifier, QPoint(25, 0));
    wizard_test::Pump();
    EXPECT_EQ(window->commands, std::vector<uintptr_t>{SC_MOUSEMENU});
    EXPECT_EQ(RootInt("presses"), before + 1);

    QTest::mouseClick(movie, Qt::LeftButton, Qt::NoModifier, QPoint(10, 25));
    wizard_test::Pump();
    EXPECT_EQ(window->commands.size(), 1u) << "y = 25 is below the strip";
    EXPECT_EQ(RootInt("presses"), before + 2);
}

TEST_F(MovieBridge, TopStripDragsTheWindow)
{
    window->move(100, 100);
    wizard_test::Pump();
    const QPoint start = window->pos();
    QTest::mousePress(movie, Qt::LeftButton, Qt::NoModifier, QPoint(200, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(230, 50), movie->mapToGlobal(QPointF(230, 50)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(movie, &move);
    QTest::mouseRelease(movie, Qt::LeftButton, Qt::NoModifier, QPoint(230, 50));
    wizard_test::Pump();
    EXPECT_TRUE(window->commands.empty());
    EXPECT_EQ(window->pos(), start + QPoint(30, 40));
}

TEST_F(MovieBridge, ClickBelowTheStripDoesNotMoveTheWindow)
{
    window->move(100, 100);
    wizard_test::Pump();
    const QPoint start = window->pos();
    QTest::mousePress(movie, Qt::LeftButton, Qt::NoModifier, QPoint(200, 30));
    QMouseEvent move(QEvent::MouseMove, QPointF(230, 70), movie->mapToGlobal(QPointF(230, 70)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(movie, &move);
    QTest::mouseRelease(movie, Qt::LeftButton, Qt::NoModifier, QPoint(230, 70));
    wizard_test::Pump();
    EXPECT_EQ(window->pos(), start);
}

// Counts the hide events of the widget it is installed on.
class HideCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            ++count;
        return false;
    }
};

TEST_F(MovieBridge, TipShowsTheMovieTextAndHidesWhenThePointerMovesOn)
{
    CMovieToolTip tip(window.get(), [this](QWidget*) { return movie->GetVariable("tt"); });
    tip.AddTool(movie);
    QQuickItem* button = movie->rootObject()->findChild<QQuickItem*>(QStringLiteral("tipButton"));
    ASSERT_NE(button, nullptr);
    const QPoint at = button->mapToScene(QPointF(10, 10)).toPoint();
    QTest::mouseMove(movie, at);
    wizard_test::Pump();
    ASSERT_EQ(movie->GetVariable("tt"), "Goes on to the next step") << "the movie names its element";

    QHelpEvent request(QEvent::ToolTip, at, movie->mapToGlobal(at));
    QApplication::sendEvent(movie, &request);
    wizard_test::Pump();
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Goes on to the next step"));

    // Qt shows the tip again by itself when the pointer rests on the element after
    // a pop, so the pop is watched as the tip window's hide event, not as its
    // visibility at some later moment.
    QWidget* label = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            label = w;
    ASSERT_NE(label, nullptr);
    HideCounter hides;
    label->installEventFilter(&hides);

    QMouseEvent sideways(QEvent::MouseMove, QPointF(at.x() + 3, at.y()), movie->mapToGlobal(QPointF(at.x() + 3, at.y())),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(movie, &sideways);
    wizard_test::Pump(400);
    EXPECT_EQ(hides.count, 0) << "only x changed";
    EXPECT_TRUE(QToolTip::isVisible()) << "only x changed";
    QMouseEvent diagonal(QEvent::MouseMove, QPointF(at.x() + 5, at.y() + 2),
                         movie->mapToGlobal(QPointF(at.x() + 5, at.y() + 2)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(movie, &diagonal);
    // A hidden tip fades out for a moment; on a busy machine the fade takes longer.
    for (int waited = 0; hides.count == 0 && waited < 5000; waited += 20)
        wizard_test::Pump(20);
    EXPECT_GE(hides.count, 1) << "both coordinates changed";
}

TEST(MovieBridgeLoad, MissingMovieShowsAStandInThatAnswersLikeAnEmptyMovie)
{
    wizard_test::EnsureApp();
    QWidget window;
    CMovieCtrl movie(&window);
    movie.Movie("file:///nowhere/EN/Plendix.swf?frm=1");
    EXPECT_EQ(movie.MoviePlayed(), "");
    ASSERT_NE(movie.rootObject(), nullptr) << "the stand-in explains and offers Close";
    EXPECT_EQ(movie.GetVariable("tt"), "");
    EXPECT_EQ(movie.FlashVersion(), CMovieCtrl::kPlayerVersion);
}

} // namespace
