// tessary-anim info FILE [--json]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gif_codec.h"
#include "picture_holder.h"
#include "raster_file.h"
#include "tool_command.h"
#include "tool_support.h"

namespace {

const char kInfoHelp[] =
    "usage: tessary-anim info FILE [--json]\n"
    "\n"
    "Shows what the wizard sees in a picture: its format (taken from the file\n"
    "name's extension, or from the content when the file is not what its\n"
    "extension says), width, height, bits per pixel, number of frames, the\n"
    "delay of each frame in hundredths of a second and the transparent index\n"
    "(-1 for none).\n"
    "\n"
    "  --json   print one JSON object with the keys format, width, height, bpp,\n"
    "           frames, delays and transparent_index\n";

const char* FormatName(uint32_t format)
{
    switch (format) {
    case FormatBmp:
        return "bmp";
    case FormatGif:
        return "gif";
    case FormatJpeg:
        return "jpeg";
    case FormatPng:
        return "png";
    default:
        return "unknown";
    }
}

} // namespace

int RunInfoCommand(int argc, char** argv)
{
    if (WantsHelp(argc, argv)) {
        std::fputs(kInfoHelp, stdout);
        return 0;
    }
    std::string path;
    bool json = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Fail(std::string("info: unknown option '") + argv[i] + "'");
        else if (path.empty())
            path = argv[i];
        else
            return Fail("info: only one FILE may be given");
    }
    if (path.empty())
        return Fail("info: no FILE given (see tessary-anim info --help)");

    CPictureHolder holder;
    std::string error;
    if (!LoadPicture(path, 0, holder, &error))
        return Fail(error);
    const CRaster& first = *holder.GetImage();
    const uint32_t format = uint32_t(holder.GetFormat());

    // The delays of an animation come from one walk over the file, which gives
    // every frame exactly as loading it on its own would.
    long frames = 1;
    std::vector<uint32_t> delays{first.GetFrameDelay()};
    if (format == FormatGif && first.GetNumFrames() > 1) {
        frames = first.GetNumFrames();
        delays.clear();
        CRasterIOFile file;
        CRasterGifCodec codec;
        if (!file.Open(path.c_str(), "rb"))
            return Fail("cannot read " + path);
        const bool ok = codec.DecodeAllFrames(&file, [&](CRaster& frame, int) {
            delays.push_back(frame.GetFrameDelay());
            return true;
        });
        if (!ok || long(delays.size()) != frames) {
            std::string why = codec.GetLastError();
            return Fail(path + ": frame " + std::to_string(delays.size()) + " of a " + std::to_string(frames) +
                        "-frame GIF cannot be read" + (why.empty() ? "" : " (" + why + ")"));
        }
    }

    if (json) {
        std::printf("{\"format\": \"%s\", \"width\": %u, \"height\": %u, \"bpp\": %u, \"frames\": %ld, \"delays\": [",
                    FormatName(format), first.GetWidth(), first.GetHeight(), first.GetBpp(), frames);
        for (size_t i = 0; i < delays.size(); ++i)
            std::printf("%s%u", i ? ", " : "", delays[i]);
        std::printf("], \"transparent_index\": %ld}\n", first.GetTransIndex());
    } else {
        std::printf("format: %s\nwidth: %u\nheight: %u\nbpp: %u\nframes: %ld\ndelays:", FormatName(format),
                    first.GetWidth(), first.GetHeight(), first.GetBpp(), frames);
        for (uint32_t d : delays)
            std::printf(" %u", d);
        std::printf("\ntransparent index: %ld\n", first.GetTransIndex());
    }
    return 0;
}
