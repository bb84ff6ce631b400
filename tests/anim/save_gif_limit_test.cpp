// SaveGif past a real file-size limit (RLIMIT_FSIZE, with SIGXFSZ ignored as
// the batch tool does): the writes fail, SaveGif returns false and leaves no
// file, whatever the writer's options.
#include "anim_doc.h"
#include "anim_test_support.h"
#include "gif_codec.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace {

using namespace animtest;

// Lowers the file-size limit for the life of the object.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lower = m_old;
        lower.rlim_cur = bytes;
        m_bSet = setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool IsSet() const { return m_bSet; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_bSet = false;
};

TEST(AnimDocSave, PastAFileSizeLimitFailsAndLeavesNoFile)
{
    ScratchDir dir;
    CAnimDoc doc;
    doc.SetDelayLimits(0, 1000, 50);
    for (int i = 0; i < 6; ++i) {
        doc.m_frames[i] = MakeIndexed(64, 48, uint32_t(10 + i));
        doc.m_nFrames = i + 1;
    }
    const GifWriteOptions options[] = {{}, {true, false}, {true, true}};
    for (const GifWriteOptions& o : options) {
        SCOPED_TRACE(std::string("LZW ") + (o.bLzw ? "on" : "off") + ", differencing " +
                     (o.bDifferencing ? "on" : "off"));
        const std::string whole = dir.File("whole.gif");
        ASSERT_TRUE(doc.SaveGif(whole, o));
        ASSERT_GT(std::filesystem::file_size(whole), 1024u) << "the file must outgrow the limit";

        const std::string out = dir.File("limited.gif");
        bool saved = true;
        {
            FileSizeLimit limit(1024);
            ASSERT_TRUE(limit.IsSet());
            saved = doc.SaveGif(out, o);
        }
        EXPECT_FALSE(saved);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

} // namespace
