#include "content_test_support.h"

#include <cstdio>
#include <cstdlib>

#include "picture_holder.h"
#include "test_support.h"

namespace content_test {

namespace {

std::mutex g_lock;
std::vector<std::string> g_boxes;

} // namespace

bool WriteFixtures(const std::string& set, const std::string& folder, int count)
{
    std::string line = "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/content/content_fixtures.py " + set + " " +
                       testsupport::ShellQuote(folder);
    if (count > 0)
        line += " " + std::to_string(count);
    const int status = std::system(line.c_str());
    if (status != 0)
        std::fprintf(stderr, "content_fixtures.py %s failed (status %d)\n", set.c_str(), status);
    return status == 0;
}

BoxRecorder::BoxRecorder()
{
    Clear();
    SetRasterMessageHandler(&BoxRecorder::OnRasterBox);
    SetPictureBoxHook(&BoxRecorder::OnPictureBox);
}

BoxRecorder::~BoxRecorder()
{
    SetRasterMessageHandler(nullptr);
    SetPictureBoxHook(nullptr);
}

std::vector<std::string> BoxRecorder::Boxes() const
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_boxes;
}

void BoxRecorder::Clear()
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_boxes.clear();
}

void BoxRecorder::OnRasterBox(const char* text, const char* caption, RasterBoxIcon)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_boxes.push_back(std::string(caption) + ": " + text);
}

void BoxRecorder::OnPictureBox(void*, const char* text)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_boxes.push_back(std::string("holder: ") + text);
}

} // namespace content_test
