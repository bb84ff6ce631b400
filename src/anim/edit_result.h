// What the picture editor and the animation editor do with the animation when
// the user presses Next, as functions of the models alone: the pages call them
// with their own state, and the batch tool runs the same steps without a window.
#pragma once

#include <cstdint>
#include <string>

#include "raster_types.h"

class CAnimDoc;
class CEditPicture;
class CPreviewPicture;
class CRaster;
struct GifWriteOptions;

// The picture editor's edit of its picture, as its page keeps it.
struct PictureEdit {
    bool bFitAll = false;       // the whole picture fitted on black, else the selection cut out
    bool bApplyAll = false;     // the user asked for the edit on every frame
    bool bNotMirrored = true;   // false after an odd number of mirrorings
    int32_t nQuarterTurns = 0;  // quarter turns to the right since the picture was loaded
    double dLightness = 0.0;    // the lightness amount, -1.0 to 1.0
    int32_t nTargetWidth = 128; // size of the result picture
    int32_t nTargetHeight = 128;
    RECT rcSelection{0, 0, 0, 0}; // the selection, page coordinates
};

// Bookkeeping of the editor's turn buttons: what the shown picture is, relative
// to the picture as loaded, after one more press of each button.
void RecordRotateLeft(PictureEdit& edit);
void RecordRotateRight(PictureEdit& edit);
void RecordMirror(PictureEdit& edit);
void RecordFlip(PictureEdit& edit);

// The lightness amount for a position of the editor's slider (-60 to 60).
double LightnessFromSlider(const char* value);

// The result of the edit: the selection cut out of `picture` or the whole of it
// fitted, at the target size, with the lightness applied. With route 0 the
// target size first becomes imageSize x imageSize. Null when nothing can be cut
// out. With a `target`, the target takes the result (its old picture is
// deleted) and the returned pointer belongs to it; without one, to the caller.
CRaster* BuildResult(CEditPicture& picture, PictureEdit& edit, int32_t route, int32_t imageSize,
                     CPreviewPicture* target);

// The picture editor's Next: puts the result into the document as the route
// says (0: every frame re-edited, 1: inserted at currentFrame, with one more
// frame for every further frame of an animated insertion file, 2: replaces
// frame currentFrame), and repeats the edit on the other frames for route 0 or
// when the user asked for it. False when nothing can be cut out of the picture
// (the page then says "Can't extract!"); the document is then unchanged.
bool CommitPictureEdit(CAnimDoc& doc, CEditPicture& picture, PictureEdit& edit, int32_t route, int32_t imageSize,
                       int32_t& currentFrame, const std::string& insertPath);

// The temporary animation file of the animation called `animName`: the
// installation folder's "temp/" sub-folder, the name made safe as a file name
// ('/', '\', '*', '?', '[', ']', ':', '"', '<', '>', '|' and control characters
// become '_'), and ".gif". A missing final '/' of the folder is added.
std::string TemporaryGifPath(const std::string& installationPath, const std::string& animName);

// The animation editor's Next: writes the animation to `path` and measures it.
enum class AnimationCheck {
    Fits,       // written, and smaller than the limit
    SaveFailed, // the file could not be written
    TooBig,     // written, but not smaller than the limit; the file is left for the caller to delete
};
// `options` chooses the writer's coder and frame differencing (null: the defaults).
AnimationCheck SaveAndCheckAnimation(CAnimDoc& doc, const std::string& path, int64_t maxBytes,
                                     int64_t* fileBytes, const GifWriteOptions* options = nullptr);
