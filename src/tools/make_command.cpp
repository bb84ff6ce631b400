// tessary-anim make SOURCE -o OUT.gif [options]
//
// The wizard's main job without a window: the source goes through the same
// steps as in the wizard's open path (loading rules, the animation document,
// the picture editor's edit of frame 0 repeated on every frame, the GIF writer
// and the animation editor's size check).
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "anim_doc.h"
#include "edit_picture.h"
#include "edit_result.h"
#include "fit_animation.h"
#include "gif_codec.h"
#include "messages.h"
#include "picture_holder.h"
#include "progress_bar.h"
#include "registry_store.h"
#include "selection_tool.h"
#include "settings_defaults.h"
#include "tool_command.h"
#include "tool_support.h"

namespace {

const char kMakeHelp[] =
    "usage: tessary-anim make SOURCE -o OUT.gif [options]\n"
    "\n"
    "Turns a picture or an animated GIF (BMP, GIF, JPEG, PNG) into a phone\n"
    "animation, as the wizard does: every frame gets the same turns, cut-out or\n"
    "fit, and lightness, and the result is written as one looping animated GIF.\n"
    "\n"
    "  -o, --output OUT.gif   where to write the animation (required)\n"
    "  --size 128|64          full screen (128 x 128, the default) or half screen\n"
    "  --fit                  the whole picture on black instead of the centred\n"
    "                         square selection\n"
    "  --select L,T,R,B       the selection in the editor's page coordinates (the\n"
    "                         picture box is at 33,109, 182 x 182)\n"
    "  --rotate-right N       turn right N times (quarter turns)\n"
    "  --rotate-left N        turn left N times\n"
    "  --mirror               swap left and right\n"
    "  --flip                 turn upside down\n"
    "                         (turns, mirroring and flipping apply in the order given)\n"
    "  --lightness V          the lightness slider, -60 to 60 (default 0)\n"
    "  --delay-limits MIN,MAX,DEFAULT\n"
    "                         frame delay limits in hundredths of a second\n"
    "                         (default: the installer's limits for the size)\n"
    "  --delay D              give every frame the delay D (hundredths of a second,\n"
    "                         0 for the default), kept within the limits\n"
    "  --max-bytes N          refuse an animation of N bytes or more (exit 2; no\n"
    "                         output is written); 0 turns the check off. By\n"
    "                         default the phone's limit: AnimMaxSize from the\n"
    "                         settings store, else the installer's default\n"
    "  --fit-bytes N          make the animation fit strictly under N bytes,\n"
    "                         changing as little as possible: nothing when it\n"
    "                         fits; else the LZW coder, then frame differencing;\n"
    "                         then fewer colours (down to 16), then fewer frames\n"
    "                         (dropped evenly, their time given to the frame\n"
    "                         before). Says what it did on stderr; exit 2 when\n"
    "                         even one frame in 16 colours is too big\n"
    "  --lang CODE            language of the messages (EN, FR, DE, SP, IT, PT,\n"
    "                         NL, PL, CZ, RU, CHS, CHT; default EN)\n"
    "\n"
    "Progress is drawn on a terminal, nothing when the output is piped.\n";

const char kWizardsKey[] = "SOFTWARE\\Quenlor\\Tessary\\Customization Wizards";

const char kMakeExitHelp[] = "\nExit status: 0 written, 1 bad source or failure, 2 too big for the phone.\n";

// Where the picture editor shows its picture box on its page.
constexpr int32_t kPictureBoxX = 33;
constexpr int32_t kPictureBoxY = 109;

enum class TurnOp { RotateRight, RotateLeft, Mirror, Flip };

struct MakeOptions {
    std::string source;
    std::string output;
    int32_t imageSize = 128;
    bool bFit = false;
    bool bHaveSelection = false;
    RECT selection{0, 0, 0, 0};
    std::vector<TurnOp> turns;
    long lightness = 0;
    bool bHaveDelayLimits = false; // else the installer's limits for the size
    uint32_t minDelay = 0;
    uint32_t maxDelay = 0;
    uint32_t defaultDelay = 0;
    bool bHaveDelay = false;
    uint32_t delay = 0;
    bool bHaveMaxBytes = false; // else the phone's limit from the settings
    int64_t maxBytes = INT64_MAX;
    int64_t fitBytes = 0; // 0: no fitting
    std::string lang = "EN";
    GifWriteOptions gifOptions;
};

bool ParseUnsigned(const std::string& text, uint32_t* value)
{
    long v = 0;
    if (!ParseLong(text, &v) || v < 0 || v > long(UINT32_MAX))
        return false;
    *value = uint32_t(v);
    return true;
}

// Parses the arguments; returns -1 when they are good, else the exit code.
int ParseMakeArguments(int argc, char** argv, MakeOptions* o)
{
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        long n = 0;
        std::vector<long> list;
        if (ParseGifWriteOption(arg, &o->gifOptions)) {
            continue;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(&o->output))
                return Fail("make: " + arg + " needs a file name");
        } else if (arg == "--size") {
            if (!value(&v) || !ParseLong(v, &n) || (n != 128 && n != 64))
                return Fail("make: --size must be 128 or 64");
            o->imageSize = int32_t(n);
        } else if (arg == "--fit") {
            o->bFit = true;
        } else if (arg == "--select") {
            if (!value(&v) || !ParseLongList(v, ',', &list) || list.size() != 4)
                return Fail("make: --select needs L,T,R,B");
            o->selection = RECT{int32_t(list[0]), int32_t(list[1]), int32_t(list[2]), int32_t(list[3])};
            o->bHaveSelection = true;
        } else if (arg == "--rotate-right" || arg == "--rotate-left") {
            if (!value(&v) || !ParseLong(v, &n) || n < 0 || n > 1000)
                return Fail("make: " + arg + " needs a count from 0 to 1000");
            o->turns.insert(o->turns.end(), size_t(n),
                            arg == "--rotate-right" ? TurnOp::RotateRight : TurnOp::RotateLeft);
        } else if (arg == "--mirror") {
            o->turns.push_back(TurnOp::Mirror);
        } else if (arg == "--flip") {
            o->turns.push_back(TurnOp::Flip);
        } else if (arg == "--lightness") {
            if (!value(&v) || !ParseLong(v, &n) || n < -60 || n > 60)
                return Fail("make: --lightness must be from -60 to 60");
            o->lightness = n;
        } else if (arg == "--delay-limits") {
            if (!value(&v) || !ParseLongList(v, ',', &list) || list.size() != 3 || list[0] < 0 || list[1] < 0 ||
                list[2] < 0 || list[0] > 65535 || list[1] > 65535 || list[2] > 65535)
                return Fail("make: --delay-limits needs MIN,MAX,DEFAULT from 0 to 65535");
            o->minDelay = uint32_t(list[0]);
            o->maxDelay = uint32_t(list[1]);
            o->defaultDelay = uint32_t(list[2]);
            o->bHaveDelayLimits = true;
        } else if (arg == "--delay") {
            if (!value(&v) || !ParseUnsigned(v, &o->delay))
                return Fail("make: --delay needs a number of hundredths of a second");
            o->bHaveDelay = true;
        } else if (arg == "--max-bytes") {
            if (!value(&v) || !ParseLong(v, &n) || n < 0)
                return Fail("make: --max-bytes needs a number of bytes (0: no check)");
            o->maxBytes = n == 0 ? INT64_MAX : n;
            o->bHaveMaxBytes = true;
        } else if (arg == "--fit-bytes") {
            if (!value(&v) || !ParseLong(v, &n) || n <= 0)
                return Fail("make: --fit-bytes needs a positive number of bytes");
            o->fitBytes = n;
        } else if (arg == "--lang") {
            if (!value(&o->lang) || o->lang.empty())
                return Fail("make: --lang needs a language code");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("make: unknown option '" + arg + "' (see tessary-anim make --help)");
        } else if (o->source.empty()) {
            o->source = arg;
        } else {
            return Fail("make: only one SOURCE may be given");
        }
    }
    if (o->source.empty())
        return Fail("make: no SOURCE given (see tessary-anim make --help)");
    if (o->output.empty())
        return Fail("make: no output given (-o OUT.gif)");
    // Refused before any work: the animation is GIF data whatever the name says.
    if (LowerExtension(o->output) != "gif")
        return Fail("make: '" + o->output + "': the output must end in .gif");
    if (o->fitBytes > 0 && o->bHaveMaxBytes)
        return Fail("make: --fit-bytes sets the limit itself; leave out --max-bytes");
    if (!o->bHaveDelayLimits) {
        const DelayLimits limits = DefaultDelayLimits(o->imageSize);
        o->minDelay = limits.minDelay;
        o->maxDelay = limits.maxDelay;
        o->defaultDelay = limits.defaultDelay;
    }
    return -1;
}

