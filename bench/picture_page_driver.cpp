// Times the picture editor page offscreen, driven as a user drives it, for
// bench/picture_compare.py, which times the peer tools on the same work.
//
//   picture_page_driver move PICTURE MOVES [--truecolour]
//       PICTURE becomes the animation (8-bit frames, as the content page
//       builds them) and the page shows its first frame; with --truecolour
//       the page edits the picture as decoded instead. MOVES mouse moves with
//       the button down drag the selection to and fro by one pixel each.
//       Prints the median and the 90th percentile of one move, from the
//       window's mouse event to the end of the paint it asks for, and the cut
//       of the first selection in picture pixels.
//   picture_page_driver next GIF RUNS
//       GIF becomes the animation; Next with the centred selection re-edits
//       every frame. Prints the median of RUNS Nexts, each on a freshly built
//       animation, and the cut in picture pixels.
#include <QApplication>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dlg_frame.h"
#include "dlg_wiz4.h"
#include "edit_picture.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "route_tables.h"
#include "settings_defaults.h"
#include "wiz_page.h"
#include "wizard_globals.h"

namespace {

// A movie that answers nothing: the page's own work is what is timed.
class SilentMovie : public MovieBackend {
public:
    void SetMovie(const std::string&) override {}
    int FrameNum() override { return 0; }
    void GotoFrame(int) override {}
    int FlashVersion() override { return CMovieCtrl::kPlayerVersion; }
    void TGotoFrame(const std::string&, int) override {}
    int TCurrentFrame(const std::string&) override { return -1; }
    void TPlay(const std::string&) override {}
    void SetVariable(const std::string&, const std::string&) override {}
    std::string GetVariable(const std::string&) override { return {}; }
    void TSetProperty(const std::string&, int, const std::string&) override {}
    void TCallFrame(const std::string&, int) override {}
};

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

void Settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
}

bool LoadAnimation(const std::string& path)
{
    const DelayLimits limits = DefaultDelayLimits(g_imageSize);
    g_animDoc.SetDelayLimits(limits.minDelay, limits.maxDelay, limits.defaultDelay);
    g_strSourcePath = path;
    g_nCurrentFrame = 0;
    g_pageRoute = 0;
    return g_animDoc.Load(path, kAllowAll, 0) && g_animDoc.BuildFrames();
}

// The frame with the picture editor at index 3 and bare pages elsewhere.
std::unique_ptr<CDlgFrame> MakeFrame()
{
    auto frame = std::make_unique<CDlgFrame>([](int index, CDlgFrame* parent) -> CWizPage* {
        if (index == kPagePictureEditor)
            return new CDlgWiz4(parent);
        return new CWizPage(parent, index);
    });
    frame->OnInitDialog();
    frame->show();
    while (frame->Page(kPagePictureEditor) == nullptr) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
    }
    return frame;
}

void ShowEditor(CDlgFrame& frame)
{
    frame.m_previous = frame.m_current;
    frame.m_current = kPagePictureEditor;
    frame.ShowCurrentPage();
    Settle();
}

// The selection in page pixels, and its cut of the picture in picture pixels
// as the crop takes it.
void PrintCut(CDlgWiz4& page)
{
    const RECT& shown = g_picture.m_rcDisplay;
    const RECT s = page.m_tool.GetSelection();
    const double scale = double(g_picture.GetWidth()) / double(shown.right - shown.left);
    std::printf("select %d,%d,%d,%d\n", s.left, s.top, s.right, s.bottom);
    std::printf("cut %ld,%ld,%ld,%ld\n", long(scale * (s.left - shown.left)), long(scale * (s.top - shown.top)),
                long(scale * (s.right - shown.left)), long(scale * (s.bottom - shown.top)));
}

int TimeMoves(const std::string& path, int moves, bool trueColour)
{
    if (!LoadAnimation(path)) {
        std::fprintf(stderr, "cannot build an animation from %s\n", path.c_str());
        return 1;
    }
    auto frame = MakeFrame();
    auto* page = static_cast<CDlgWiz4*>(frame->Page(kPagePictureEditor));
    if (trueColour) {
        // An insertion into the phone-sized animation of the picture as
        // decoded, as the editor would get it without its reduction to a palette.
        ShowEditor(*frame);
        page->OnFSCommand("ChangeStep", "4");
        Settle();
        g_pageRoute = 1;
        g_nCurrentFrame = 0;
        if (!g_picture.Load(path, kAllowAll, 0))
            return 1;
    }
    ShowEditor(*frame);
    PrintCut(*page);
    std::printf("picture %ld x %ld, %u bits\n", g_picture.GetWidth(), g_picture.GetHeight(),
                g_picture.m_pImage ? g_picture.m_pImage->GetBpp() : 0u);

    QWindow* window = frame->windowHandle();
    const RECT s = page->m_tool.GetSelection();
    const QPoint start((s.left + s.right) / 2, (s.top + s.bottom) / 2);
    QTest::mouseMove(window, start);
    QTest::mousePress(window, Qt::LeftButton, {}, start);
    Settle();
    std::vector<double> times;
    for (int i = 0; i < moves; ++i) {
        // To and fro over 20 pixels: every move shifts the selection.
        const int step = i % 40 < 20 ? i % 40 + 1 : 40 - i % 40 - 1;
        const QPoint at = start + QPoint(step, 0);
        const auto t0 = Clock::now();
        QTest::mouseMove(window, at);
        Settle();
        times.push_back(Milliseconds(t0, Clock::now()));
    }
    QTest::mouseRelease(window, Qt::LeftButton, {}, start);
    std::printf("move_ms median %.3f p90 %.3f over %d moves\n", Percentile(times, 0.5), Percentile(times, 0.9),
                moves);
    return 0;
}

int TimeNext(const std::string& path, int runs)
{
    auto frame = MakeFrame();
    auto* page = static_cast<CDlgWiz4*>(frame->Page(kPagePictureEditor));
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (!LoadAnimation(path)) {
            std::fprintf(stderr, "cannot build an animation from %s\n", path.c_str());
            return 1;
        }
        ShowEditor(*frame);
        if (i == 0)
            PrintCut(*page);
        const auto t0 = Clock::now();
        page->OnFSCommand("ChangeStep", "4");
        times.push_back(Milliseconds(t0, Clock::now()));
        if (g_animDoc.GetWidth() != g_imageSize) {
            std::fprintf(stderr, "Next did not re-edit the animation\n");
            return 1;
        }
        Settle();
    }
    std::printf("frames %d\n", g_animDoc.GetFrameCount());
    std::printf("next_ms median %.3f over %d runs\n", Percentile(times, 0.5), runs);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: picture_page_driver move PICTURE MOVES [--truecolour]\n"
                             "       picture_page_driver next GIF RUNS\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    g_messages = BuildMessages("EN");
    g_imageSize = 128;
    CMovieCtrl::SetBackendFactory([](CMovieCtrl*) { return std::make_unique<SilentMovie>(); });

    const std::string mode = argv[1];
    const int count = std::atoi(argv[3]);
    if (mode == "move")
        return TimeMoves(argv[2], count, argc > 4 && std::string(argv[4]) == "--truecolour");
    if (mode == "next")
        return TimeNext(argv[2], count);
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
