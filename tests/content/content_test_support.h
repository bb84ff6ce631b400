// Helpers of the content tests: fixture folders written by content_fixtures.py
// (Pillow as the encoder), and boxes recorded from every thread.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "raster.h"

namespace content_test {

// Writes the fixture set `set` ("mixed", "many", "few", "jpeg"; see
// content_fixtures.py) into `folder`; false (after printing why) when the
// script fails.
bool WriteFixtures(const std::string& set, const std::string& folder, int count = 0);

// While alive, records every box of the picture library and of the loading
// rules, from any thread, and puts the previous handlers back at the end.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    // "caption: text" for a library box, "holder: text" for a loading rule's.
    std::vector<std::string> Boxes() const;
    void Clear();

private:
    static void OnRasterBox(const char* text, const char* caption, RasterBoxIcon icon);
    static void OnPictureBox(void* owner, const char* text);
};

// The colour of pixel (x, y), y from the top, of 0xAARRGGBB pixels side x side.
inline uint32_t PixelAt(const std::vector<uint32_t>& pixels, int side, int x, int y)
{
    return pixels[size_t(y) * size_t(side) + size_t(x)];
}

} // namespace content_test
