// CRasterGifCodec: reads GIF87a/GIF89a files (still or animated) and writes
// animated GIF89a files.
//
// The codec is itself a picture (type 2, FormatGif): a decode builds the
// wanted frame inside the codec, and the caller moves it into its own picture
// with Transfer only when the decode succeeded.
//
// Reading one frame: set the frame field (SetFrame(k)) and call Decode. Every
// decode counts the frames of the file, then draws frames 0 to k on a picture
// of the logical screen's size, each after the previous one's disposal, so the
// result is frame k as a viewer shows it. The number of frames is set even
// when the decode fails, for example when k is out of range.
//
// A delivered frame keeps the palette of its own colour table when everything
// it shows can be given an index in it (unused entries take the colours that
// earlier frames left on the screen), and is a 24-bit picture otherwise. Where
// the frame shows nothing (no frame has drawn there yet, or the area was
// disposed of to the background) the picture has its transparent index or, in
// 24 bits, its transparent colour.
//
// Reading every frame: DecodeAllFrames walks the file once and hands over,
// for every k, the very picture that Decode with frame field k would give
// (header, palette, pixels, info block). Loading k = 0, 1, 2, ... one decode
// at a time costs a quadratic number of frame decodes; DecodeAllFrames costs
// one per frame.
//
// Writing: Encode writes an array of indexed pictures as one animated GIF
// (gif_writer.cpp). By default the image data come from a run-length coder
// that emits a valid LZW code stream without an LZW dictionary; its bytes
// never change. GifWriteOptions choose a real LZW coder instead, and frame
// differencing, which stores each later frame as the rectangle that changed.
// Every write to the stream is checked: a full disk or a file-size limit
// makes Encode fail with a text.
//
// Failures are reported by a false result and GetLastError(). A bad
// signature, a frame out of range and a cancelled decode leave the text empty.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "raster.h"
#include "raster_file.h"

// How the writer compresses. Whatever is chosen, every decoder shows the
// same pixels, delays and frame count.
struct GifWriteOptions {
    // A real LZW coder (dictionary, code widths up to 12 bits, a clear code
    // when the table is full) instead of the run coder. With it, a frame whose
    // colour table equals the global one does not repeat it.
    bool bLzw = false;
    // Every frame after the first stores only the rectangle that changed,
    // unchanged pixels inside it made transparent where that is smaller, with
    // "do not dispose" in every control block. Applies when the writer's
    // disposal method is 0 or 1 and every frame lies on the first frame's screen.
    bool bDifferencing = false;
};

// The writer's LZW coder on its own: the image data for `count` indices, each
// below 2^codeSize (codeSize 2 to 8), as sub-blocks with their terminator.
std::vector<uint8_t> GifLzwImageData(const uint8_t* indices, size_t count, int codeSize);

class CRasterGifCodec : public CRaster {
public:
    CRasterGifCodec();
    ~CRasterGifCodec() override;
    CRasterGifCodec(const CRasterGifCodec&) = delete;
    CRasterGifCodec& operator=(const CRasterGifCodec&) = delete;

    // Decodes the frame named by the frame field (GetFrame) from the stream's
    // current position into this picture. Resets the codec's decoding state
    // first, so one codec can decode several files in turn.
    bool Decode(CRasterFile* in);

    // Receives frame `index` of the file. The picture may be taken over with
    // Transfer. Return false to stop the walk early.
    using FrameHandler = std::function<bool(CRaster& frame, int index)>;

    // Decodes every frame of the file in one walk. onFrame receives frame k for
    // k = 0, 1, ... exactly as Decode with frame field k would deliver it.
    // Returns true when every frame was handed over or onFrame stopped the walk.
    // Returns false at the first frame k for which Decode would fail:
    // GetFailedFrame() is then k, and GetLastError() and GetNumFrames() are what
    // that Decode leaves (a file without frames fails at k = 0).
    bool DecodeAllFrames(CRasterFile* in, const FrameHandler& onFrame);
    // The frame at which the last DecodeAllFrames failed, -1 when it did not.
    int GetFailedFrame() const { return m_nFailedFrame; }

    // Writes frames[0] to frames[count-1] (indexed pictures) as one animated
    // GIF89a file with this codec's loop count, disposal method, comment and
    // write options. A failed write of the stream (or of its final flush)
    // makes it return false with "Write error"; the stream then holds a
    // partial file, which the caller removes.
    bool Encode(CRasterFile* out, CRaster** frames, int count);
    const GifWriteOptions& GetWriteOptions() const { return m_writeOptions; }
    void SetWriteOptions(const GifWriteOptions& options) { m_writeOptions = options; }

    // Writer settings; a decode also fills them from the file it reads.
    int GetLoops() const { return m_nLoops; }
    void SetLoops(int loops) { m_nLoops = loops; }
    int GetDisposalMethod() const { return m_nDispose; }
    void SetDisposalMethod(int method) { m_nDispose = method; }
    const char* GetComment() const { return m_szComment; }
    // Keeps at most 255 bytes of the text.
    void SetComment(const char* text);

    // Also cancel when *flag becomes non-zero (the caller's own escape field,
    // which another thread may set while the decode runs).
    void WatchEscape(const int32_t* flag) { m_pWatchedEscape = flag; }

    // LZW codes of the last decode that pointed past the next free table slot.
    int GetBadCodeCount() const { return m_nBadCodes; }

private:
    struct ReadState;
    struct DecodeState;
    enum class Walk { Delivered, Ended, Failed };

    bool Run(CRasterFile* in, const FrameHandler* onFrame);
    void ResetDecoding();
    int CountFrames();
    bool ReadExtension();
    bool SkipSubBlocks();
    bool SkipImageData();
    Walk DecodeImage(int frameNo, long deliver, const FrameHandler* onFrame, bool* bStopped);
    class FramePainter;
    void DecodeLzw(FramePainter& painter);
    bool Deliver(bool bTrueColour);
    bool Fail(const char* text);
    bool Cancelled() const;

    // settings and values read from the file
    int m_nLoops = 0;
    int m_nDispose = 0;
    char m_szComment[256] = {};
    GifWriteOptions m_writeOptions;

    // decoding state
    std::unique_ptr<ReadState> m_read;
    std::unique_ptr<DecodeState> m_state;
    int m_nBadCodes = 0;
    int m_nFailedFrame = -1;
    const int32_t* m_pWatchedEscape = nullptr;
};
