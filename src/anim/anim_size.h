// How big the animation file is, without writing it: the animation editor's
// size meter against the phone's limit. The bytes come from the same encoder
// that writes the file (EncodeAnimationGif), sent to a counter that keeps
// nothing, so the meter and the written file always agree.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gif_codec.h"
#include "raster.h"
#include "raster_file.h"

class CAnimDoc;

// A byte stream that only counts what is written to it. Reads find nothing.
class CRasterByteCounter : public CRasterFile {
public:
    bool Close() override { return true; }
    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool PutC(unsigned char) override;
    bool Seek(long offset, int origin) override;
    long Tell() override { return long(m_position); }
    long Size() override { return long(m_size); }
    bool Flush() override { return true; }
    bool Eof() override { return m_position >= m_size; }
    long Error() override { return 0; }
    long GetC() override { return -1; }

    uint64_t Bytes() const { return m_size; }

private:
    uint64_t m_position = 0;
    uint64_t m_size = 0;
};

// Bytes of the animated GIF that the frames would make with the coder `options`
// choose; -1 when the writer refuses them (no frames, a frame that is not indexed).
int64_t AnimationFileBytes(CRaster** frames, int32_t count, const GifWriteOptions& options = {});
int64_t AnimationFileBytes(CAnimDoc& doc, const GifWriteOptions& options = {});

// A private copy of the document's frames, to be measured away from the
// document (on another thread) while the user goes on changing it.
class CAnimSnapshot {
public:
    // Copies every frame (pixels only). Null when the document has no frames
    // or its pixels exceed `maxPixelBytes`, so a copy never holds more memory
    // than the caller allows.
    static std::unique_ptr<CAnimSnapshot> Take(const CAnimDoc& doc, uint64_t maxPixelBytes);

    int32_t FrameCount() const { return int32_t(m_frames.size()); }
    // AnimationFileBytes of the copied frames.
    int64_t FileBytes(const GifWriteOptions& options = {});

private:
    std::vector<std::unique_ptr<CRaster>> m_frames;
};

// What the meter shows for a file of `bytes` against the phone's `limit`.
struct SizeMeterReading {
    int64_t bytes = -1;  // -1: not known
    uint32_t limit = 0;
    int32_t percent = 0; // of the limit, 0 to 100 (a file over the limit shows 100)
    bool fits = false;   // the editor's Next would go on: smaller than the limit
};
SizeMeterReading ReadSizeMeter(int64_t bytes, uint32_t limit);
