// The content page in the whole wizard, with the English movie: the user
// browses to a folder of real pictures, sees their thumbnails, picks one with
// the mouse and goes on.
#include "dlg_frame.h"
#include "dlg_wiz2.h"
#include "folder_view.h"
#include "movie_ctrl.h"
#include "settings.h"
#include "wiz_page.h"
#include "wizard_driver_support.h"
#include "wizard_globals.h"

#include <QFileInfo>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ContentWalk : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard = std::make_unique<e2e::WizardDriver>("EN");
        ASSERT_EQ(wizard->Frame().m_pages.size(), 6u);
        folder = e2e::ContentFixtureFolder();
        page = static_cast<CDlgWiz2*>(wizard->Page(kPageContent));
        wizard->Key(Qt::Key_Return); // the introduction moves on to the choices
    }

    void Step(const char* element, int wantPage)
    {
        ASSERT_TRUE(wizard->Click(QString::fromLatin1(element)))
            << "no visible \"" << element << "\"; visible: "
            << wizard->VisibleNames().join(QStringLiteral(", ")).toStdString();
        ASSERT_EQ(wizard->CurrentPage(), wantPage) << "after \"" << element << "\"";
    }

    // How many pixels of the list, as shown, are within 30 of `colour` in every channel.
    int PixelsLike(QColor colour)
    {
        const QImage shown = page->m_list->grab().toImage();
        int n = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QColor c = shown.pixelColor(x, y);
                n += std::abs(c.red() - colour.red()) <= 30 && std::abs(c.green() - colour.green()) <= 30 &&
                             std::abs(c.blue() - colour.blue()) <= 30
                         ? 1
                         : 0;
            }
        return n;
    }

    std::unique_ptr<e2e::WizardDriver> wizard;
    QString folder;
    CDlgWiz2* page = nullptr;
};

TEST_F(ContentWalk, OpenPathPicksAnAnimationFromAFolderOfPictures)
{
    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceFullScreen")));
    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceOpen")));
    Step("nextButton", kPageContent);
    EXPECT_EQ(page->m_movie->TCurrentFrame("next"), 0);

    // The movie's "up" button, then the tree down into the pictures.
    const std::string start = page->m_folders->GetSelectedFolder();
    ASSERT_TRUE(wizard->Click(QStringLiteral("parentDir")));
    EXPECT_EQ(page->m_folders->GetSelectedFolder(), QFileInfo(QString::fromStdString(start)).path().toStdString());
    ASSERT_TRUE(e2e::PickContentFile(*wizard, QStringLiteral("bounce.gif"), folder));

    QStringList names;
    for (int i = 0; i < page->m_list->count(); ++i)
        names << page->m_list->item(i)->text();
    EXPECT_EQ(names, (QStringList{"bounce.gif", "forest.png", "mono.bmp", "sunset.jpg"}));
    // The thumbnails are real pictures: the forest's green and the sunset's sun show in the list.
    EXPECT_GT(PixelsLike(QColor(40, 130, 60)), 200);
    EXPECT_GT(PixelsLike(QColor(255, 230, 120)), 50);

    Step("nextButton", kPagePictureEditor);
    EXPECT_EQ(g_strSourcePath, (folder + QStringLiteral("/bounce.gif")).toStdString());
    EXPECT_EQ(g_animDoc.GetFrameCount(), 4);
    EXPECT_EQ(ReadSettingString("BrowseAnim", nullptr, kSubKeyWizardsUser), folder.toStdString());
}

} // namespace
