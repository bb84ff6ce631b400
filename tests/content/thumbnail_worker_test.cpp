// The thumbnail worker without a window: what a scan reports and in which
// order, a new request in the middle of a scan, a stop in the middle of a scan,
// and thumbnails kept for a folder seen again. Run also under ThreadSanitizer
// (a build with TESSARY_SANITIZE=thread).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "content_test_support.h"
#include "test_support.h"
#include "thumbnail_worker.h"

using content_test::BoxRecorder;

namespace {

using Clock = std::chrono::steady_clock;

// Everything the worker reports, kept in order, with a way to wait for it.
class Recorder : public ThumbnailListener {
public:
    struct Event {
        enum Kind { Started, Thumbnail, Ended } kind;
        uint64_t scan;
        ThumbnailItem item; // Thumbnail only
        std::string folder; // Started only
        bool complete;      // Ended only
    };

    void OnScanStarted(uint64_t scan, const std::string& folder) override
    {
        Add({Event::Started, scan, {}, folder, false});
    }
    void OnThumbnail(const ThumbnailItem& item) override { Add({Event::Thumbnail, item.scan, item, {}, false}); }
    void OnScanEnded(uint64_t scan, bool complete) override { Add({Event::Ended, scan, {}, {}, complete}); }

    // Waits until scan `scan` has ended; false after `seconds`.
    bool WaitForEnd(uint64_t scan, int seconds = 60)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(seconds), [&] { return EndedLocked(scan); });
    }
    // Waits until `count` thumbnails of scan `scan` came.
    bool WaitForThumbnails(uint64_t scan, size_t count, int seconds = 60)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(seconds), [&] {
            size_t n = 0;
            for (const Event& e : m_events)
                n += e.kind == Event::Thumbnail && e.scan == scan ? 1 : 0;
            return n >= count;
        });
    }
    std::vector<Event> Events() const
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_events;
    }
    size_t Count() const
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_events.size();
    }
    // The thumbnails of scan `scan`, in the order they came.
    std::vector<ThumbnailItem> Thumbnails(uint64_t scan) const
    {
        std::vector<ThumbnailItem> items;
        for (const Event& e : Events())
            if (e.kind == Event::Thumbnail && e.scan == scan)
                items.push_back(e.item);
        return items;
    }

private:
    void Add(Event event)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_events.push_back(std::move(event));
        m_changed.notify_all();
    }
    bool EndedLocked(uint64_t scan) const
    {
        for (const Event& e : m_events)
            if (e.kind == Event::Ended && e.scan == scan)
                return true;
        return false;
    }

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

std::vector<std::string> Names(const std::vector<ThumbnailItem>& items)
{
    std::vector<std::string> names;
    for (const ThumbnailItem& item : items)
        names.push_back(item.name);
    return names;
}

class ThumbnailWorker : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_root = new testsupport::ScratchDir("content-worker");
        ASSERT_TRUE(content_test::WriteFixtures("mixed", Folder("mixed")));
        ASSERT_EQ(mkfifo((Folder("mixed") + "/fifo.jpg").c_str(), 0600), 0);
        ASSERT_EQ(symlink("nowhere.png", (Folder("mixed") + "/gone.png").c_str()), 0);
        ASSERT_TRUE(content_test::WriteFixtures("many", Folder("many"), 30));
        ASSERT_TRUE(content_test::WriteFixtures("few", Folder("few")));
    }
    static void TearDownTestSuite()
    {
        delete s_root;
        s_root = nullptr;
    }
    static std::string Folder(const std::string& name) { return s_root->File(name); }

    static testsupport::ScratchDir* s_root;
};

testsupport::ScratchDir* ThumbnailWorker::s_root = nullptr;

