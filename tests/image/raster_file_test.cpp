// Byte streams: the memory stream's read, seek and growth rules, and the stdio
// wrapper's ownership of its stream.
#include "raster_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(RasterMemFile, ShortReadReturnsWholeItemsAndStopsAtTheEnd)
{
    unsigned char data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    CRasterMemFile f(data, sizeof data);
    unsigned char out[12] = {};
    EXPECT_EQ(f.Read(out, 4, 3), 2u); // 10 bytes copied, 2 whole items
    EXPECT_EQ(f.Tell(), 10);
    EXPECT_EQ(out[9], 9);
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), 0);
    EXPECT_EQ(f.Read(out, 1, 1), 0u);

    // A size x count that does not fit in size_t still reads what is there.
    ASSERT_TRUE(f.Seek(0, 0));
    EXPECT_EQ(f.Read(out, SIZE_MAX / 2, 3), 0u);
    EXPECT_EQ(f.Tell(), 10);
    ASSERT_TRUE(f.Seek(0, 0));
    EXPECT_EQ(f.Read(out, 1, SIZE_MAX), 10u);
    EXPECT_EQ(f.Read(nullptr, 1, 1), 0u);
}

TEST(RasterMemFile, SeekRules)
{
    unsigned char data[10] = {};
    CRasterMemFile f(data, sizeof data);
    struct Step {
        long offset;
        int origin;
        bool ok;
        long position;
    };
    const Step steps[] = {
        {3, 0, true, 3},   {-1, 0, false, 3}, {2, 1, true, 5},   {-6, 1, false, 5},
        {-1, 2, true, 9},  {-11, 2, false, 9}, {4, 3, false, 9}, {4, -1, false, 9},
        {100, 0, true, 100},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(f.Seek(s.offset, s.origin), s.ok) << s.offset << " from " << s.origin;
        EXPECT_EQ(f.Tell(), s.position) << s.offset << " from " << s.origin;
    }
    // Beyond the data: reads give nothing and the stream reports an error.
    unsigned char b;
    EXPECT_EQ(f.Read(&b, 1, 1), 0u);
    EXPECT_EQ(f.Error(), 1);
    EXPECT_TRUE(f.Eof());
}

TEST(RasterMemFile, GrowsInWholePagesOfFourKilobytes)
{
    CRasterMemFile f;
    EXPECT_EQ(f.Size(), -1);
    EXPECT_EQ(f.Tell(), -1);
    EXPECT_EQ(f.Error(), -1);
    EXPECT_FALSE(f.Flush());
    EXPECT_FALSE(f.PutC('x'));
    ASSERT_TRUE(f.Open());
    EXPECT_FALSE(f.Open());
    EXPECT_EQ(f.Capacity(), 0);
    EXPECT_TRUE(f.PutC('a'));
    EXPECT_EQ(f.Capacity(), 4096);
    EXPECT_EQ(f.Size(), 1);

    std::vector<unsigned char> big(5000, 0x5A);
    ASSERT_TRUE(f.Seek(0, 0));
    EXPECT_EQ(f.Write(big.data(), 1, big.size()), big.size());
    EXPECT_EQ(f.Capacity(), 8192);
    EXPECT_EQ(f.Size(), 5000);
    // From 8192, reaching 8193 adds exactly one page.
    ASSERT_TRUE(f.Seek(0, 2));
    EXPECT_EQ(f.Write(big.data(), 1, 3193), 3193u);
    EXPECT_EQ(f.Capacity(), 8192 + 4096);
    EXPECT_EQ(f.Size(), 8193);

    EXPECT_EQ(f.Write(big.data(), 0, 10), 0u);
    EXPECT_EQ(f.Write(nullptr, 1, 10), 0u);
    // size x count overflows: nothing is written, nothing moves.
    EXPECT_EQ(f.Write(big.data(), SIZE_MAX / 2, 3), 0u);
    // Larger than a memory stream can ever hold: refused without writing.
    EXPECT_EQ(f.Write(big.data(), 1, size_t(1) << 31), 0u);
    EXPECT_EQ(f.Size(), 8193);
    EXPECT_EQ(f.Tell(), 8193);
}

