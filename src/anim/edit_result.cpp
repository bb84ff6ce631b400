#include "edit_result.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "anim_doc.h"
#include "gif_codec.h"
#include "edit_picture.h"
#include "preview_picture.h"

namespace {

int32_t TurnsModFour(int32_t turns)
{
    return ((turns % 4) + 4) % 4;
}

} // namespace

void RecordRotateLeft(PictureEdit& edit)
{
    edit.nQuarterTurns -= 1;
}

void RecordRotateRight(PictureEdit& edit)
{
    edit.nQuarterTurns += 1;
}

// Mirroring after q right turns shows the same picture as mirroring first and
// then turning right 4 - q times; flipping is mirroring and a half turn.
void RecordMirror(PictureEdit& edit)
{
    edit.nQuarterTurns = TurnsModFour(4 - TurnsModFour(edit.nQuarterTurns));
    edit.bNotMirrored = !edit.bNotMirrored;
}

void RecordFlip(PictureEdit& edit)
{
    edit.nQuarterTurns = TurnsModFour(2 - TurnsModFour(edit.nQuarterTurns));
    edit.bNotMirrored = !edit.bNotMirrored;
}

namespace {

// The leading decimal integer of `text`, as atoi reads it, but clamped to the
// range of int32_t instead of overflowing: the movie may send any text.
int32_t SaturatingDecimal(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    // Gathered as a negative number: its range reaches INT32_MIN.
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 - (*p - '0');
        if (value < int64_t(INT32_MIN)) {
            value = int64_t(INT32_MIN) - 1; // stays beyond the range, without growing
        }
    }
    if (negative)
        return value < int64_t(INT32_MIN) ? INT32_MIN : int32_t(value);
    return -value > int64_t(INT32_MAX) ? INT32_MAX : int32_t(-value);
}

// Where the file name of a path starts: after its last '/' or '\\'.
size_t FileNameStart(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

// The turns and mirroring of the edit, applied to a freshly loaded picture so
// that it shows what the edited one shows.
void RepeatTurns(CEditPicture& picture, const PictureEdit& edit)
{
    if (!edit.bNotMirrored)
        picture.Mirror();
    for (int32_t t = 0; t < TurnsModFour(edit.nQuarterTurns); ++t)
        picture.RotateRight();
}

} // namespace

double LightnessFromSlider(const char* value)
{
    return SaturatingDecimal(value) * (1.0 / 60.0);
}

std::string FileNameOfPath(const std::string& path)
{
    return path.substr(FileNameStart(path));
}

std::string AnimationNameFromPath(const std::string& path)
{
    std::string name = FileNameOfPath(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    // At most 12 characters: cut before the 13th character's first byte.
    constexpr int kMaxCharacters = 12;
    int characters = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if ((byte & 0xC0) != 0x80 && ++characters > kMaxCharacters) {
            name.erase(i);
            break;
        }
    }
    return name;
}

CRaster* BuildResult(CEditPicture& picture, PictureEdit& edit, int32_t route, int32_t imageSize,
                     CPreviewPicture* target)
{
    if (route == 0) {
        edit.nTargetWidth = imageSize;
        edit.nTargetHeight = imageSize;
    }
    const RECT& sel = edit.rcSelection;
    CRaster* made = edit.bFitAll ? picture.FitToSize(edit.nTargetWidth, edit.nTargetHeight)
                                 : picture.CropToSize(sel.left, sel.top, sel.right, sel.bottom,
                                                      edit.nTargetWidth, edit.nTargetHeight);
    if (!made)
        return nullptr;
    ApplyLightness(made, edit.dLightness);
    if (target)
        target->SetImage(made);
    return made;
}

bool CommitPictureEdit(CAnimDoc& doc, CEditPicture& picture, PictureEdit& edit, int32_t route, int32_t imageSize,
                       int32_t& currentFrame, const std::string& insertPath, InsertReport* report)
{
    InsertReport done;
    if (report)
        *report = done;
    const long sourceFrames = picture.m_pImage ? std::max(1L, picture.m_pImage->GetNumFrames()) : 0;
    CRaster* result = BuildResult(picture, edit, route, imageSize, nullptr);
    if (!result)
        return false;

    // The frames that already carry the edit, left alone by the re-edit below.
    int32_t skipFrom = currentFrame;
    int32_t skipCount = 1;
    if (route == 2) {
        doc.ReplaceFrame(currentFrame, result);
    } else if (route == 1) {
        // InsertFrame deletes what it cannot place; the count tells whether it did.
        auto insert = [&doc](int32_t index, CRaster* frame) {
            const int32_t before = doc.GetFrameCount();
            doc.InsertFrame(index, frame);
            return doc.GetFrameCount() > before;
        };
        const int32_t first = currentFrame;
        bool bFull = doc.GetFrameCount() >= CAnimDoc::kMaxFrames;
        if (insert(first, result)) {
            done.nInserted = 1;
            // Further frames of an animated file are loaded as the file has
            // them: they get the turns and mirroring of the first before the
            // same cut-out or fit (the display rectangle of the first frame
            // holds for them too) and lightness.
            for (long i = 1; i < sourceFrames; ++i) {
                if (doc.GetFrameCount() >= CAnimDoc::kMaxFrames) {
                    bFull = true;
                    break;
                }
                if (!picture.Load(insertPath, kAllowAll, i))
                    break;
                RepeatTurns(picture, edit);
                CRaster* further = BuildResult(picture, edit, route, imageSize, nullptr);
                if (!further || !insert(first + done.nInserted, further))
                    break;
                ++done.nInserted;
            }
            currentFrame = first + done.nInserted - 1;
        }
        if (bFull)
            done.nLeftOut = int32_t(sourceFrames - done.nInserted);
        skipFrom = first;
        skipCount = done.nInserted;
    } else {
        // Every frame, the first included, is re-edited below from the document.
        delete result;
    }

    if (route == 0 || edit.bApplyAll) {
        const RECT& sel = edit.rcSelection;
        const RECT& shown = picture.m_rcDisplay;
        doc.ApplyEditToOthers(skipFrom, edit.bFitAll, edit.nTargetWidth, edit.nTargetHeight, edit.bNotMirrored,
                              edit.nQuarterTurns, edit.dLightness, sel.left, sel.top, sel.right, sel.bottom,
                              shown.left, shown.top, shown.right, shown.bottom, skipCount);
    }
    if (report)
        *report = done;
    return true;
}

AnimationCheck SaveAndCheckAnimation(CAnimDoc& doc, const std::string& path, int64_t maxBytes,
                                     int64_t* fileBytes, const GifWriteOptions* options)
{
    if (fileBytes)
        *fileBytes = 0;
    if (!(options ? doc.SaveGif(path, *options) : doc.SaveGif(path)))
        return AnimationCheck::SaveFailed;
    FILE* stream = std::fopen(path.c_str(), "rb");
    if (!stream)
        return AnimationCheck::SaveFailed;
    int64_t length = -1;
    if (std::fseek(stream, 0, SEEK_END) == 0)
        length = std::ftell(stream);
    std::fclose(stream);
    if (length < 0)
        return AnimationCheck::SaveFailed;
    if (fileBytes)
        *fileBytes = length;
    return length < maxBytes ? AnimationCheck::Fits : AnimationCheck::TooBig;
}

std::string TemporaryGifPath(const std::string& installationPath, const std::string& animName)
{
    std::string folder = installationPath;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    std::string name = animName;
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || std::string_view("/\\*?[]:\"<>|").find(c) != std::string_view::npos)
            c = '_';
    }
    return folder + "temp/" + name + ".gif";
}