TEST_F(ThumbnailWorker, ScanReportsEveryPictureInListOrderThenEnds)
{
    BoxRecorder boxes;
    Recorder recorder;
    CThumbnailWorker worker(recorder);
    const uint64_t scan = worker.RestartScan(Folder("mixed"));
    EXPECT_EQ(scan, 1u);
    ASSERT_TRUE(recorder.WaitForEnd(scan)) << "the scan did not end (a FIFO in the folder must not block it)";

    const std::vector<Recorder::Event> events = recorder.Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front().kind, Recorder::Event::Started);
    EXPECT_EQ(events.front().folder, Folder("mixed") + "/");
    EXPECT_EQ(events.back().kind, Recorder::Event::Ended);
    EXPECT_TRUE(events.back().complete);

    struct Want {
        const char* name;
        uint32_t format;
        bool fallback;
    } want[] = {
        {"Upper.JPG", 3, false},  {"alpha.png", 4, false}, {"broken.gif", 4, true}, {"broken.png", 4, true},
        {"grey.bmp", 1, false},   {"lying.jpg", 4, false}, {"photo.jpg", 3, false}, {"redwhite.gif", 2, false},
    };
    const std::vector<ThumbnailItem> items = recorder.Thumbnails(scan);
    ASSERT_EQ(items.size(), std::size(want)) << ::testing::PrintToString(Names(items));
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].name, want[i].name);
        EXPECT_EQ(items[i].index, int32_t(i)) << want[i].name;
        EXPECT_EQ(items[i].format, want[i].format) << want[i].name;
        EXPECT_EQ(items[i].fallback, want[i].fallback) << want[i].name;
        EXPECT_EQ(items[i].pixels.size(), size_t(kThumbnailSide * kThumbnailSide)) << want[i].name;
    }
    EXPECT_EQ(items[6].box.y, 16) << "photo.jpg, 200 x 100, sits 16 pixels down";
    EXPECT_EQ(boxes.Boxes(), std::vector<std::string>{}) << "the worker's loads show no box";
}

TEST_F(ThumbnailWorker, EmptyMissingAndPictureNamedFoldersEnd)
{
    testsupport::ScratchDir empty("content-empty");
    Recorder recorder;
    CThumbnailWorker worker(recorder);
    for (const std::string& folder : {empty.Path().string(), Folder("no-such-folder"), Folder("mixed/sub.jpg")}) {
        const uint64_t scan = worker.RestartScan(folder);
        ASSERT_TRUE(recorder.WaitForEnd(scan)) << folder;
        const size_t expected = folder == Folder("mixed/sub.jpg") ? 1u : 0u; // sub.jpg holds inside.png
        EXPECT_EQ(recorder.Thumbnails(scan).size(), expected) << folder;
    }
}

TEST_F(ThumbnailWorker, NewRequestMidScanShowsOnlyTheNewFolder)
{
    Recorder recorder;
    CThumbnailWorker worker(recorder);
    const uint64_t old = worker.RestartScan(Folder("many"));
    ASSERT_TRUE(recorder.WaitForThumbnails(old, 2));
    const uint64_t scan = worker.RestartScan(Folder("few"));
    const size_t at = recorder.Count();
    EXPECT_EQ(scan, old + 1);
    ASSERT_TRUE(recorder.WaitForEnd(scan));

    const std::vector<Recorder::Event> events = recorder.Events();
    size_t oldAfter = 0;
    bool oldEndedIncomplete = false;
    for (size_t i = at; i < events.size(); ++i) {
        if (events[i].scan == old && events[i].kind == Recorder::Event::Thumbnail)
            ++oldAfter;
        if (events[i].scan == old && events[i].kind == Recorder::Event::Ended)
            oldEndedIncomplete = !events[i].complete;
    }
    EXPECT_LE(oldAfter, 1u) << "at most the thumbnail being made when the request came";
    EXPECT_TRUE(oldEndedIncomplete) << "the old scan ends, unfinished";
    EXPECT_LT(recorder.Thumbnails(old).size(), 30u);
    EXPECT_EQ(Names(recorder.Thumbnails(scan)), (std::vector<std::string>{"a.png", "b.gif", "c.bmp"}));
}

