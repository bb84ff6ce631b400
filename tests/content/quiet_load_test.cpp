// Quiet loads: a load asked to be quiet shows no box at all (neither the
// library's file, GIF and PNG boxes nor the loading rules' refusals), and a
// quiet thread silences only itself, never another thread's boxes.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "content_test_support.h"
#include "picture_holder.h"
#include "test_support.h"
#include "thumbnail.h"

using content_test::BoxRecorder;

namespace {

class QuietLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::WriteFile(folder.File("broken.png"), "this is no picture at all");
        testsupport::WriteFile(folder.File("broken.gif"), std::string("GIF89a\x10\x00\x10\x00\x80\x00\x00zz", 15));
    }
    testsupport::ScratchDir folder{"content-quiet"};
};

TEST_F(QuietLoad, QuietRasterLoadShowsNoBoxLoudOneDoes)
{
    struct Case {
        const char* name;
        uint32_t format;
        const char* loudBox; // what the loud load's box says
    } cases[] = {
        {"broken.png", FormatPng, "Png error"},
        {"broken.gif", FormatGif, "Gif error"},
        {"missing.jpg", FormatJpeg, "File open error"},
    };
    for (const Case& c : cases) {
        BoxRecorder boxes;
        CRaster picture;
        EXPECT_FALSE(picture.Load(folder.File(c.name).c_str(), c.format, true)) << c.name;
        EXPECT_EQ(boxes.Boxes(), std::vector<std::string>{}) << c.name << " loaded quietly";
        EXPECT_FALSE(picture.Load(folder.File(c.name).c_str(), c.format, false)) << c.name;
        const std::vector<std::string> loud = boxes.Boxes();
        ASSERT_EQ(loud.size(), 1u) << c.name;
        EXPECT_NE(loud[0].find(c.loudBox), std::string::npos) << loud[0];
    }
}

TEST_F(QuietLoad, QuietScopeSilencesTheLoadingRulesOnItsThread)
{
    BoxRecorder boxes;
    CPictureHolder holder;
    {
        CRasterQuietScope quiet;
        EXPECT_FALSE(holder.Load(folder.File("broken.png"), kAllowAll));
        ShowPictureBox(nullptr, "direct");
        {
            CRasterQuietScope nested;
        }
        ShowPictureBox(nullptr, "after a nested scope ended");
        EXPECT_TRUE(RasterBoxesQuiet());
    }
    EXPECT_FALSE(RasterBoxesQuiet());
    EXPECT_EQ(boxes.Boxes(), std::vector<std::string>{});
    EXPECT_FALSE(holder.Load(folder.File("broken.png"), kAllowAll));
    EXPECT_FALSE(boxes.Boxes().empty()) << "the loading rules speak again once the scope is gone";
}

TEST_F(QuietLoad, QuietThreadLeavesOtherThreadsLoud)
{
    BoxRecorder boxes;
    std::mutex lock;
    std::condition_variable changed;
    bool quietHeld = false;
    bool loudDone = false;

    // One thread holds a quiet scope while this one loads loudly; then this
    // one is quiet while the other loads loudly.
    std::thread quietThread([&] {
        CRasterQuietScope quiet;
        std::unique_lock<std::mutex> hold(lock);
        quietHeld = true;
        changed.notify_all();
        changed.wait(hold, [&] { return loudDone; });
    });
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return quietHeld; });
    }
    CRaster picture;
    EXPECT_FALSE(picture.Load(folder.File("broken.png").c_str(), FormatPng, false));
    EXPECT_EQ(boxes.Boxes().size(), 1u) << "another thread's quiet scope silenced this thread";
    {
        std::lock_guard<std::mutex> hold(lock);
        loudDone = true;
        changed.notify_all();
    }
    quietThread.join();

    boxes.Clear();
    CRasterQuietScope quiet;
    std::thread loudThread([&] {
        CRaster other;
        other.Load(folder.File("broken.gif").c_str(), FormatGif, false);
        CPictureHolder holder;
        holder.Load(folder.File("broken.png"), kAllowAll);
    });
    loudThread.join();
    const std::vector<std::string> fromOther = boxes.Boxes();
    ASSERT_GE(fromOther.size(), 2u) << "this thread's quiet scope silenced the other thread";
    EXPECT_EQ(fromOther.front().rfind("Gif error", 0), 0u) << fromOther.front();
}

TEST_F(QuietLoad, WorkerLoadOnAnyThreadShowsNoBox)
{
    BoxRecorder boxes;
    std::thread worker([&] {
        CRaster scratch;
        for (const char* name : {"broken.png", "broken.gif", "missing.jpg"})
            LoadPictureByExtension(folder.File(name), scratch);
    });
    worker.join();
    EXPECT_EQ(boxes.Boxes(), std::vector<std::string>{});
}

} // namespace
