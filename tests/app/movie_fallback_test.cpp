// A language without movies plays the English movie, and when no movie can be
// played at all the control still shows why and offers a way out: the wizard's
// window can always be closed.
#include "movie_ctrl.h"
#include "wizard_test_support.h"

#include <QQuickItem>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kMovies = "file://" TESSARY_SOURCE_DIR "/tests/app/bridge_movie/";

struct Played {
    std::string played;
    std::vector<std::string> commands;
};

Played Play(const std::string& url)
{
    CMovieCtrl control(nullptr);
    control.resize(580, 411);
    Played result;
    QObject::connect(&control, &CMovieCtrl::FSCommand, [&](const QString& command, const QString&) {
        result.commands.push_back(command.toStdString());
    });
    control.Movie(url);
    control.show();
    wizard_test::Pump(50);
    result.played = control.MoviePlayed();
    if (result.played.empty()) {
        // The stand-in shows a Close button that sends "exit", and Escape does the same.
        QQuickItem* exit = control.rootObject() ? control.rootObject()->findChild<QQuickItem*>("exit") : nullptr;
        if (exit) {
            const QPointF centre = exit->mapToScene(QPointF(exit->width() / 2, exit->height() / 2));
            QTest::mouseClick(&control, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
        }
        QTest::keyClick(&control, Qt::Key_Escape);
        wizard_test::Pump(20);
    }
    return result;
}

} // namespace

TEST(MovieFallback, MissingLanguagesPlayEnglishAndNothingLeavesAWindowWithoutAWayOut)
{
    wizard_test::EnsureApp();
    const std::string english = TESSARY_SOURCE_DIR "/tests/app/bridge_movie/EN/Plendix.qml";
    struct Case {
        std::string url;
        std::string played; // empty: the stand-in with its Close button
    };
    const Case cases[] = {
        {kMovies + "EN/Plendix.swf?frm=2", english},
        {kMovies + "xx/Plendix.swf?frm=2", english},   // a language without a folder
        {kMovies + "/Plendix.swf?frm=1", english},     // no language at all (no settings store)
        {"file:///nonexistent/EN/Plendix.swf", ""},    // a broken installation
        {kMovies + "EN/NoSuchMovie.swf", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const Played played = Play(c.url);
        EXPECT_EQ(played.played, c.played);
        if (c.played.empty()) {
            EXPECT_EQ(played.commands, (std::vector<std::string>{"exit", "exit"}));
        }
    }
}
