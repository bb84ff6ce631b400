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

// The lightness amount for a position of the editor's slider (-60 to 60): the
// leading decimal integer of `value` (spaces and a sign allowed, anything after
// the digits ignored, 0 when there is none) divided by 60. A number beyond the
// range of a 32-bit integer counts as the nearest end of that range.
double LightnessFromSlider(const char* value);

// The animation's name for a source file: the file name without its folder
// ('/' or '\\') and without its extension (from the last dot), cut to at most
// 12 characters (UTF-8 characters, never a split one).
std::string AnimationNameFromPath(const std::string& path);
// The file name of `path`: what follows its last '/' or '\\'.
std::string FileNameOfPath(const std::string& path);

// The result of the edit: the selection cut out of `picture` or the whole of it
// fitted, at the target size, with the lightness applied. With route 0 the
// target size first becomes imageSize x imageSize. Null when nothing can be cut
// out. With a `target`, the target takes the result (its old picture is
// deleted) and the returned pointer belongs to it; without one, to the caller.
CRaster* BuildResult(CEditPicture& picture, PictureEdit& edit, int32_t route, int32_t imageSize,
                     CPreviewPicture* target);

// What the picture editor's Next did with an insertion (route 1).
struct InsertReport {
    int32_t nInserted = 0; // frames put into the animation
    int32_t nLeftOut = 0;  // pictures of the insertion that found the animation full
};

// The picture editor's Next: puts the result into the document as the route
// says (0: every frame re-edited, 1: inserted at currentFrame, with one more
// frame for every further frame of an animated insertion file, turned and
// mirrored like the first, 2: replaces frame currentFrame), and repeats the
// edit on the other frames for route 0 or when the user asked for it; the
// frames this Next inserted already carry the edit and are left alone.
//
// An insertion stops when the animation is full (CAnimDoc::kMaxFrames) or a
// further frame cannot be loaded (the loader has said why); currentFrame then
// names the last frame really inserted and `report` counts what was inserted
// and what was left out for want of room.
//
// False when nothing can be cut out of the picture (the page then says
// "Can't extract!"); the document is then unchanged.
bool CommitPictureEdit(CAnimDoc& doc, CEditPicture& picture, PictureEdit& edit, int32_t route, int32_t imageSize,
                       int32_t& currentFrame, const std::string& insertPath, InsertReport* report = nullptr);

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
