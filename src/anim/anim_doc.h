// CAnimDoc: the animation the wizard builds, up to 256 frames, each a CRaster
// carrying its own delay in hundredths of a second, plus the delay limits of
// the chosen screen format.
//
// The holder part (Load, SetImage, m_pImage) keeps the source file as loaded;
// BuildFrames turns it into the frames. The holder's surface (SetSurface) is the
// drawing surface of the page that shows the frames, m_x and m_y the position
// of the playback preview on it.
#pragma once

#include <cstdint>
#include <string>

#include "picture_holder.h"

class CRasterFile;
struct GifWriteOptions;

// Writes `count` frames as the wizard's animated GIF to `out`: looping for
// ever, no disposal, no comment, with the coder `options` choose. This is the one place that decides how the
// animation is encoded; the file SaveGif writes and the size the editor
// shows both come from it. The frames' frame number, frame count and format
// tag are rewritten on the way. False when the writer refuses the frames.
bool EncodeAnimationGif(CRasterFile* out, CRaster** frames, int32_t count, const GifWriteOptions& options);

class CAnimDoc : public CPictureHolder {
public:
    static constexpr int32_t kMaxFrames = 256;
    // What GetDelay answers for a frame that does not exist.
    static constexpr uint32_t kNoDelay = 0xFFFFFFFFu;

    // How BuildFrames reads an animated GIF: in one pass over the file, or by
    // loading the file once for every frame (each load decodes all the frames
    // before it again). Both give the same frames.
    enum class GifReading { OnePass, FrameByFrame };

    CAnimDoc();
    ~CAnimDoc() override;

    // Width and height of frame 0; 0 when there is no frame.
    long GetWidth() const override;
    long GetHeight() const override;

    int32_t GetFrameCount() const { return m_nFrames; }
    // The frame at `index`, owned by the document; null outside 0..count-1.
    CRaster* GetFrame(int32_t index) const;

    uint32_t GetDelay(int32_t index) const;
    void SetDelay(int32_t index, uint32_t delay);
    void SetDelayLimits(uint32_t minDelay, uint32_t maxDelay, uint32_t defaultDelay);
    uint32_t GetMinDelay() const { return m_nMinDelay; }
    uint32_t GetMaxDelay() const { return m_nMaxDelay; }
    uint32_t GetDefaultDelay() const { return m_nDefaultDelay; }

    // Replaces all frames by 8-bit frames built from the file last loaded with
    // Load. False, with no frames, when the source gives no frame.
    bool BuildFrames(GifReading reading = GifReading::OnePass);

    // Opens (+1) or closes (-1, deleting the frame there) a gap at `index`.
    void ShiftFrames(int32_t index, int32_t count);
    // Inserts `picture` before frame `index` (appends when index is the count),
    // converted to frame 0's depth and palette. The document takes ownership in
    // every case: a picture that cannot be inserted (bad index, 256 frames
    // already) is deleted.
    void InsertFrame(int32_t index, CRaster* picture);
    // Puts `picture` in place of frame `index`, which is deleted. Ownership
    // passes; a picture for an index out of range is deleted.
    void ReplaceFrame(int32_t index, CRaster* picture);
    // Removes frame `index`; the last remaining frame is never removed.
    void DeleteFrame(int32_t index);
    void SwapFrames(int32_t a, int32_t b);
    // A full copy of frame `index` (pixels, selection, alpha); the caller owns
    // it. Null outside 0..count-1.
    CRaster* CopyFrame(int32_t index) const;

    // Writes all frames as one looping animated GIF. False when the file cannot
    // be written or the writer refuses the frames; no partial file is left.
    bool SaveGif(const std::string& path);
    // The same with the writer's options (coder, frame differencing).
    bool SaveGif(const std::string& path, const GifWriteOptions& options);
    // The same file written to a stream (memory, or a counter of bytes).
    bool SaveGif(CRasterFile* out, const GifWriteOptions& options);

    // Draws a frame on the owner's surface with its top-left corner at (x, y),
    // stretched to size x size, or at its own size when size is 0. Returns the
    // drawing result, 0 when nothing was drawn.
    long DrawFrame(int32_t index, int32_t x, int32_t y, int32_t size) const;
    long DrawFrameAtPreview(int32_t index) const;

    // Repeats the picture editor's edit on every frame except `skipCount`
    // frames from `skipIndex` on (-1 skips none): mirrored when `notMirrored` is
    // false, turned right `quarterTurns` times, then the selection cut out (fit
    // false) or the whole frame fitted (fit true) at width x height, then
    // lightened. The selection and display rectangles are those of the edited
    // picture, in page coordinates. The editor skips more than one frame when
    // its Next inserted several: they already carry the edit.
    void ApplyEditToOthers(int32_t skipIndex, bool fit, int32_t width, int32_t height, bool notMirrored,
                           int32_t quarterTurns, double lightness, int32_t selLeft, int32_t selTop,
                           int32_t selRight, int32_t selBottom, int32_t displayLeft, int32_t displayTop,
                           int32_t displayRight, int32_t displayBottom, int32_t skipCount = 1);

    // Told how far the long work on all frames has come: BuildFrames reports
    // every frame it has read, ApplyEditToOthers every frame it has been
    // through, as `done` of `total`. The batch tool draws its progress bar from it.
    enum class FrameWork { Reading, Editing };
    class FrameProgress {
    public:
        virtual ~FrameProgress() = default;
        virtual void FramesDone(FrameWork work, int32_t done, int32_t total) = 0;
    };
    // Null: nobody is told. The listener must outlive the work it hears of.
    void SetFrameProgress(FrameProgress* progress) { m_pFrameProgress = progress; }

    int32_t m_nFrames = 0;
    uint32_t m_nMinDelay = 0;
    uint32_t m_nMaxDelay = 0;
    uint32_t m_nDefaultDelay = 0;
    CRaster* m_frames[kMaxFrames];

private:
    void DeleteAllFrames();
    // Turns one decoded source frame into a document frame and stores it in the
    // next slot, with its delay brought within the limits.
    void AddBuiltFrame(CRaster* frame, uint32_t delay, int32_t frameCount);
    bool BuildGifFramesOnePass(int32_t frameCount);
    bool BuildGifFramesFrameByFrame(int32_t frameCount);
    void ReportFrames(FrameWork work, int32_t done, int32_t total) const;

    FrameProgress* m_pFrameProgress = nullptr;
};

// The document and the globals that the pages share around it.
extern CAnimDoc g_animDoc;
extern int32_t g_nCurrentFrame;     // frame selected in the animation editor; -1 while an edit applies to all
extern std::string g_strSourcePath; // file loaded as the animation
extern std::string g_strInsertPath; // file chosen for insertion
extern std::string g_tempGifPath;   // temporary animated GIF written by the animation editor
extern std::string g_strAnimName;   // base name of the animation
