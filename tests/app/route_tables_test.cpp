// The frame's route tables: every page, every value of the two flags and every
// page-switching request, first on the tables alone, then through a running frame.
#include "dlg_frame.h"
#include "page_factory.h"
#include "messages.h"
#include "route_tables.h"
#include "wiz_page.h"
#include "wizard_globals.h"
#include "wizard_test_support.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

enum class Request { Next, Previous, Insert, Modify };

struct RouteCase {
    Request request;
    int current;
    int createNew;
    int pageRoute;
    int wantPage;
    int wantRoute;
};

const char* Name(Request r)
{
    switch (r) {
    case Request::Next: return "next";
    case Request::Previous: return "previous";
    case Request::Insert: return "insert";
    case Request::Modify: return "modify";
    }
    return "?";
}

// Flags outside 0..2 ("other") must leave a conditional row where it is.
const RouteCase kCases[] = {
    // next
    {Request::Next, 0, 0, 0, 1, 0},
    {Request::Next, 0, 0, 2, 1, 2},
    {Request::Next, 0, 1, 1, 2, 0},
    {Request::Next, 0, 1, 2, 2, 0},
    {Request::Next, 0, 2, 1, 0, 1},
    {Request::Next, 0, -1, 1, 0, 1},
    {Request::Next, 1, 0, 0, 3, 0},
    {Request::Next, 1, 1, 1, 3, 1},
    {Request::Next, 1, 0, 2, 1, 2},
    {Request::Next, 1, 0, 3, 1, 3},
    {Request::Next, 2, 0, 0, 4, 0},
    {Request::Next, 2, 1, 2, 4, 2},
    {Request::Next, 3, 0, 0, 2, 0},
    {Request::Next, 3, 0, 1, 2, 0},
    {Request::Next, 3, 1, 2, 2, 0},
    {Request::Next, 4, 1, 1, 5, 1},
    {Request::Next, 5, 0, 2, 0, 2},
    {Request::Next, 5, 1, 0, 0, 0},
    // previous
    {Request::Previous, 0, 0, 0, 0, 0},
    {Request::Previous, 0, 1, 2, 0, 2},
    {Request::Previous, 1, 0, 1, 2, 0},
    {Request::Previous, 1, 1, 1, 2, 0},
    {Request::Previous, 1, 1, 0, 2, 0},
    {Request::Previous, 1, 2, 0, 2, 0},
    {Request::Previous, 1, 0, 0, 0, 0},
    {Request::Previous, 1, 0, 2, 1, 2},
    {Request::Previous, 1, 1, 3, 1, 3},
    {Request::Previous, 2, 1, 0, 0, 0},
    {Request::Previous, 2, 2, 1, 0, 1},
    {Request::Previous, 2, 0, 1, 3, 1},
    {Request::Previous, 3, 0, 0, 1, 0},
    {Request::Previous, 3, 1, 1, 1, 1},
    {Request::Previous, 3, 0, 2, 2, 0},
    {Request::Previous, 3, 1, 2, 2, 0},
    {Request::Previous, 3, 0, 3, 3, 3},
    {Request::Previous, 4, 0, 2, 2, 2},
    {Request::Previous, 5, 1, 0, 4, 0},
    // insert and modify do not depend on the page shown
    {Request::Insert, 2, 0, 0, 1, 1},
    {Request::Insert, 2, 0, 2, 1, 1},
    {Request::Insert, 2, 1, 1, 1, 0},
    {Request::Insert, 2, 2, 1, 1, 0},
    {Request::Insert, 4, 0, 0, 1, 1},
    {Request::Modify, 2, 0, 0, 3, 2},
    {Request::Modify, 2, 1, 1, 3, 2},
    {Request::Modify, 0, 0, 0, 3, 2},
};

int Apply(Request request, int current, RouteFlags& flags)
{
    switch (request) {
    case Request::Next: return RouteNext(current, flags);
    case Request::Previous: return RoutePrevious(current, flags);
    case Request::Insert: return RouteInsert(flags);
    case Request::Modify: return RouteModify(flags);
    }
    return current;
}

