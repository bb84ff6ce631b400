// tessary-anim gif OUT.gif FILE... [--delay D] [--lzw|--optimize]
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gif_codec.h"
#include "picture_holder.h"
#include "tool_command.h"
#include "tool_support.h"

namespace {

const char kGifHelp[] =
    "usage: tessary-anim gif OUT.gif FILE... [--delay D] [--lzw|--optimize]\n"
    "\n"
    "Writes the pictures, in the order given, as one animated GIF that loops for\n"
    "ever. Each picture is loaded as the wizard loads it (frame 0 of an animation)\n"
    "and made a 256-colour frame; the first picture sets the animation's size and\n"
    "no later picture may be wider or taller.\n"
    "\n"
    "  --delay D   every frame's display time in hundredths of a second (0 to\n"
    "              65535); without it each picture keeps its own delay, and\n"
    "              pictures that have none get 10\n";

constexpr uint32_t kDefaultDelay = 10;

} // namespace

int RunGifCommand(int argc, char** argv)
{
    if (WantsHelp(argc, argv)) {
        std::fputs(kGifHelp, stdout);
        std::fputs(kGifWriteOptionsHelp, stdout);
        return 0;
    }
    std::string out;
    std::vector<std::string> inputs;
    long delay = -1;
    GifWriteOptions gifOptions;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (ParseGifWriteOption(arg, &gifOptions)) {
            continue;
        } else if (arg == "--delay") {
            if (i + 1 >= argc || !ParseLong(argv[i + 1], &delay) || delay < 0 || delay > 65535)
                return Fail("gif: --delay needs a number of hundredths of a second from 0 to 65535");
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("gif: unknown option '" + arg + "'");
        } else if (out.empty()) {
            out = arg;
        } else {
            inputs.push_back(arg);
        }
    }
    if (out.empty())
        return Fail("gif: no output given (see tessary-anim gif --help)");
    if (LowerExtension(out) != "gif")
        return Fail("gif: '" + out + "': the output must end in .gif");
    if (inputs.empty())
        return Fail("gif: no pictures given");
    if (inputs.size() > 256)
        return Fail("gif: an animation holds at most 256 pictures");

    std::vector<std::unique_ptr<CPictureHolder>> holders;
    std::vector<CRaster*> frames;
    std::string error;
    for (const std::string& path : inputs) {
        auto holder = std::make_unique<CPictureHolder>();
        if (!LoadPicture(path, 0, *holder, &error))
            return Fail(error);
        CRaster& picture = *holder->GetImage();
        // The first picture is the animation's screen; a frame must fit on it.
        if (!frames.empty() && (picture.GetWidth() > frames[0]->GetWidth() ||
                                picture.GetHeight() > frames[0]->GetHeight()))
            return Fail("gif: '" + path + "' is " + std::to_string(picture.GetWidth()) + " x " +
                        std::to_string(picture.GetHeight()) + ", larger than the first picture (" +
                        std::to_string(frames[0]->GetWidth()) + " x " + std::to_string(frames[0]->GetHeight()) +
                        ")");
        if (!PrepareGifFrame(picture))
            return Fail("gif: '" + path + "' cannot be made a GIF frame");
        if (delay >= 0)
            picture.SetFrameDelay(uint32_t(delay));
        else if (picture.GetFrameDelay() == 0)
            picture.SetFrameDelay(kDefaultDelay);
        frames.push_back(&picture);
        holders.push_back(std::move(holder));
    }
    if (!WriteGifFile(frames.data(), int(frames.size()), out, gifOptions, &error))
        return Fail(error);
    return 0;
}
