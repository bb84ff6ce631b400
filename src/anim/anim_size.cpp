#include "anim_size.h"

#include <algorithm>

#include "anim_doc.h"

size_t CRasterByteCounter::Write(const void*, size_t size, size_t count)
{
    m_position += uint64_t(size) * count;
    m_size = std::max(m_size, m_position);
    return count;
}

bool CRasterByteCounter::PutC(unsigned char)
{
    ++m_position;
    m_size = std::max(m_size, m_position);
    return true;
}

bool CRasterByteCounter::Seek(long offset, int origin)
{
    const int64_t base = origin == SEEK_CUR ? int64_t(m_position) : origin == SEEK_END ? int64_t(m_size) : 0;
    const int64_t target = base + offset;
    if (target < 0)
        return false;
    m_position = uint64_t(target);
    return true;
}

int64_t AnimationFileBytes(CRaster** frames, int32_t count, const GifWriteOptions& options)
{
    CRasterByteCounter counter;
    if (!EncodeAnimationGif(&counter, frames, count, options))
        return -1;
    return int64_t(counter.Bytes());
}

int64_t AnimationFileBytes(CAnimDoc& doc, const GifWriteOptions& options)
{
    return AnimationFileBytes(doc.m_frames, doc.GetFrameCount(), options);
}

std::unique_ptr<CAnimSnapshot> CAnimSnapshot::Take(const CAnimDoc& doc, uint64_t maxPixelBytes)
{
    const int32_t count = doc.GetFrameCount();
    if (count <= 0)
        return nullptr;
    uint64_t pixelBytes = 0;
    for (int32_t i = 0; i < count; ++i) {
        const CRaster* frame = doc.GetFrame(i);
        if (!frame)
            return nullptr;
        pixelBytes += uint64_t(frame->GetEffWidth()) * frame->GetHeight();
    }
    if (pixelBytes > maxPixelBytes)
        return nullptr;

    auto snapshot = std::unique_ptr<CAnimSnapshot>(new CAnimSnapshot);
    snapshot->m_frames.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i)
        snapshot->m_frames.push_back(std::make_unique<CRaster>(*doc.GetFrame(i), true, false, false));
    return snapshot;
}

int64_t CAnimSnapshot::FileBytes(const GifWriteOptions& options)
{
    std::vector<CRaster*> frames;
    frames.reserve(m_frames.size());
    for (const auto& frame : m_frames)
        frames.push_back(frame.get());
    return AnimationFileBytes(frames.data(), FrameCount(), options);
}

SizeMeterReading ReadSizeMeter(int64_t bytes, uint32_t limit)
{
    SizeMeterReading reading;
    reading.bytes = bytes < 0 ? -1 : bytes;
    reading.limit = limit;
    if (reading.bytes < 0)
        return reading;
    // The same test as the editor's Next: strictly smaller than the limit.
    reading.fits = reading.bytes < int64_t(limit);
    if (!reading.fits)
        reading.percent = 100;
    else
        reading.percent = int32_t(reading.bytes * 100 / int64_t(limit));
    return reading;
}