// A fresh empty file beside `path`, to be renamed over it once complete.
bool MakeTempPath(const std::string& path, std::string* tempPath, std::string* error)
{
    const int fd = CreateTempBeside(path, tempPath, error);
    if (fd < 0)
        return false;
    // The new file is readable by its owner only; give it the usual rights.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return true;
}

bool FlushToDisk(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

// The phone's limit as the wizard reads it: "AnimMaxSize" of the settings
// store, or the installer's default when there is no store (or no such value
// in it). A store value of 0 turns the check off, as --max-bytes 0 does.
int64_t PhoneSizeLimit()
{
    std::string bytes;
    const long status = platform::RegistryQueryValue(kWizardsKey, "AnimMaxSize", 4, bytes);
    int64_t limit = DefaultAnimMaxSize();
    if (status == platform::kRegOk && bytes.size() == 4) {
        limit = int64_t(uint8_t(bytes[0])) | int64_t(uint8_t(bytes[1])) << 8 | int64_t(uint8_t(bytes[2])) << 16 |
                int64_t(uint8_t(bytes[3])) << 24;
    } else if (status != platform::kRegNotFound) {
        Warn("AnimMaxSize cannot be read from the settings store " + platform::RegistryStorePath() + " (status " +
             std::to_string(status == platform::kRegOk ? platform::kRegInvalidData : status) + "); using " +
             std::to_string(limit) + " bytes");
    }
    return limit == 0 ? INT64_MAX : limit;
}

// Writes the bytes of a fitted animation as SaveAndCheckAnimation writes and
// measures a document.
AnimationCheck WriteFitted(const std::vector<uint8_t>& bytes, const std::string& path, int64_t maxBytes,
                           int64_t* length)
{
    FILE* stream = std::fopen(path.c_str(), "wb");
    if (!stream)
        return AnimationCheck::SaveFailed;
    const bool bWritten = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    if (std::fclose(stream) != 0 || !bWritten)
        return AnimationCheck::SaveFailed;
    *length = int64_t(bytes.size());
    return *length < maxBytes ? AnimationCheck::Fits : AnimationCheck::TooBig;
}

void ApplyTurn(TurnOp op, CEditPicture& picture, PictureEdit& edit)
{
    switch (op) {
    case TurnOp::RotateRight:
        RecordRotateRight(edit);
        picture.RotateRight();
        break;
    case TurnOp::RotateLeft:
        RecordRotateLeft(edit);
        picture.RotateLeft();
        break;
    case TurnOp::Mirror:
        RecordMirror(edit);
        picture.Mirror();
        break;
    case TurnOp::Flip:
        RecordFlip(edit);
        picture.Flip();
        break;
    }
}

// The bar of a make: reading the frames takes the first 45 %, editing them
// the next 50 %, and fitting and writing the rest.
class MakeProgress : public CAnimDoc::FrameProgress {
public:
    void FramesDone(CAnimDoc::FrameWork work, int32_t done, int32_t total) override
    {
        const bool reading = work == CAnimDoc::FrameWork::Reading;
        const int64_t start = reading ? 0 : 45;
        const int64_t span = reading ? 45 : 50;
        const int64_t step = total > 0 ? start * total + span * std::min(done, total) : start;
        m_bar.Percent(static_cast<int>(total > 0 ? step / total : step),
                      std::string(reading ? "reading" : "editing") + " frame " + std::to_string(done) + " of " +
                          std::to_string(total));
    }
    void Writing(const std::string& what) { m_bar.Percent(95, what); }
    void Done(int32_t frames) { m_bar.Percent(100, std::to_string(frames) + " frames"); }
    void Finish() { m_bar.Finish(); }

private:
    CProgressBar m_bar;
};

} // namespace

