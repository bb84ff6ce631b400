#include "edit_result.h"

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

double LightnessFromSlider(const char* value)
{
    return std::atoi(value ? value : "0") * (1.0 / 60.0);
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
                       int32_t& currentFrame, const std::string& insertPath)
{
    const long sourceFrames = picture.m_pImage ? picture.m_pImage->GetNumFrames() : 0;
    CRaster* result = BuildResult(picture, edit, route, imageSize, nullptr);
    if (!result)
        return false;

    if (route == 2) {
        doc.ReplaceFrame(currentFrame, result);
    } else if (route == 1) {
        doc.InsertFrame(currentFrame, result);
        // Further frames of an animated file get the same cut-out or fit and
        // lightness; they are loaded as they are, without the turns.
        for (long i = 1; i < sourceFrames; ++i) {
            if (!picture.Load(insertPath, kAllowAll, i))
                break;
            CRaster* further = BuildResult(picture, edit, route, imageSize, nullptr);
            if (!further)
                break;
            ++currentFrame;
            doc.InsertFrame(currentFrame, further);
        }
    } else {
        // Every frame, the first included, is re-edited below from the document.
        delete result;
    }

    if (route == 0 || edit.bApplyAll) {
        const RECT& sel = edit.rcSelection;
        const RECT& shown = picture.m_rcDisplay;
        doc.ApplyEditToOthers(currentFrame, edit.bFitAll, edit.nTargetWidth, edit.nTargetHeight, edit.bNotMirrored,
                              edit.nQuarterTurns, edit.dLightness, sel.left, sel.top, sel.right, sel.bottom,
                              shown.left, shown.top, shown.right, shown.bottom);
    }
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