uint32_t Message(Request request)
{
    switch (request) {
    case Request::Next: return WM_WIZ_NEXT;
    case Request::Previous: return WM_WIZ_PREVIOUS;
    case Request::Insert: return WM_WIZ_INSERT;
    case Request::Modify: return WM_WIZ_MODIFY;
    }
    return 0;
}

std::string Describe(const RouteCase& c)
{
    return std::string(Name(c.request)) + " on page " + std::to_string(c.current) + " with createNew " +
           std::to_string(c.createNew) + ", pageRoute " + std::to_string(c.pageRoute);
}

TEST(RouteTables, EveryRowGivesItsPageAndRoute)
{
    for (const RouteCase& c : kCases) {
        RouteFlags flags{c.createNew, c.pageRoute};
        const int page = Apply(c.request, c.current, flags);
        EXPECT_EQ(page, c.wantPage) << Describe(c);
        EXPECT_EQ(flags.pageRoute, c.wantRoute) << Describe(c);
        EXPECT_EQ(flags.createNew, c.createNew) << Describe(c) << ": createNew is never changed";
    }
}

TEST(RouteTables, OpenAndCreatePathsRunTheirPagesInOrder)
{
    RouteFlags open{0, 0};
    std::vector<int> pages{0};
    for (int i = 0; i < 6; ++i)
        pages.push_back(RouteNext(pages.back(), open));
    EXPECT_EQ(pages, (std::vector<int>{0, 1, 3, 2, 4, 5, 0}));

    RouteFlags create{1, 1};
    pages = {0};
    for (int i = 0; i < 4; ++i)
        pages.push_back(RouteNext(pages.back(), create));
    EXPECT_EQ(pages, (std::vector<int>{0, 2, 4, 5, 0}));
}

// The same rows through a frame: the page posts the request, the frame switches.
class FrameRoutes : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard_test::EnsureApp();
        g_messages = BuildMessages("EN");
        // The animation editor leaves its animation for the save page, which
        // refuses to show without it.
        g_tempGifPath = animation.filePath(QStringLiteral("animation.gif")).toStdString();
        QFile gif(QString::fromStdString(g_tempGifPath));
        ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
        gif.write("GIF89a");
        gif.close();
        movies = std::make_unique<wizard_test::RecordingMovies>();
        frame = std::make_unique<CDlgFrame>(&CreateWizardPage);
        frame->OnInitDialog();
        frame->show();
        wizard_test::Pump(CDlgFrame::kPageTimerMs + 100);
    }
    void TearDown() override
    {
        frame.reset();
        movies.reset();
    }

    QTemporaryDir animation;
    std::unique_ptr<wizard_test::RecordingMovies> movies;
    std::unique_ptr<CDlgFrame> frame;
};

TEST_F(FrameRoutes, CreatesAllPagesHiddenWithTheirNumbers)
{
    ASSERT_EQ(frame->m_pageCount, kPageCount);
    ASSERT_EQ(frame->m_pages.size(), 6u);
    for (int i = 0; i < kPageCount; ++i) {
        CWizPage* page = frame->Page(i);
        EXPECT_EQ(page->windowTitle(), QStringLiteral("Wiz #%1").arg(i + 1));
        EXPECT_EQ(page->isVisible(), i == 0) << "page " << i;
        EXPECT_EQ(page->geometry(), QRect(0, 0, 580, 411)) << "page " << i;
    }
    frame->AddNextPage();
    EXPECT_EQ(frame->m_pages.size(), 6u) << "a seventh page is never made";
}

TEST_F(FrameRoutes, PostedRequestsShowThePageOfTheTable)
{
    for (const RouteCase& c : kCases) {
        for (CWizPage* page : frame->m_pages)
            page->hide();
        frame->m_previous = kNoPage;
        frame->m_current = c.current;
        frame->ShowCurrentPage();
        g_createNew = c.createNew;
        g_pageRoute = c.pageRoute;
        platform::PostWindowMessage(frame.get(), Message(c.request));
        wizard_test::Pump();
        EXPECT_EQ(frame->m_current, c.wantPage) << Describe(c);
        EXPECT_EQ(frame->m_previous, c.current) << Describe(c);
        EXPECT_EQ(g_pageRoute, c.wantRoute) << Describe(c);
        for (int i = 0; i < kPageCount; ++i)
            EXPECT_EQ(frame->Page(i)->isVisible(), i == c.wantPage) << Describe(c) << ", page " << i;
    }
}

