// The start page in each of the twelve languages: the frame takes the language's
// title, the page plays that language's movie, and the movie's own clicks go on.
#include "dlg_frame.h"
#include "dlg_wiz1.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "wizard_driver_support.h"
#include "wizard_globals.h"

#include <QQuickItem>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QQuickItem* Visible(QQuickItem* item, const QString& name)
{
    if (!item || !item->isVisible() || item->opacity() <= 0.0)
        return nullptr;
    if (item->objectName() == name)
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = Visible(child, name))
            return found;
    return nullptr;
}

bool Click(CMovieCtrl* movie, const char* name)
{
    QQuickItem* item = Visible(movie->rootObject(), QString::fromLatin1(name));
    if (!item)
        return false;
    QTest::mouseClick(movie, Qt::LeftButton, Qt::NoModifier,
                      item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
    e2e::Wait(300);
    return true;
}

TEST(StartPageLanguages, EveryLanguagePlaysItsMovieAndGoesOn)
{
    e2e::EnsureApp();
    for (const char* code : kLanguageCodes) {
        SCOPED_TRACE(code);
        g_messages = BuildMessages(code);
        // Only the start page: the other pages are not needed here.
        CDlgFrame frame([](int index, CDlgFrame* parent) -> CWizPage* {
            return index == 0 ? new CDlgWiz1(parent) : nullptr;
        });
        frame.OnInitDialog();
        frame.show();
        e2e::Wait(200);
        EXPECT_EQ(frame.windowTitle().toStdString(), g_messages.TitleCreateAnimation);
        CWizPage* start = frame.Page(0);
        ASSERT_NE(start, nullptr);
        const std::string url = start->m_movie->MovieUrlLoaded();
        EXPECT_NE(url.find(std::string("/") + code + "/Plendix.swf?frm=1"), std::string::npos) << url;
        ASSERT_NE(start->m_movie->rootObject(), nullptr) << "no movie at " << url;

        QTest::keyClick(start->m_movie, Qt::Key_Return); // the introduction moves on to the choices
        e2e::Wait(500);
        EXPECT_EQ(start->m_movie->TCurrentFrame("MainIntro"), 1);
        ASSERT_TRUE(Click(start->m_movie, "choiceHalfScreen"));
        ASSERT_TRUE(Click(start->m_movie, "choiceNew"));
        ASSERT_TRUE(Click(start->m_movie, "nextButton"));
        EXPECT_EQ(g_imageSize, 64);
        EXPECT_EQ(g_createNew, 1);
        EXPECT_EQ(frame.m_current, 2);
    }
}

// A language code without movies (or no settings store at all, which gives an
// empty code) still shows the wizard, in English, and the wizard can be left.
TEST(StartPageLanguages, ACodeWithoutMoviesShowsTheEnglishPagesAndCanBeLeft)
{
    for (const char* code : {"xx", ""}) {
        SCOPED_TRACE(std::string("code '") + code + "'");
        e2e::WizardDriver wizard(code);
        const std::string played = wizard.Page(0)->m_movie->MoviePlayed();
        EXPECT_NE(played.find("/EN/Plendix.qml"), std::string::npos) << played;
        EXPECT_EQ(wizard.Frame().windowTitle().toStdString(), "Create Animation");
        ASSERT_TRUE(wizard.Click(QStringLiteral("window_exit")))
            << wizard.VisibleNames().join(QStringLiteral(", ")).toStdString();
        EXPECT_EQ(wizard.Frame().result(), QDialog::Accepted);
    }
}

} // namespace
