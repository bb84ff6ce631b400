#include "anim_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include "picture_holder.h"

namespace animtest {

std::string RunFixtures(const std::string& arguments)
{
    const std::string cmd =
        "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/anim/anim_fixtures.py " + arguments;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << cmd;
        return {};
    }
    std::string out;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << "fixture script failed: " << cmd;
    return out;
}

CRaster* MakeIndexed(uint32_t w, uint32_t h, uint32_t delay)
{
    auto* picture = new CRaster(w, h, 8, FormatGif);
    static const uint8_t kColours[8][3] = {{0, 0, 0},     {255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                           {255, 255, 0}, {0, 255, 255}, {255, 0, 255}, {255, 255, 255}};
    for (int i = 0; i < 8; ++i)
        picture->SetPaletteIndex(uint8_t(i), kColours[i][0], kColours[i][1], kColours[i][2]);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            picture->SetPixelIndex(long(x), long(h - 1 - y), uint8_t((x + 3 * y) % 8));
    picture->SetFrameDelay(delay);
    return picture;
}

namespace {
BoxRecorder* g_recorder = nullptr;

void RecordBox(const char* text, const char* caption, RasterBoxIcon icon)
{
    if (g_recorder)
        g_recorder->boxes.push_back(std::string(caption) + "|" + text + "|" + std::to_string(int(icon)));
}
void RecordHolderBox(void*, const char* text)
{
    if (g_recorder)
        g_recorder->boxes.push_back(std::string("holder|") + text);
}
} // namespace

BoxRecorder::BoxRecorder()
{
    g_recorder = this;
    SetRasterMessageHandler(RecordBox);
    SetPictureBoxHook(RecordHolderBox);
}

BoxRecorder::~BoxRecorder()
{
    SetRasterMessageHandler(nullptr);
    SetPictureBoxHook(nullptr);
    g_recorder = nullptr;
}

} // namespace animtest
