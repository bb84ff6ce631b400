// The whole wizard with the English movie, offscreen: the user's own clicks walk
// the open path and the create path to the transfer page and back to the start.
#include "dlg_frame.h"
#include "edit_picture.h"
#include "message_box.h"
#include "movie_ctrl.h"
#include "wiz_page.h"
#include "wizard_driver_support.h"
#include "wizard_globals.h"

#include <QQuickItem>
#include <gtest/gtest.h>

namespace {

class Walkthrough : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard = std::make_unique<e2e::WizardDriver>("EN");
        ASSERT_EQ(wizard->Frame().m_pages.size(), 6u);
        ASSERT_NE(wizard->Page(0)->m_movie->rootObject(), nullptr) << "the English movie did not load";
        // Enter moves the introduction on to the choices.
        wizard->Key(Qt::Key_Return);
        ASSERT_EQ(wizard->CurrentPage(), kPageStart);
    }

    // Clicks an element of the shown page and checks which page is shown then.
    void Step(const char* element, int wantPage)
    {
        const int from = wizard->CurrentPage();
        ASSERT_TRUE(wizard->Click(QString::fromLatin1(element)))
            << "no visible \"" << element << "\" on page " << from << "; visible: "
            << wizard->VisibleNames().join(QStringLiteral(", ")).toStdString();
        EXPECT_EQ(wizard->CurrentPage(), wantPage) << "after \"" << element << "\" on page " << from;
        for (int i = 0; i < kPageCount; ++i)
            EXPECT_EQ(wizard->Page(i)->isVisible(), i == wantPage) << "page " << i;
    }

    // The content page enables next once a picture is picked in its list; the
    // picked file becomes the animation the picture editor works on.
    void PickPicture()
    {
        ASSERT_EQ(wizard->CurrentPage(), kPageContent);
        ASSERT_TRUE(e2e::PickContentFile(*wizard, QStringLiteral("square_walks_eight_frames.gif"),
                                         e2e::FixtureFolder()));
    }

    std::unique_ptr<e2e::WizardDriver> wizard;
};

TEST_F(Walkthrough, OpenPathToTheTransferPageAndBack)
{
    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceFullScreen")));
    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceOpen")));
    Step("nextButton", kPageContent);
    EXPECT_EQ(g_imageSize, 128);
    EXPECT_EQ(g_createNew, 0);
    EXPECT_EQ(g_pageRoute, 0);

    Step("back", kPageStart);
    Step("nextButton", kPageContent);
    PickPicture();
    Step("nextButton", kPagePictureEditor);
    Step("back", kPageContent);
    PickPicture();
    Step("nextButton", kPagePictureEditor);
    Step("nextButton", kPageAnimEditor);
    Step("back", kPagePictureEditor);
    Step("nextButton", kPageAnimEditor);
    Step("nextButton", kPageSave);
    Step("back", kPageAnimEditor);
    Step("nextButton", kPageSave);
    Step("nextButton", kPageTransfer);
    Step("back", kPageSave);
    Step("nextButton", kPageTransfer);
    Step("nextButton", kPageStart);
}

TEST_F(Walkthrough, CreatePathWithItsDetours)
{
    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceHalfScreen")));
    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceNew")));
    Step("nextButton", kPageAnimEditor);
    EXPECT_EQ(g_imageSize, 64);
    EXPECT_EQ(g_createNew, 1);

    // A new animation has nothing to write yet: next says so and stays.
    {
        platform::MessageBoxRecorder boxes;
        Step("nextButton", kPageAnimEditor);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text.rfind("Invalid picture : ", 0), 0u) << boxes.Boxes()[0].text;
    }
    // Its first picture: the content page, back, then again and on through the
    // picture editor.
    Step("addPicture", kPageContent);
    Step("back", kPageAnimEditor);
    Step("addPicture", kPageContent);
    PickPicture();
    Step("nextButton", kPagePictureEditor);
    Step("nextButton", kPageAnimEditor);
    EXPECT_EQ(g_createNew, 0);

    // Insert: the content page, then back to the animation editor.
    Step("ButtonInsertAfter", kPageContent);
    Step("back", kPageAnimEditor);
    // Modify: the picture editor, whose back and next both return. The
    // animation editor hands it a copy of the selected frame.
    ASSERT_TRUE(e2e::LoadAnimation(e2e::FixturePath("square_walks_eight_frames.gif")));
    g_picture.SetImage(g_animDoc.CopyFrame(0));
    Step("ButtonModify", kPagePictureEditor);
    EXPECT_EQ(g_pageRoute, 2);
    Step("back", kPageAnimEditor);
    EXPECT_EQ(g_pageRoute, 0);
    Step("ButtonModify", kPagePictureEditor);
    Step("nextButton", kPageAnimEditor);

    Step("nextButton", kPageSave);
    Step("nextButton", kPageTransfer);
    Step("back", kPageSave);
    Step("back", kPageAnimEditor);
    // With its first picture the animation is an opened one: back leads to the picture editor.
    Step("back", kPagePictureEditor);
}

TEST_F(Walkthrough, EnterOnTheStartPageGoesOnLikeNext)
{
    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceOpen")));
    wizard->Key(Qt::Key_Return);
    EXPECT_EQ(wizard->CurrentPage(), kPageContent);
}

TEST_F(Walkthrough, ExitButtonEndsTheWizardFromTheStartPage)
{
    ASSERT_TRUE(wizard->Click(QStringLiteral("window_exit")))
        << wizard->VisibleNames().join(QStringLiteral(", ")).toStdString();
    EXPECT_EQ(wizard->Frame().result(), QDialog::Accepted);
}

TEST_F(Walkthrough, ExitFromTheAnimationEditorAsksFirst)
{
    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceNew")));
    Step("nextButton", kPageAnimEditor);
    platform::MessageBoxRecorder boxes;
    boxes.QueueAnswer(platform::BoxResult::Cancel);
    ASSERT_TRUE(wizard->Click(QStringLiteral("window_exit")));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Create Animation");
    EXPECT_EQ(wizard->Frame().result(), 0);
    EXPECT_TRUE(wizard->Frame().isVisible());
    ASSERT_TRUE(wizard->Click(QStringLiteral("window_exit")));
    EXPECT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(wizard->Frame().result(), QDialog::Accepted);
}

} // namespace
