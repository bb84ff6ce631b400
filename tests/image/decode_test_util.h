// Helpers of the decoder tests: sample pictures made by decode_samples.py in a
// temporary folder, their reference pixels, and a recorder of message boxes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "raster.h"
#include "raster_file.h"

namespace decodetest {

namespace fs = std::filesystem;

// Pillow is installed for the system's Python, which a user's PATH may hide.
inline std::string Python()
{
    return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

inline std::vector<unsigned char> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const fs::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Pixels an independent decoder (or the sample's source) says a file holds.
struct Reference {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<unsigned char> bytes; // top row first

    const unsigned char* At(int x, int yFromTop) const
    {
        return bytes.data() + (size_t(yFromTop) * width + x) * channels;
    }
};

inline Reference ReadReference(const fs::path& path)
{
    Reference ref;
    std::vector<unsigned char> all = ReadBytes(path);
    auto newline = std::find(all.begin(), all.end(), '\n');
    std::istringstream head(std::string(all.begin(), newline));
    head >> ref.width >> ref.height >> ref.channels;
    ref.bytes.assign(newline + 1, all.end());
    return ref;
}

struct Sample {
    std::string name;
    std::string file;
    int bpp = 0;
    std::string mode;
};

// Runs decode_samples.py once per test program into a fresh folder.
class SampleSet {
public:
    explicit SampleSet(const char* kind)
    {
        dir_ = fs::temp_directory_path() / ("tessary-decode-" + std::string(kind) + "-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const std::string script = std::string(TESSARY_SOURCE_DIR) + "/tests/image/decode_samples.py";
        const std::string cmd = Python() + " '" + script + "' " + kind + " '" + dir_.string() + "'";
        ok_ = std::system(cmd.c_str()) == 0;
        std::ifstream manifest(dir_ / "manifest.txt");
        Sample s;
        while (manifest >> s.name >> s.file >> s.bpp >> s.mode)
            samples_.push_back(s);
    }
    ~SampleSet() { fs::remove_all(dir_); }

    bool Ok() const { return ok_ && !samples_.empty(); }
    const std::vector<Sample>& Samples() const { return samples_; }
    fs::path Path(const std::string& file) const { return dir_ / file; }
    const Sample* Find(const std::string& name) const
    {
        for (const Sample& s : samples_)
            if (s.name == name)
                return &s;
        return nullptr;
    }

private:
    fs::path dir_;
    bool ok_ = false;
    std::vector<Sample> samples_;
};

// Compares a decoded picture with its reference; reports the first mismatch.
inline ::testing::AssertionResult MatchesReference(const CRaster& img, const Reference& ref, const std::string& mode)
{
    if (int(img.GetWidth()) != ref.width || int(img.GetHeight()) != ref.height)
        return ::testing::AssertionFailure() << "size: have " << img.GetWidth() << "x" << img.GetHeight()
                                             << ", want " << ref.width << "x" << ref.height;
    const int tolerance = mode == "tol2" ? 2 : 0;
    for (int y = 0; y < ref.height; ++y) {
        for (int x = 0; x < ref.width; ++x) {
            const RGBQUAD c = img.GetPixelColor(x, ref.height - 1 - y);
            const unsigned char* want = ref.At(x, y);
            const int have[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
            for (int k = 0; k < 3; ++k) {
                const int w = mode == "f8" ? (want[k] & 0xF8) : want[k];
                if (std::abs(have[k] - w) > tolerance)
                    return ::testing::AssertionFailure()
                           << "pixel (" << x << ", " << y << " from the top) channel " << k << ": have " << have[k]
                           << ", want " << w;
            }
            if (ref.channels == 4 && img.AlphaGet(x, ref.height - 1 - y) != want[3])
                return ::testing::AssertionFailure() << "alpha at (" << x << ", " << y << "): have "
                                                     << int(img.AlphaGet(x, ref.height - 1 - y)) << ", want "
                                                     << int(want[3]);
        }
    }
    return ::testing::AssertionSuccess();
}

// Records every message box the library shows while it is alive.
struct BoxRecord {
    std::string text;
    std::string caption;
    RasterBoxIcon icon;
};

class BoxRecorder {
public:
    BoxRecorder()
    {
        Boxes().clear();
        SetRasterMessageHandler(&Record);
    }
    ~BoxRecorder() { SetRasterMessageHandler(nullptr); }
    static std::vector<BoxRecord>& Boxes()
    {
        static std::vector<BoxRecord> boxes;
        return boxes;
    }

private:
    static void Record(const char* text, const char* caption, RasterBoxIcon icon)
    {
        Boxes().push_back({text, caption, icon});
    }
};

// Decodes a whole file held in memory with one codec.
template <class Codec>
bool DecodeBytes(Codec& codec, std::vector<unsigned char> bytes)
{
    CRasterMemFile file(bytes.data(), uint32_t(bytes.size()));
    return codec.Decode(&file);
}

// A test suite whose sample files decode_samples.py makes once for the format.
template <const char* kFormat>
class SampleSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { set_ = new SampleSet(kFormat); }
    static void TearDownTestSuite()
    {
        delete set_;
        set_ = nullptr;
    }
    static std::vector<unsigned char> Bytes(const std::string& name)
    {
        const Sample* s = set_->Find(name);
        EXPECT_NE(s, nullptr) << name;
        return s ? ReadBytes(set_->Path(s->file)) : std::vector<unsigned char>{};
    }
    static inline SampleSet* set_ = nullptr;
};

} // namespace decodetest

