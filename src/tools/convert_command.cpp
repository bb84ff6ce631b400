// tessary-anim convert FILE -o OUT [operations in order]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gif_codec.h"
#include "picture_holder.h"
#include "tool_command.h"
#include "tool_support.h"

namespace {

const char kConvertHelp[] =
    "usage: tessary-anim convert FILE -o OUT [OPERATION...]\n"
    "\n"
    "Loads frame 0 of FILE, applies the operations in the order given and writes\n"
    "the result: OUT ending in .ppm or .pam (as 'decode' writes them) or .gif (a\n"
    "one-frame GIF; true-colour pictures first get an optimised 256-colour palette).\n"
    "\n"
    "operations:\n"
    "  --rotate-left          quarter turn anticlockwise\n"
    "  --rotate-right         quarter turn clockwise\n"
    "  --mirror               left becomes right\n"
    "  --flip                 top becomes bottom\n"
    "  --crop L,T,R,B         keep columns L to R-1 and rows T to B-1, rows counted\n"
    "                         from the top\n"
    "  --resample WxH[:MODE]  scale to W x H; MODE 1 nearest neighbour (default),\n"
    "                         0 smooth (bilinear, or area averaging when a true-colour\n"
    "                         picture shrinks)\n"
    "  --light B[,C]          brightness B and contrast C in percent (default 100)\n"
    "  --bpp N[:dither]       change to N bits per pixel (1, 4, 8 or 24); fewer bits\n"
    "                         use the standard palette, ':dither' adds error diffusion\n"
    "  --gif-palette          256-colour optimised palette, as for a GIF frame\n"
    "\n"
    "GIF output:\n";

enum class OpKind { RotateLeft, RotateRight, Mirror, Flip, Crop, Resample, Light, Bpp, GifPalette };

struct Operation {
    OpKind kind;
    std::string text; // the option as typed, for messages
    std::vector<long> values;
    bool flag = false;
};

// Parses "WxH[:MODE]".
bool ParseResample(const std::string& value, Operation* op)
{
    std::string size = value;
    long mode = 1;
    const size_t colon = value.find(':');
    if (colon != std::string::npos) {
        size = value.substr(0, colon);
        if (!ParseLong(value.substr(colon + 1), &mode) || (mode != 0 && mode != 1))
            return false;
    }
    const size_t x = size.find_first_of("xX");
    long w = 0, h = 0;
    if (x == std::string::npos || !ParseLong(size.substr(0, x), &w) || !ParseLong(size.substr(x + 1), &h) ||
        w <= 0 || h <= 0)
        return false;
    op->values = {w, h, mode};
    return true;
}

// Parses "N[:dither]".
bool ParseBpp(const std::string& value, Operation* op)
{
    std::string bits = value;
    const size_t colon = value.find(':');
    if (colon != std::string::npos) {
        if (value.substr(colon + 1) != "dither")
            return false;
        bits = value.substr(0, colon);
        op->flag = true;
    }
    long n = 0;
    if (!ParseLong(bits, &n) || (n != 1 && n != 4 && n != 8 && n != 24))
        return false;
    op->values = {n};
    return true;
}

// Applies one operation; false with `error` set when it cannot be done.
bool Apply(const Operation& op, CRaster& picture, std::string* error)
{
    bool ok = true;
    switch (op.kind) {
    case OpKind::RotateLeft:
        ok = picture.RotateLeft();
        break;
    case OpKind::RotateRight:
        ok = picture.RotateRight();
        break;
    case OpKind::Mirror:
        ok = picture.Mirror();
        break;
    case OpKind::Flip:
        ok = picture.Flip();
        break;
    case OpKind::Crop:
        ok = picture.Crop(op.values[0], op.values[1], op.values[2], op.values[3]);
        if (!ok)
            *error = op.text + ": the rectangle holds no pixels of the picture";
        break;
    case OpKind::Resample:
        ok = picture.Resample(op.values[0], op.values[1], int(op.values[2]));
        break;
    case OpKind::Light:
        ok = picture.Light(op.values[0], op.values[1]);
        break;
    case OpKind::Bpp: {
        const uint32_t want = uint32_t(op.values[0]);
        if (want < picture.GetBpp())
            ok = picture.DecreaseBpp(want, op.flag);
        else if (want > picture.GetBpp())
            ok = picture.IncreaseBpp(want);
        break;
    }
    case OpKind::GifPalette:
        ok = ConvertToGifPalette(&picture);
        break;
    }
    if (!ok && error->empty())
        *error = op.text + " failed";
    return ok;
}

} // namespace