TEST_F(ThumbnailWorker, DestroyedMidScanStopsAndReportsNothingMore)
{
    Recorder recorder;
    const Clock::time_point start = Clock::now();
    {
        CThumbnailWorker worker(recorder);
        const uint64_t scan = worker.RestartScan(Folder("many"));
        ASSERT_TRUE(recorder.WaitForThumbnails(scan, 1));
    }
    const size_t at = recorder.Count();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder.Count(), at);
    EXPECT_LT(recorder.Thumbnails(1).size(), 30u) << "the scan did not stop early";
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
}

TEST_F(ThumbnailWorker, FolderSeenAgainIsShownFromMemoryUntilItsFilesChange)
{
    testsupport::ScratchDir folder("content-revisit");
    ASSERT_TRUE(content_test::WriteFixtures("few", folder.Path().string()));
    Recorder recorder;
    CThumbnailWorker worker(recorder);

    uint64_t scan = worker.RestartScan(folder.Path().string());
    ASSERT_TRUE(recorder.WaitForEnd(scan));
    const std::vector<ThumbnailItem> first = recorder.Thumbnails(scan);
    EXPECT_EQ(worker.DecodeCount(), 3u);

    scan = worker.RestartScan(Folder("mixed/sub.jpg"));
    ASSERT_TRUE(recorder.WaitForEnd(scan));
    const uint64_t decodes = worker.DecodeCount();

    struct Step {
        const char* what;
        std::function<void()> change;
        uint64_t decodes; // more decodes this visit costs
        std::vector<std::string> names;
    } steps[] = {
        {"unchanged", [] {}, 0, {"a.png", "b.gif", "c.bmp"}},
        {"one file rewritten",
         [&] {
             testsupport::WriteFile(folder.File("b.gif"), testsupport::ReadFile(Folder("few/b.gif")) + "x");
         },
         1, {"a.png", "b.gif", "c.bmp"}},
        {"one file gone", [&] { std::filesystem::remove(folder.File("a.png")); }, 0, {"b.gif", "c.bmp"}},
        {"one file back", [&] { std::filesystem::copy_file(Folder("few/a.png"), folder.File("a.png")); }, 1,
         {"a.png", "b.gif", "c.bmp"}},
    };
    uint64_t before = decodes;
    for (const Step& step : steps) {
        step.change();
        scan = worker.RestartScan(folder.Path().string());
        ASSERT_TRUE(recorder.WaitForEnd(scan)) << step.what;
        EXPECT_EQ(worker.DecodeCount() - before, step.decodes) << step.what;
        EXPECT_EQ(Names(recorder.Thumbnails(scan)), step.names) << step.what;
        before = worker.DecodeCount();
    }
    // Taken from memory, a thumbnail is the one made before.
    const std::vector<ThumbnailItem> again = recorder.Thumbnails(scan);
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[2].pixels, first[2].pixels);
    EXPECT_EQ(again[2].box.width, first[2].box.width);
}

TEST_F(ThumbnailWorker, MemoryForgetsTheFolderSeenLeastRecently)
{
    CThumbnailWorker::Options options;
    options.memoryLimit = 4;
    Recorder recorder;
    CThumbnailWorker worker(recorder, options);
    struct Visit {
        const char* folder;
        uint64_t decodes;
    } visits[] = {
        {"few", 3},        // remembered: few (3)
        {"few", 0},        // from memory
        {"mixed/sub.jpg", 1}, // 4 in all
        {"few", 0},        // still there
        {"mixed", 8},      // only room for mixed: few and sub.jpg forgotten, 4 of mixed kept
        {"few", 3},        // decoded again
        {"mixed", 8},      // few pushed mixed out again
    };
    for (const Visit& visit : visits) {
        const uint64_t before = worker.DecodeCount();
        const uint64_t scan = worker.RestartScan(Folder(visit.folder));
        ASSERT_TRUE(recorder.WaitForEnd(scan)) << visit.folder;
        EXPECT_EQ(worker.DecodeCount() - before, visit.decodes) << "visit of " << visit.folder;
    }
}

} // namespace
