// Shared pieces of the animation tests: a scratch folder, the Pillow fixture
// script, pictures made in memory, and a recorder for the library's boxes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "raster.h"
#include "raster_test_support.h"
#include "test_support.h"

namespace animtest {

// A fresh folder removed when the object goes.
class ScratchDir : public testsupport::ScratchDir {
public:
    ScratchDir() : testsupport::ScratchDir("tessary-anim") {}
};

// Runs tests/anim/anim_fixtures.py with the arguments; returns its stdout, and
// fails the current test when the script fails.
std::string RunFixtures(const std::string& arguments);

// An 8-bit picture of w x h with a palette of eight distinct colours; pixel
// (x, y) (y from the top) gets index (x + 3 * y) % 8.
CRaster* MakeIndexed(uint32_t w, uint32_t h, uint32_t delay = 0);
// A 24-bit picture whose pixel (x, y), y from the top, is `colour(x, y)`, and
// the colour seen at (x, y) counted from the top row.
using testsupport::ColourAtTop;
using testsupport::MakeTrueColour;

// Every box the picture library shows while the recorder lives.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    std::vector<std::string> boxes; // "caption|text|icon", or "holder|text" for the loading rules
};

} // namespace animtest
