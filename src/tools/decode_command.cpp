// tessary-anim decode FILE [--frame K] -o OUT
#include <cstdio>
#include <cstring>
#include <string>

#include "picture_holder.h"
#include "tool_command.h"
#include "tool_support.h"

namespace {

const char kDecodeHelp[] =
    "usage: tessary-anim decode FILE [--frame K] -o OUT\n"
    "\n"
    "Decodes one frame of a picture with the program's own decoders and writes\n"
    "it top row first as binary PPM (OUT ending in .ppm) or PAM (.pam; with an\n"
    "alpha channel, RGB_ALPHA, when the picture has one).\n"
    "\n"
    "  --frame K   the frame to decode, counted from 0 (default 0)\n"
    "  -o OUT      the file to write\n";

} // namespace

int RunDecodeCommand(int argc, char** argv)
{
    if (WantsHelp(argc, argv)) {
        std::fputs(kDecodeHelp, stdout);
        return 0;
    }
    std::string path;
    std::string out;
    long frame = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frame" || arg == "-o") {
            if (i + 1 >= argc)
                return Fail("decode: " + arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "-o")
                out = value;
            else if (!ParseLong(value, &frame) || frame < 0)
                return Fail("decode: --frame needs a frame number of 0 or more, not '" + value + "'");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("decode: unknown option '" + arg + "'");
        } else if (path.empty()) {
            path = arg;
        } else {
            return Fail("decode: only one FILE may be given");
        }
    }
    if (path.empty())
        return Fail("decode: no FILE given (see tessary-anim decode --help)");
    if (out.empty())
        return Fail("decode: no output given (-o OUT)");
    const std::string ext = LowerExtension(out);
    if (ext != "ppm" && ext != "pam")
        return Fail("decode: '" + out + "': the output must end in .ppm or .pam");

    CPictureHolder holder;
    std::string error;
    if (!LoadPicture(path, frame, holder, &error))
        return Fail(error);
    if (!WritePortableMap(*holder.GetImage(), out, &error))
        return Fail(error);
    return 0;
}