TEST(RasterMemFile, WrittenBytesReadBackAndGapsAreZero)
{
    CRasterMemFile f;
    ASSERT_TRUE(f.Open());
    const char text[] = "GIF89a";
    EXPECT_EQ(f.Write(text, 2, 3), 3u);
    ASSERT_TRUE(f.Seek(4, 1)); // 4 bytes past the data
    EXPECT_EQ(f.Write("z", 1, 1), 1u);
    EXPECT_EQ(f.Size(), 11);
    ASSERT_TRUE(f.Seek(0, 0));
    char back[11];
    EXPECT_EQ(f.Read(back, 1, 11), 11u);
    EXPECT_EQ(std::memcmp(back, "GIF89a\0\0\0\0z", 11), 0);

    // The buffer handed out is the caller's to free; the stream forgets nothing else.
    unsigned char* buffer = f.GetBuffer();
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(buffer[10], 'z');
    std::free(buffer);
}

TEST(RasterMemFile, GrowingACallersBufferCopiesItInsteadOfReallocating)
{
    unsigned char onStack[4] = {1, 2, 3, 4};
    {
        CRasterMemFile f(onStack, sizeof onStack);
        ASSERT_TRUE(f.Seek(0, 2));
        EXPECT_TRUE(f.PutC(5));
        EXPECT_EQ(f.Capacity(), 4 + 4096);
        ASSERT_TRUE(f.Seek(0, 0));
        unsigned char back[5];
        EXPECT_EQ(f.Read(back, 1, 5), 5u);
        EXPECT_EQ(back[4], 5);
        EXPECT_EQ(back[0], 1);
    } // the grown copy is freed here, the stack array never
    EXPECT_EQ(onStack[3], 4);
}

class RasterIOFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("raster_io_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        path = (dir / "data.bin").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
    std::string path;
};

TEST_F(RasterIOFileTest, WritesReadsAndMeasuresAFile)
{
    CRasterIOFile f;
    EXPECT_EQ(f.Size(), -1);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), -1);
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_TRUE(f.Close());
    ASSERT_TRUE(f.Open(path.c_str(), "w+b"));
    EXPECT_FALSE(f.Open(path.c_str(), "rb")); // already holds a stream
    EXPECT_EQ(f.Write("abcdef", 1, 6), 6u);
    EXPECT_TRUE(f.PutC(0xFF));
    ASSERT_TRUE(f.Seek(2, 0));
    EXPECT_EQ(f.Size(), 7);
    EXPECT_EQ(f.Tell(), 2); // Size puts the position back
    EXPECT_EQ(f.GetC(), 'c');
    ASSERT_TRUE(f.Seek(-1, 2));
    EXPECT_EQ(f.GetC(), 0xFF);
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), 0);
    EXPECT_TRUE(f.Close());
    EXPECT_FALSE(f.Open((dir / "missing" / "x").string().c_str(), "rb"));
}

TEST_F(RasterIOFileTest, NeverClosesAStreamItWasHanded)
{
    FILE* fp = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(fp, nullptr);
    {
        CRasterIOFile f(fp);
        EXPECT_EQ(f.Write("xy", 1, 2), 2u);
        EXPECT_TRUE(f.Close());
    }
    // Still open: the caller can go on using it.
    EXPECT_EQ(std::fputc('z', fp), 'z');
    EXPECT_EQ(std::fseek(fp, 0, SEEK_SET), 0);
    char back[3];
    EXPECT_EQ(std::fread(back, 1, 3, fp), 3u);
    EXPECT_EQ(std::memcmp(back, "xyz", 3), 0);
    EXPECT_EQ(std::fclose(fp), 0);
}

} // namespace
