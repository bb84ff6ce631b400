// Times the animation editor page's own work on a real animation, offscreen,
// with the language's real movie, for bench/anim_editor_compare.py:
//
//   anim_editor_driver GIF OUT_GIF [RUNS]
//
// The GIF is loaded into the animation document as the content page loads it,
// the editor page is shown in the real frame, and then
//   next     Next: the temporary GIF written and its size checked (best of RUNS)
//   tick     one playback tick that moves the preview on to the next frame,
//            with the movie's variables, the strip and the preview painted and
//            the page repainted (mean over 512 ticks)
//   snapshot the UI thread's share of the size meter: copying the frames
//   meter    the meter's encode into a byte counter, on the worker's side
// are printed in milliseconds, one per line, then the file's size. The file
// Next wrote is copied to OUT_GIF for the peer tool.
#include "anim_doc.h"
#include "anim_size.h"
#include "dlg_frame.h"
#include "dlg_wiz3.h"
#include "message_box.h"
#include "messages.h"
#include "route_tables.h"
#include "settings_defaults.h"
#include "wizard_globals.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

double Millis(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

template <typename Work>
double Best(int runs, Work work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t = std::chrono::steady_clock::now();
        work();
        best = std::min(best, Millis(std::chrono::steady_clock::now() - t));
    }
    return best;
}

void RunEvents(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    } while (timer.elapsed() < ms);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: anim_editor_driver GIF OUT_GIF [RUNS]\n");
        return 2;
    }
    const std::string source = argv[1];
    const std::string output = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

    QTemporaryDir folder;
    qputenv("TESSARY_RUNTIME_DIR", folder.filePath(QStringLiteral("runtime")).toUtf8());
    const QString install = folder.path() + QStringLiteral("/install/");
    QDir().mkpath(install + QStringLiteral("temp"));
    {
        QFile store(folder.filePath(QStringLiteral("registry.reg")));
        if (!store.open(QIODevice::WriteOnly))
            return 1;
        std::string text = DefaultSettingsStoreText(install.toStdString(), folder.path().toStdString());
        // 256 frames pass the phone's usual limit; Next is timed on the way on.
        const std::string limit = "\"AnimMaxSize\"=dword:";
        const std::size_t at = text.find(limit);
        if (at != std::string::npos)
            text.replace(at + limit.size(), 8, "7fffffff");
        store.write(text.data(), qint64(text.size()));
        qputenv("TESSARY_REGISTRY", store.fileName().toUtf8());
    }
    QApplication app(argc, argv);
    // A box would wait for a click that never comes: say it and go on.
    platform::SetMessageBoxHandler([](const platform::MessageBoxRequest& box) {
        std::fprintf(stderr, "box: %s\n", box.text.c_str());
        return platform::BoxResult::Ok;
    });
    g_messages = BuildMessages("EN");
    g_imageSize = 128;
    g_createNew = 0;
    g_strAnimName = "bench";

    g_animDoc.SetDelayLimits(1, 500, 50);
    if (!g_animDoc.Load(source, kAllowAll) || !g_animDoc.BuildFrames()) {
        std::fprintf(stderr, "cannot load %s\n", source.c_str());
        return 1;
    }
    // Every tick moves the preview on: the busiest playback there is.
    for (int32_t i = 0; i < g_animDoc.GetFrameCount(); ++i)
        g_animDoc.SetDelay(i, 5);

    CDlgFrame frame([](int index, CDlgFrame* parent) -> CWizPage* {
        if (index == kPageAnimEditor)
            return new CDlgWiz3(parent);
        return new CWizPage(parent, index);
    });
    frame.OnInitDialog();
    frame.show();
    QElapsedTimer waited;
    waited.start();
    while (!frame.Page(kPageCount - 1) && waited.elapsed() < 10000)
        RunEvents(20);
    auto* page = static_cast<CDlgWiz3*>(frame.Page(kPageAnimEditor));
    if (!page)
        return 1;
    page->StopTimers();
    frame.m_previous = frame.m_current;
    frame.m_current = kPageAnimEditor;
    frame.ShowCurrentPage();
    // Let the meter's first measurement end so that it does not share the cores.
    RunEvents(1000);

    const double next = Best(runs, [&] { page->SaveAndGoNext(); });
    if (g_tempGifPath.empty() || !std::filesystem::exists(g_tempGifPath)) {
        std::fprintf(stderr, "Next wrote nothing\n");
        return 1;
    }
    std::filesystem::copy_file(g_tempGifPath, output, std::filesystem::copy_options::overwrite_existing);

    // Next moved the frame on to the save page: back to the editor.
    RunEvents(200);
    frame.m_previous = frame.m_current;
    frame.m_current = kPageAnimEditor;
    frame.ShowCurrentPage();
    RunEvents(1000);

    constexpr int kTicks = 512;
    int moves = 0;
    const auto t = std::chrono::steady_clock::now();
    for (int i = 0; i < kTicks; ++i) {
        const int32_t before = page->m_playback.index;
        page->OnTimer(CDlgWiz3::kPlaybackTimer);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        moves += page->m_playback.index != before;
    }
    const double tick = Millis(std::chrono::steady_clock::now() - t) / kTicks;
    if (moves != kTicks) {
        std::fprintf(stderr, "only %d of %d ticks moved the preview on\n", moves, kTicks);
        return 1;
    }

    std::unique_ptr<CAnimSnapshot> snapshot;
    const double snapshotMs = Best(runs, [&] { snapshot = CAnimSnapshot::Take(g_animDoc, uint64_t(1) << 30); });
    int64_t bytes = 0;
    const double meter = Best(runs, [&] { bytes = snapshot->FileBytes(); });

    std::printf("frames %d\n", g_animDoc.GetFrameCount());
    std::printf("next %.3f\n", next);
    std::printf("tick %.4f\n", tick);
    std::printf("snapshot %.3f\n", snapshotMs);
    std::printf("meter %.3f\n", meter);
    std::printf("bytes %lld\n", static_cast<long long>(bytes));
    std::printf("written %lld\n", static_cast<long long>(std::filesystem::file_size(output)));
    return 0;
}
