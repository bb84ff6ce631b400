// A page left open does no work: its decorative animations come to an end.
// (A page out of sight is paused by the player; see the movie control's tests.)
// Animation time is driven by hand here, so ten seconds of the movie take a
// moment. A scene is quiet when pictures of it taken a quarter and a half of a
// second of animation time apart are the same.

#include "movie_harness_support.h"
#include "manual_animation_driver.h"

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <gtest/gtest.h>

#include <memory>

using movies_test::MovieHarness;

namespace {

// One driver for the whole test program: the animation timer keeps the first one installed.
ManualAnimationDriver& Driver()
{
    static ManualAnimationDriver* driver = [] {
        movies_test::ensureApp();
        auto* d = new ManualAnimationDriver;
        d->install();
        return d;
    }();
    return *driver;
}

// Whether the picture of the window changes within the next half second.
bool Animates(QQuickWindow& window, ManualAnimationDriver& driver)
{
    const QImage before = window.grabWindow();
    driver.Run(250);
    const QImage middle = window.grabWindow();
    driver.Run(250);
    const QImage after = window.grabWindow();
    return before != middle || middle != after;
}

QQuickItem* Find(QObject* root, const char* name)
{
    return root ? root->findChild<QQuickItem*>(QString::fromLatin1(name)) : nullptr;
}

// The ball stands on the grass line, 70 % down the stage, inside the stage.
void ExpectBallAtRest(QObject* root, const char* when)
{
    QQuickItem* stage = Find(root, "phoneStage");
    QQuickItem* ball = Find(root, "phoneBall");
    ASSERT_TRUE(stage && ball) << when;
    EXPECT_NEAR(ball->y() + ball->height(), stage->height() * 0.7, 0.5)
        << when << ": ball bottom " << ball->y() + ball->height() << ", stage " << stage->height();
    EXPECT_GE(ball->x(), 0) << when;
    EXPECT_LE(ball->x() + ball->width(), stage->width()) << when;
}

struct PhoneCase {
    const char* body;  // the phone as a page would write it
    bool bouncesAtFirst;
    bool quiet;        // nothing moves any more after ten seconds
};

void PrintTo(const PhoneCase& c, std::ostream* os) { *os << c.body; }

class PhoneArtSettles : public ::testing::TestWithParam<PhoneCase> {};

TEST_P(PhoneArtSettles, AfterTenSecondsOnlyTheEndlessPhoneStillAnimates)
{
    ManualAnimationDriver& driver = Driver();
    QQmlEngine engine;
    QQmlComponent component(&engine);
    const QString common = QStringLiteral(TESSARY_SOURCE_DIR "/movies/common/");
    component.setData(QByteArray("import QtQuick\n") + GetParam().body,
                      QUrl::fromLocalFile(common + QStringLiteral("PhoneCase.qml")));
    std::unique_ptr<QObject> phone(component.create());
    auto* item = qobject_cast<QQuickItem*>(phone.get());
    ASSERT_TRUE(item) << qPrintable(component.errorString());
    QQuickWindow window;
    window.resize(120, 220);
    item->setParentItem(window.contentItem());
    window.show();

    EXPECT_EQ(Animates(window, driver), GetParam().bouncesAtFirst) << GetParam().body << ": at first";
    driver.Run(10000);
    EXPECT_EQ(Animates(window, driver), !GetParam().quiet) << GetParam().body << ": after ten seconds";
    if (GetParam().quiet)
        ExpectBallAtRest(phone.get(), GetParam().body);
}

std::string PhoneCaseName(const ::testing::TestParamInfo<PhoneCase>& info)
{
    static const char* const names[] = {"Endless", "EightBounces", "HalfScreen", "NotRunning"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Phones, PhoneArtSettles,
                         ::testing::Values(PhoneCase{"PhoneArt {}", true, false},
                                           PhoneCase{"PhoneArt { bounces: 8 }", true, true},
                                           PhoneCase{"PhoneArt { bounces: 3; halfScreen: true }", true, true},
                                           PhoneCase{"PhoneArt { bounces: 8; running: false }", false, true}),
                         PhoneCaseName);

TEST(StartPageQuiet, RestsAfterTheWelcomeAndAfterEachSizeChoice)
{
    ManualAnimationDriver& driver = Driver();
    MovieHarness movie(QStringLiteral("EN"), 1);
    ASSERT_TRUE(movie.loaded());
    movie.view().show();
    EXPECT_TRUE(Animates(movie.view(), driver)) << "the welcome should play";
    driver.Run(10000);
    EXPECT_FALSE(Animates(movie.view(), driver)) << "the welcome still moves after ten seconds";
    ExpectBallAtRest(movie.root(), "welcome");

    // The choices, then each size in turn: the phone shows it, then rests again.
    movie.call("tGotoFrame", {QStringLiteral("MainIntro"), 1});
    const char* sizes[] = {"HalfScreen", "FullScreen", "HalfScreen"};
    for (const char* size : sizes) {
        movie.setVariable(QStringLiteral("ImageSize"), QString::fromLatin1(size));
        EXPECT_TRUE(Animates(movie.view(), driver)) << size << ": the phone should show the new size";
        driver.Run(10000);
        EXPECT_FALSE(Animates(movie.view(), driver)) << size << ": still moving after ten seconds";
        ExpectBallAtRest(movie.root(), size);
    }
    EXPECT_TRUE(movie.warnings.isEmpty()) << qPrintable(movie.warnings.join(QLatin1Char('\n')));
}

// The user picks the other size while the ball still bounces.
TEST(StartPageQuiet, BallLandsOnTheNewGrassWhenTheSizeChangesMidBounce)
{
    ManualAnimationDriver& driver = Driver();
    for (int after : {300, 2000, 5000, 6500}) {
        MovieHarness movie(QStringLiteral("EN"), 1);
        ASSERT_TRUE(movie.loaded());
        movie.view().show();
        movie.call("tGotoFrame", {QStringLiteral("MainIntro"), 1});
        driver.Run(after);
        movie.setVariable(QStringLiteral("ImageSize"), QStringLiteral("HalfScreen"));
        driver.Run(10000);
        EXPECT_FALSE(Animates(movie.view(), driver)) << "half screen chosen after " << after << " ms";
        ExpectBallAtRest(movie.root(), qPrintable(QStringLiteral("half screen chosen after %1 ms").arg(after)));
    }
}

// The save page plays its illustration when it is shown and each time the
// program calls "IllTr" at frame 0: the animation travels to the phone while
// the phone bounces, then both rest, the animation on the phone's side.
TEST(SavePageQuiet, TheIllustrationPlaysThenRestsEachTimeItIsCalled)
{
    ManualAnimationDriver& driver = Driver();
    MovieHarness movie(QStringLiteral("EN"), 6);
    ASSERT_TRUE(movie.loaded());
    movie.view().show();
    const char* plays[] = {"on show", "called once", "called again"};
    for (const char* play : plays) {
        if (play != plays[0]) {
            driver.Run(3000);
            movie.call("tCallFrame", {QStringLiteral("IllTr"), 0});
        }
        EXPECT_TRUE(Animates(movie.view(), driver)) << play << ": the illustration should play";
        driver.Run(10000);
        EXPECT_FALSE(Animates(movie.view(), driver)) << play << ": still moving after ten seconds";
        ExpectBallAtRest(movie.root(), play);
    }
    EXPECT_TRUE(movie.warnings.isEmpty()) << qPrintable(movie.warnings.join(QLatin1Char('\n')));
}

}  // namespace
