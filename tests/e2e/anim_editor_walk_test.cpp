// The animation editor in the whole wizard, with the English movie and its own
// buttons: a real animated GIF from the fixture folder is opened, a frame is
// moved and another deleted, a delay is changed, the preview plays, and Next
// writes the animation the save page then offers.
#include "anim_doc.h"
#include "dlg_frame.h"
#include "dlg_wiz3.h"
#include "drawing_surface.h"
#include "message_box.h"
#include "movie_ctrl.h"
#include "route_tables.h"
#include "wiz_page.h"
#include "wizard_driver_support.h"
#include "wizard_globals.h"

#include <QElapsedTimer>
#include <QQuickItem>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

namespace {

// What Pillow reads in a GIF: frame count, size and each frame's delay.
std::string PillowInfo(const std::string& path)
{
    const std::string cmd = "/usr/bin/python3 " + e2e::FixturePath("make_fixtures.py") + " info '" + path + "'";
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe)
        return "cannot run " + cmd;
    std::string out;
    std::array<char, 256> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    pclose(pipe);
    return out;
}

class AnimEditorWalk : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard = std::make_unique<e2e::WizardDriver>("EN");
        ASSERT_NE(wizard->Page(kPageStart)->m_movie->rootObject(), nullptr) << "the English movie did not load";
        wizard->Key(Qt::Key_Return);
    }

    void Click(const char* element)
    {
        ASSERT_TRUE(wizard->Click(QString::fromLatin1(element)))
            << "no visible \"" << element << "\" on page " << wizard->CurrentPage() << "; visible: "
            << wizard->VisibleNames().join(QStringLiteral(", ")).toStdString();
    }

    std::string Var(const char* name) { return editor()->m_movie->GetVariable(name); }
    CDlgWiz3* editor() { return static_cast<CDlgWiz3*>(wizard->Page(kPageAnimEditor)); }

    // Runs the wizard until `done` holds, at most `ms` milliseconds.
    template <typename Done>
    bool WaitFor(Done done, int ms = 5000)
    {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < ms)
            e2e::Wait(20);
        return done();
    }

    std::unique_ptr<e2e::WizardDriver> wizard;
};

} // namespace

TEST_F(AnimEditorWalk, OpenAnimatedGifEditItAndGoOnWithTheFileWritten)
{
    platform::MessageBoxRecorder boxes;
    Click("choiceFullScreen");
    Click("choiceOpen");
    Click("nextButton");
    ASSERT_EQ(wizard->CurrentPage(), kPageContent);
    // The picture picked on the content page.
    ASSERT_TRUE(e2e::PickContentFile(*wizard, QStringLiteral("square_walks_eight_frames.gif"), e2e::FixtureFolder()));
    Click("nextButton");
    ASSERT_EQ(wizard->CurrentPage(), kPagePictureEditor);
    Click("nextButton");
    ASSERT_EQ(wizard->CurrentPage(), kPageAnimEditor);

    EXPECT_EQ(Var("filename"), "square_walks_eight_frames.gif");
    EXPECT_EQ(Var("AnimTot"), "8");
    EXPECT_EQ(Var("curFrm"), "1");
    EXPECT_EQ(Var("prevFrm"), "");

    // Frame 3 moves one place to the right; the selection stays on the third place.
    Click("ButtonNext");
    Click("ButtonNext");
    EXPECT_EQ(Var("curFrm"), "3");
    CRaster* third = g_animDoc.GetFrame(2);
    CRaster* fourth = g_animDoc.GetFrame(3);
    Click("ButtonShiftRight");
    EXPECT_EQ(g_animDoc.GetFrame(3), third);
    EXPECT_EQ(g_animDoc.GetFrame(2), fourth);
    EXPECT_EQ(Var("curFrm"), "3");

    // The arrow key selects the fifth frame, which the delete button removes.
    wizard->Key(Qt::Key_Right);
    wizard->Key(Qt::Key_Right);
    EXPECT_EQ(Var("curFrm"), "5");
    CRaster* sixth = g_animDoc.GetFrame(5);
    Click("ButtonDelete");
    EXPECT_EQ(g_animDoc.GetFrameCount(), 7);
    EXPECT_EQ(Var("AnimTot"), "7");
    EXPECT_EQ(g_animDoc.GetFrame(4), sixth) << "the frame after the deleted one takes its place";
    EXPECT_EQ(Var("curFrm"), "5");

    // A click in the middle of the duration track: position 60 of 120, the
    // installer's full-screen limits 10..500 give 255 hundredths.
    Click("durationTrack");
    EXPECT_EQ(g_animDoc.GetDelay(4), 255u);
    EXPECT_EQ(Var("m_duration"), "2.55");

    // The preview plays by itself, stops and plays again.
    Click("ButtonStopAnim");
    const std::string stopped = Var("AnimCur");
    e2e::Wait(400);
    EXPECT_EQ(Var("AnimCur"), stopped);
    Click("ButtonPlayAnim");
    EXPECT_TRUE(WaitFor([&] { return Var("AnimCur") != stopped; })) << "the preview never moved on";
    const uint32_t previewPixel = editor()->m_surface->Pixel(CDlgWiz3::kPreviewLeft + 2, CDlgWiz3::kPreviewTop + 2);
    EXPECT_EQ(previewPixel >> 24, 0xFFu) << "the preview is painted";

    // The meter knows the size before Next writes it.
    ASSERT_TRUE(WaitFor([&] { return !Var("AnimBytes").empty(); }));
    const std::string meter = Var("AnimBytes");
    EXPECT_EQ(Var("AnimFits"), "1");

    Click("nextButton");
    ASSERT_EQ(wizard->CurrentPage(), kPageSave);
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes().front().text;
    ASSERT_FALSE(g_tempGifPath.empty());
    ASSERT_TRUE(std::filesystem::exists(g_tempGifPath));
    EXPECT_EQ(std::to_string(std::filesystem::file_size(g_tempGifPath)), meter);
    EXPECT_NE(g_tempGifPath.find("/temp/square_walks.gif"), std::string::npos) << g_tempGifPath;
    // Frames 1, 2, 4, 3, 6, 7, 8 of the fixture; frame 6 now lasts 2.55 s.
    EXPECT_EQ(PillowInfo(g_tempGifPath), "7 128 128 10 20 40 30 255 70 80\n");

    // Back on the editor the selection and the frames are as they were left.
    Click("back");
    ASSERT_EQ(wizard->CurrentPage(), kPageAnimEditor);
    EXPECT_EQ(Var("curFrm"), "5");
    EXPECT_EQ(Var("AnimTot"), "7");
}