int RunConvertCommand(int argc, char** argv)
{
    if (WantsHelp(argc, argv)) {
        std::fputs(kConvertHelp, stdout);
        std::fputs(kGifWriteOptionsHelp, stdout);
        return 0;
    }
    std::string path;
    std::string out;
    std::vector<Operation> ops;
    GifWriteOptions gifOptions;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        auto needValue = [&](std::string* value) {
            if (i + 1 >= argc)
                return false;
            *value = argv[++i];
            return true;
        };
        std::string value;
        Operation op{OpKind::Mirror, arg, {}, false};
        if (arg == "-o") {
            if (!needValue(&out))
                return Fail("convert: -o needs a file name");
            continue;
        }
        if (ParseGifWriteOption(arg, &gifOptions))
            continue;
        if (arg == "--rotate-left")
            op.kind = OpKind::RotateLeft;
        else if (arg == "--rotate-right")
            op.kind = OpKind::RotateRight;
        else if (arg == "--mirror")
            op.kind = OpKind::Mirror;
        else if (arg == "--flip")
            op.kind = OpKind::Flip;
        else if (arg == "--gif-palette")
            op.kind = OpKind::GifPalette;
        else if (arg == "--crop") {
            op.kind = OpKind::Crop;
            if (!needValue(&value) || !ParseLongList(value, ',', &op.values) || op.values.size() != 4)
                return Fail("convert: --crop needs L,T,R,B (four whole numbers)");
            op.text += " " + value;
        } else if (arg == "--resample") {
            op.kind = OpKind::Resample;
            if (!needValue(&value) || !ParseResample(value, &op))
                return Fail("convert: --resample needs WxH or WxH:MODE (W, H above 0; MODE 0 or 1)");
            op.text += " " + value;
        } else if (arg == "--light") {
            op.kind = OpKind::Light;
            if (!needValue(&value) || !ParseLongList(value, ',', &op.values) || op.values.size() > 2)
                return Fail("convert: --light needs B or B,C (whole numbers)");
            if (op.values.size() == 1)
                op.values.push_back(100);
            op.text += " " + value;
        } else if (arg == "--bpp") {
            op.kind = OpKind::Bpp;
            if (!needValue(&value) || !ParseBpp(value, &op))
                return Fail("convert: --bpp needs N or N:dither with N 1, 4, 8 or 24");
            op.text += " " + value;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("convert: unknown option '" + arg + "'");
        } else if (path.empty()) {
            path = arg;
            continue;
        } else {
            return Fail("convert: only one FILE may be given");
        }
        ops.push_back(op);
    }
    if (path.empty())
        return Fail("convert: no FILE given (see tessary-anim convert --help)");
    if (out.empty())
        return Fail("convert: no output given (-o OUT)");
    const std::string ext = LowerExtension(out);
    if (ext != "ppm" && ext != "pam" && ext != "gif")
        return Fail("convert: '" + out + "': the output must end in .ppm, .pam or .gif");

    CPictureHolder holder;
    std::string error;
    if (!LoadPicture(path, 0, holder, &error))
        return Fail(error);
    CRaster& picture = *holder.GetImage();
    // Colour-depth changes give the picture a fresh information block; the
    // frame delay belongs to the picture and is kept.
    const uint32_t delay = picture.GetFrameDelay();
    for (const Operation& op : ops) {
        error.clear();
        if (!Apply(op, picture, &error))
            return Fail("convert: " + error);
    }
    picture.SetFrameDelay(delay);

    if (ext == "gif") {
        if (!PrepareGifFrame(picture))
            return Fail("convert: the picture cannot be made a GIF frame");
        CRaster* frames[] = {&picture};
        if (!WriteGifFile(frames, 1, out, gifOptions, &error))
            return Fail(error);
        return 0;
    }
    if (!WritePortableMap(picture, out, &error))
        return Fail(error);
    return 0;
}