int RunMakeCommand(int argc, char** argv)
{
    if (WantsHelp(argc, argv)) {
        std::fputs(kMakeHelp, stdout);
        std::fputs(kGifWriteOptionsHelp, stdout);
        std::fputs(kMakeExitHelp, stdout);
        return 0;
    }
    MakeOptions o;
    const int bad = ParseMakeArguments(argc, argv, &o);
    if (bad >= 0)
        return bad;
    g_messages = BuildMessages(o.lang);

    // The content page: the delay limits of the screen format, the loading
    // rules, then the frames.
    CAnimDoc doc;
    doc.SetDelayLimits(o.minDelay, o.maxDelay, o.defaultDelay);
    MakeProgress progress;
    doc.SetFrameProgress(&progress);
    LoadFailure failure;
    bool bLoaded = CheckPictureFile(o.source, &failure);
    if (bLoaded) {
        CBoxCollector boxes;
        bLoaded = doc.Load(o.source, kAllowAll, 0) && doc.BuildFrames();
        if (!bLoaded)
            failure = boxes.DecodeFailure(o.source);
    }
    if (!bLoaded) {
        if (failure.kind == LoadFailure::UnknownType)
            failure.cause = g_messages.MsgFileTypeNotSupported;
        PrintError(g_messages.MsgInvalidPicture + o.source + " (" + failure.cause + ")");
        return 1;
    }
    WarnIfTruncated(o.source, doc.GetImage());

    // The picture editor: a copy of frame 0, turned as asked, shown in the
    // picture box, with the centred square selection unless one is given.
    CEditPicture picture;
    picture.m_x = kPictureBoxX;
    picture.m_y = kPictureBoxY;
    picture.SetImage(doc.CopyFrame(0));
    PictureEdit edit;
    edit.bFitAll = o.bFit;
    for (TurnOp op : o.turns)
        ApplyTurn(op, picture, edit);
    picture.ComputeDisplayRect(true);
    if (o.bHaveSelection) {
        edit.rcSelection = o.selection;
    } else {
        CSelectionTool tool;
        tool.SetAspect(1.0);
        tool.Attach(nullptr, picture.m_rcClip.left, picture.m_rcClip.top, picture.m_rcClip.right,
                    picture.m_rcClip.bottom);
        edit.rcSelection = tool.GetSelection();
    }
    edit.dLightness = LightnessFromSlider(std::to_string(o.lightness).c_str());
    int32_t currentFrame = -1;
    if (!CommitPictureEdit(doc, picture, edit, 0, o.imageSize, currentFrame, std::string())) {
        PrintError("Can't extract! No pixel of the " + std::to_string(picture.GetWidth()) + " x " +
                   std::to_string(picture.GetHeight()) +
                   " picture lies under the selection; --fit keeps the whole picture.");
        return 1;
    }

    // The animation editor: delays, then the file and its size check.
    if (o.bHaveDelay) {
        for (int32_t i = 0; i < doc.GetFrameCount(); ++i)
            doc.SetDelay(i, o.delay);
    }
    std::vector<uint8_t> fittedFile; // the fitting's own encode of the document
    if (o.fitBytes > 0) {
        progress.Writing("fitting under " + std::to_string(o.fitBytes) + " bytes");
        FitOptions fitOptions;
        fitOptions.start = o.gifOptions;
        FitResult fit = FitAnimationToSize(doc, o.fitBytes, fitOptions);
        if (fit.outcome == FitResult::Outcome::Failed)
            return Fail("make: " + DescribeFit(fit, o.fitBytes));
        if (fit.outcome == FitResult::Outcome::Impossible) {
            PrintError(FillMessage(g_messages.MsgAnimationTooBig, std::to_string(fit.bytes),
                                   std::to_string(o.fitBytes)) +
                       "\n" + DescribeFit(fit, o.fitBytes) +
                       (o.imageSize == 64 ? std::string(".") : "; --size 64 makes frames a quarter of the size."));
            return 2;
        }
        PrintError(DescribeFit(fit, o.fitBytes));
        o.gifOptions = fit.options;
        o.maxBytes = o.fitBytes;
        fittedFile = std::move(fit.file);
    } else if (!o.bHaveMaxBytes) {
        o.maxBytes = PhoneSizeLimit();
    }

    progress.Writing("writing " + o.output);
    std::string tempPath;
    std::string error;
    if (!MakeTempPath(o.output, &tempPath, &error))
        return Fail("make: " + error);
    int64_t length = 0;
    errno = 0;
    // The fitting has already encoded the document: those are the bytes
    // SaveGif would write.
    const AnimationCheck check = fittedFile.empty()
                                     ? SaveAndCheckAnimation(doc, tempPath, o.maxBytes, &length, &o.gifOptions)
                                     : WriteFitted(fittedFile, tempPath, o.maxBytes, &length);
    if (check == AnimationCheck::SaveFailed) {
        // A refused write (full disk, size limit) leaves its reason in errno.
        const int reason = errno;
        std::remove(tempPath.c_str());
        if (reason != 0)
            return Fail("make: cannot write '" + o.output + "': " + std::strerror(reason));
        PrintError(g_messages.MsgInvalidPicture + " " + o.output);
        return 1;
    }
    if (check == AnimationCheck::TooBig) {
        std::remove(tempPath.c_str());
        PrintError(FillMessage(g_messages.MsgAnimationTooBig, std::to_string(length), std::to_string(o.maxBytes)) +
                   "\nTo go on: --fit-bytes " + std::to_string(o.maxBytes) +
                   " makes it fit (fewer colours or frames), --size 64 makes a half-screen animation, and" +
                   " --max-bytes 0 writes it as it is.");
        return 2;
    }
    if (!FlushToDisk(tempPath) || std::rename(tempPath.c_str(), o.output.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(tempPath.c_str());
        return Fail("make: cannot write '" + o.output + "': " + reason);
    }
    progress.Done(doc.GetFrameCount());
    progress.Finish();
    std::printf("%s: %d frames, %ld x %ld, %lld bytes\n", o.output.c_str(), int(doc.GetFrameCount()),
                doc.GetWidth(), doc.GetHeight(), static_cast<long long>(length));
    return 0;
}