TEST_F(FrameRoutes, ExitAcceptsAndCloseRequestCancels)
{
    platform::PostWindowMessage(frame.get(), WM_WIZ_EXIT);
    wizard_test::Pump();
    EXPECT_EQ(frame->result(), QDialog::Accepted);
    EXPECT_FALSE(frame->isVisible());

    frame->show();
    frame->close();
    wizard_test::Pump();
    EXPECT_EQ(frame->result(), QDialog::Rejected);
}

TEST_F(FrameRoutes, ReduceMinimisesTheFrame)
{
    platform::PostWindowMessage(frame.get(), WM_WIZ_REDUCE);
    wizard_test::Pump();
    EXPECT_TRUE(frame->windowState() & Qt::WindowMinimized);
}

// A page that counts the activation messages it receives.
class CountingWidget : public QWidget {
public:
    using QWidget::QWidget;
    int count = 0;
    uintptr_t wParam = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == platform::WindowMessageEvent::EventType()) {
            auto* m = static_cast<platform::WindowMessageEvent*>(e);
            if (m->Message() == WM_WIZ_ACTIVATED) {
                ++count;
                wParam = m->WParam();
            }
            return true;
        }
        return QWidget::event(e);
    }
};

TEST_F(FrameRoutes, ActivationReachesEveryDescendant)
{
    auto* nested = new CountingWidget(frame->Page(kPageContent));
    auto* deeper = new CountingWidget(nested);
    QEvent activation(QEvent::ActivationChange);
    frame->activateWindow();
    wizard_test::Pump();
    if (!frame->isActiveWindow())
        GTEST_SKIP() << "the platform gives the frame no activation";
    const int before = deeper->count;
    QApplication::sendEvent(frame.get(), &activation);
    EXPECT_EQ(nested->count, before + 1);
    EXPECT_EQ(deeper->count, before + 1);
    EXPECT_EQ(deeper->wParam, 1u);
}

TEST_F(FrameRoutes, MenuChoicesMinimiseOrShowTheAboutBox)
{
    std::vector<std::pair<int, std::string>> offered;
    int answer = static_cast<int>(SC_MINIMIZE);
    CDlgFrame::SetMenuTracker([&](const auto& items, QPoint) {
        offered = items;
        return answer;
    });
    platform::SendWindowMessage(frame.get(), WM_SYSCOMMAND, SC_MOUSEMENU);
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0], (std::pair<int, std::string>{1, "About"}));
    EXPECT_EQ(offered[1], (std::pair<int, std::string>{0xF020, "Reduce"}));
    EXPECT_TRUE(frame->windowState() & Qt::WindowMinimized);

    frame->showNormal();
    answer = CDlgFrame::kMenuAbout;
    QString shownTitle;
    QWidget* shownParent = nullptr;
    QString shownText;
    QTimer::singleShot(50, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            shownTitle = box->windowTitle();
            shownParent = box->parentWidget();
            if (auto* text = box->findChild<QLabel*>(QStringLiteral("aboutText")))
                shownText = text->text();
            box->close();
        }
    });
    platform::SendWindowMessage(frame.get(), WM_SYSCOMMAND, SC_MOUSEMENU | 0x3);
    EXPECT_EQ(shownTitle, QStringLiteral("About Create animation wizard"));
    EXPECT_EQ(shownParent, frame.get());
    EXPECT_EQ(shownText, QStringLiteral("Create animation wizard\nVersion RC4 (1.3)"));
    EXPECT_FALSE(frame->windowState() & Qt::WindowMinimized);
    CDlgFrame::SetMenuTracker({});
}

} // namespace
