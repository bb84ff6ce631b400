// What the document tells a listener while it works on all frames: every
// frame once, in order, against one total that is the number of frames the
// work ends with (the 256 kept of a longer GIF).
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "anim_doc.h"
#include "anim_test_support.h"

using animtest::MakeIndexed;
using animtest::RunFixtures;
using animtest::ScratchDir;

namespace {

struct Report {
    CAnimDoc::FrameWork work;
    int32_t done;
    int32_t total;
};

class Recorder : public CAnimDoc::FrameProgress {
public:
    void FramesDone(CAnimDoc::FrameWork work, int32_t done, int32_t total) override
    {
        reports.push_back({work, done, total});
    }
    std::vector<Report> reports;
};

} // namespace

TEST(AnimDocProgress, EveryFrameIsReportedOnceInOrderUpToTheTotal)
{
    ScratchDir dir;
    const std::string longGif = dir.File("long.gif");
    const std::string shortGif = dir.File("short.gif");
    RunFixtures("gif " + longGif + " 300 8 8 20");
    RunFixtures("gif " + shortGif + " 5 12 9 20");

    enum class Job { Build, BuildFrameByFrame, Edit };
    const struct {
        const char* what;
        Job job;
        std::string path; // Edit: none, the document holds `frames` frames
        int32_t frames;
        CAnimDoc::FrameWork work;
        int32_t first; // the first `done` reported
    } cases[] = {
        {"300 frames read in one pass", Job::Build, longGif, 256, CAnimDoc::FrameWork::Reading, 1},
        {"5 frames read one by one", Job::BuildFrameByFrame, shortGif, 5, CAnimDoc::FrameWork::Reading, 1},
        {"7 frames edited, one skipped", Job::Edit, "", 7, CAnimDoc::FrameWork::Editing, 0},
        {"1 frame edited", Job::Edit, "", 1, CAnimDoc::FrameWork::Editing, 0},
    };
    for (const auto& c : cases) {
        CAnimDoc doc;
        doc.SetDelayLimits(0, 1000, 50);
        Recorder recorder;
        if (c.job == Job::Edit) {
            for (int32_t i = 0; i < c.frames; ++i)
                doc.m_frames[i] = MakeIndexed(8, 6, 10);
            doc.m_nFrames = c.frames;
            doc.SetFrameProgress(&recorder);
            doc.ApplyEditToOthers(c.frames > 2 ? 2 : -1, true, 16, 16, true, 0, 0.0, 0, 0, 0, 0, 33, 109, 215, 200);
        } else {
            ASSERT_TRUE(doc.Load(c.path, kAllowAll, 0)) << c.what;
            doc.SetFrameProgress(&recorder);
            ASSERT_TRUE(doc.BuildFrames(c.job == Job::Build ? CAnimDoc::GifReading::OnePass
                                                            : CAnimDoc::GifReading::FrameByFrame))
                << c.what;
        }
        ASSERT_EQ(doc.GetFrameCount(), c.frames) << c.what;
        ASSERT_EQ(recorder.reports.size(), size_t(c.frames - c.first + 1)) << c.what;
        for (size_t i = 0; i < recorder.reports.size(); ++i) {
            const Report& r = recorder.reports[i];
            EXPECT_EQ(r.work, c.work) << c.what << ", report " << i;
            EXPECT_EQ(r.done, c.first + int32_t(i)) << c.what << ", report " << i;
            EXPECT_EQ(r.total, c.frames) << c.what << ", report " << i;
        }
    }

    // Without a listener the work is the same and nobody is told.
    CAnimDoc quiet;
    ASSERT_TRUE(quiet.Load(shortGif, kAllowAll, 0));
    Recorder unused;
    quiet.SetFrameProgress(&unused);
    quiet.SetFrameProgress(nullptr);
    EXPECT_TRUE(quiet.BuildFrames());
    EXPECT_TRUE(unused.reports.empty());
}
