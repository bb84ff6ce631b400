// A movie out of sight stays still: while the movie control's page is hidden
// nothing in its movie moves, whatever kind of animation would move it (on a
// property, in a group, started later, made by a Loader or a Repeater), and it
// all moves again once the page shows, except what the movie paused itself.
// Animation time is driven by hand, so seconds of it take a moment.
#include "manual_animation_driver.h"
#include "movie_ctrl.h"
#include "route_tables.h"
#include "wizard_test_support.h"

#include <QAnimationDriver>
#include <QApplication>
#include <QQuickItem>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <memory>
#include <vector>

namespace {

ManualAnimationDriver& Driver()
{
    static ManualAnimationDriver* driver = [] {
        wizard_test::EnsureApp();
        auto* d = new ManualAnimationDriver;
        d->install();
        return d;
    }();
    return *driver;
}

// The movie's warnings while a test runs (pausing an animation that its owner
// drives, or one that does not run, warns).
QStringList& Warnings()
{
    static QStringList warnings;
    return warnings;
}

void RecordWarning(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if ((type == QtWarningMsg || type == QtCriticalMsg) && text.contains(QLatin1String("QML")))
        Warnings() << text;
}

// Where each item of the movie stands, keyed by its object name and its place
// among the items of that name.
using Poses = std::map<std::pair<QString, int>, std::vector<qreal>>;

void Collect(QQuickItem* item, Poses& poses, std::map<QString, int>& seen)
{
    const QString name = item->objectName();
    poses[{name, seen[name]++}] = {item->x(), item->y(), item->rotation(), item->opacity(), item->scale()};
    for (QQuickItem* child : item->childItems())
        Collect(child, poses, seen);
}

Poses PosesOf(CMovieCtrl& movie)
{
    Poses poses;
    std::map<QString, int> seen;
    if (auto* root = qobject_cast<QQuickItem*>(movie.rootObject()))
        Collect(root, poses, seen);
    return poses;
}

// The items (by name, every one of that name) that moved during `ms` of animation time.
std::set<QString> MovedDuring(CMovieCtrl& movie, int ms)
{
    const Poses before = PosesOf(movie);
    Driver().Run(ms);
    const Poses after = PosesOf(movie);
    std::set<QString> moved;
    for (const auto& [key, pose] : after) {
        const auto was = before.find(key);
        if (was == before.end() || was->second != pose)
            moved.insert(key.first);
    }
    return moved;
}

std::string Names(const std::set<QString>& names)
{
    std::string text;
    for (const QString& name : names)
        text += (text.empty() ? "" : ", ") + (name.isEmpty() ? std::string("(unnamed)") : name.toStdString());
    return text.empty() ? "nothing" : text;
}

// A frame window with one page holding the movie control, the page hidden
// at first as the frame makes its pages.
struct HiddenPage {
    explicit HiddenPage(const std::string& url)
    {
        Driver();
        window = std::make_unique<QWidget>();
        window->resize(580, 411);
        page = new QWidget(window.get());
        page->setGeometry(0, 0, 580, 411);
        page->hide();
        movie = new CMovieCtrl(page);
        movie->setGeometry(0, 0, 580, 411);
        movie->Movie(url);
        window->show();
        wizard_test::Pump(20);
    }

    std::unique_ptr<QWidget> window;
    QWidget* page = nullptr;
    CMovieCtrl* movie = nullptr;
};

std::string TestMovie()
{
    return "file://" TESSARY_SOURCE_DIR "/tests/app/hidden_movie/EN/Plendix.swf";
}

} // namespace

TEST(MovieOutOfSight, NothingMovesWhileHiddenAndEverythingGoesOnWhenShown)
{
    Warnings().clear();
    const QtMessageHandler previous = qInstallMessageHandler(RecordWarning);
    HiddenPage shown(TestMovie());
    ASSERT_NE(shown.movie->rootObject(), nullptr);

    // Each step changes what is on show, then lets a second of animation pass.
    const std::set<QString> all = {"free", "grouped", "standalone", "loaded", "repeated", "late", "ownPause"};
    std::set<QString> allButOwn = all;
    allButOwn.erase("ownPause");
    const struct {
        const char* step;
        bool show;       // the page shown (else hidden)
        bool startLate;  // the movie starts the animation that waited
        bool pauseOwn;   // the movie pauses one of its animations itself
        std::set<QString> moving;
    } steps[] = {
        {"made hidden", false, false, false, {}},
        {"an animation starts while hidden", false, true, false, {}},
        {"shown", true, false, false, all},
        {"the movie pauses one", true, false, true, allButOwn},
        {"hidden again", false, false, false, {}},
        {"shown again", true, false, false, allButOwn},
    };
    for (const auto& s : steps) {
        if (s.startLate)
            shown.movie->rootObject()->setProperty("later", true);
        if (s.pauseOwn)
            QMetaObject::invokeMethod(shown.movie->rootObject(), "pauseOwn");
        shown.page->setVisible(s.show);
        wizard_test::Pump(10);
        EXPECT_EQ(shown.movie->AnimationsPaused(), !s.show) << s.step;
        std::set<QString> moved = MovedDuring(*shown.movie, 1000);
        moved.erase(QString()); // the root, faded by the state's transition
        EXPECT_EQ(Names(moved), Names(s.moving)) << s.step;
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(Warnings().isEmpty()) << qPrintable(Warnings().join(QLatin1Char('\n')));
}

TEST(MovieOutOfSight, AMovieLoadedWhileHiddenStartsStill)
{
    HiddenPage hidden(TestMovie());
    hidden.movie->Movie(TestMovie() + "?frm=2");
    ASSERT_NE(hidden.movie->rootObject(), nullptr);
    EXPECT_EQ(Names(MovedDuring(*hidden.movie, 1000)), "nothing");
    hidden.page->show();
    wizard_test::Pump(10);
    EXPECT_NE(MovedDuring(*hidden.movie, 1000).count(QStringLiteral("free")), 0u);
}

// Every page of the English movie: still while hidden; the pages whose
// decorations play when they are shown move once shown.
TEST(MovieOutOfSight, EveryPageOfTheMovieIsStillWhileHidden)
{
    const struct {
        const char* page;
        int frm;
        bool playsWhenShown;
    } pages[] = {
        {"start", 1, true}, {"content", 2, false}, {"animation editor", 3, false},
        {"picture editor", 5, false}, {"save", 6, true}, {"transfer", 0, false},
    };
    for (const auto& p : pages) {
        HiddenPage hidden("file://" TESSARY_SOURCE_DIR "/movies/EN/Plendix.swf?frm=" + std::to_string(p.frm));
        ASSERT_NE(hidden.movie->rootObject(), nullptr) << p.page;
        EXPECT_EQ(Names(MovedDuring(*hidden.movie, 3000)), "nothing") << p.page << " page, hidden";
        hidden.page->show();
        wizard_test::Pump(10);
        if (p.playsWhenShown)
            EXPECT_NE(Names(MovedDuring(*hidden.movie, 1000)), "nothing") << p.page << " page, shown";
    }
}
