// What the frame does for every page: the page draws from the paint hook the
// frame calls after showing it, on a surface that starts empty each time, and
// every box of the loading rules belongs to the frame window whatever the
// picture holder's owner handle is.
#include "dlg_frame.h"
#include "drawing_surface.h"
#include "message_box.h"
#include "messages.h"
#include "picture_holder.h"
#include "startup.h"
#include "wiz_page.h"
#include "wizard_globals.h"
#include "wizard_test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A page that draws one opaque pixel at (5, 5) in its paint hook and counts the calls.
class CountingPage : public CWizPage {
public:
    CountingPage(CDlgFrame* frame, int index) : CWizPage(frame, index) {}
    void OnPaint() override
    {
        ++paints;
        m_surface->FillRect(RECT{5, 5, 6, 6}, 0x336699);
    }
    int paints = 0;
};

class PageHooks : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard_test::EnsureApp();
        g_messages = BuildMessages("EN");
        movies = std::make_unique<wizard_test::RecordingMovies>();
        frame = std::make_unique<CDlgFrame>([](int index, CDlgFrame* parent) -> CWizPage* {
            return new CountingPage(parent, index);
        });
        frame->OnInitDialog();
        frame->show();
        wizard_test::Pump(CDlgFrame::kPageTimerMs + 100);
    }
    void TearDown() override
    {
        frame.reset();
        movies.reset();
    }
    CountingPage* Page(int index) { return static_cast<CountingPage*>(frame->Page(index)); }

    std::unique_ptr<wizard_test::RecordingMovies> movies;
    std::unique_ptr<CDlgFrame> frame;
};

} // namespace

TEST_F(PageHooks, TheFramePaintsAShownPageOnceAndItsSurfaceStartsEmpty)
{
    CountingPage* start = Page(0);
    ASSERT_NE(start, nullptr);
    wizard_test::Pump(100);
    EXPECT_EQ(start->paints, 1) << "one paint per show, however many paint events follow";
    EXPECT_NE(start->m_surface->Pixel(5, 5), 0u);

    // Something drawn outside the hook while the page was shown...
    start->m_surface->FillRect(RECT{20, 20, 21, 21}, 0xFF0000);
    g_createNew = 0;
    start->GoNext();
    wizard_test::Pump(50);
    ASSERT_EQ(frame->m_current, 1);
    frame->m_previous = frame->m_current;
    frame->m_current = 0;
    frame->ShowCurrentPage();
    wizard_test::Pump(50);
    // ...is gone when the page is shown again; what the hook draws is back.
    EXPECT_EQ(start->m_surface->Pixel(20, 20), 0u);
    EXPECT_NE(start->m_surface->Pixel(5, 5), 0u);
    EXPECT_EQ(start->paints, 2);

    // Invalidate coalesces requests into one paint, and none while hidden.
    start->Invalidate();
    start->Invalidate();
    wizard_test::Pump(50);
    EXPECT_EQ(start->paints, 3);
    Page(2)->Invalidate();
    wizard_test::Pump(50);
    EXPECT_EQ(Page(2)->paints, 0) << "a hidden page does not paint";
}

TEST_F(PageHooks, LoadingRuleBoxesBelongToTheFrameNotToTheHoldersOwner)
{
    InstallWizardBoxHooks();
    platform::MessageBoxRecorder boxes;
    struct NotAWindow {
        int pixels[4] = {1, 2, 3, 4};
    } handle;
    CPictureHolder holder;
    holder.SetOwner(&handle); // any handle: a page, a surface, a document
    EXPECT_FALSE(holder.Load("/nonexistent/folder/picture.png", kAllowAll));
    // The library's "File open error" (captioned with the file), then the rules' own box.
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    for (const platform::MessageBoxRequest& box : boxes.Boxes())
        EXPECT_EQ(box.owner, static_cast<QWidget*>(frame.get())) << box.text;
    EXPECT_EQ(boxes.Boxes().back().caption, g_messages.TitleCreateAnimation);
}
