#include "anim_doc.h"

#include <cstdio>
#include <memory>

#include "edit_picture.h"
#include "gif_codec.h"
#include "raster_file.h"

// The other globals of the document (current frame, paths, animation name)
// are defined with the rest of the wizard's shared state.
CAnimDoc g_animDoc;
int32_t g_nCurrentFrame = 0;
std::string g_strSourcePath;
std::string g_strInsertPath;
std::string g_strAnimName;
std::string g_tempGifPath;

CAnimDoc::CAnimDoc()
{
    for (CRaster*& slot : m_frames)
        slot = nullptr;
}

CAnimDoc::~CAnimDoc()
{
    DeleteAllFrames();
}

long CAnimDoc::GetWidth() const
{
    return m_frames[0] ? long(m_frames[0]->GetWidth()) : 0;
}

long CAnimDoc::GetHeight() const
{
    return m_frames[0] ? long(m_frames[0]->GetHeight()) : 0;
}

CRaster* CAnimDoc::GetFrame(int32_t index) const
{
    if (index < 0 || index >= m_nFrames)
        return nullptr;
    return m_frames[index];
}

uint32_t CAnimDoc::GetDelay(int32_t index) const
{
    const CRaster* frame = GetFrame(index);
    return frame ? frame->GetFrameDelay() : kNoDelay;
}

void CAnimDoc::SetDelay(int32_t index, uint32_t delay)
{
    CRaster* frame = GetFrame(index);
    if (!frame)
        return;
    if (delay == 0)
        delay = m_nDefaultDelay;
    if (delay > m_nMaxDelay)
        delay = m_nMaxDelay;
    // Tested last, so the minimum wins when the limits cross.
    if (delay < m_nMinDelay)
        delay = m_nMinDelay;
    frame->SetFrameDelay(delay);
}

void CAnimDoc::SetDelayLimits(uint32_t minDelay, uint32_t maxDelay, uint32_t defaultDelay)
{
    m_nMinDelay = minDelay;
    m_nMaxDelay = maxDelay;
    m_nDefaultDelay = defaultDelay;
}

void CAnimDoc::DeleteAllFrames()
{
    for (CRaster*& slot : m_frames) {
        delete slot;
        slot = nullptr;
    }
    m_nFrames = 0;
}

void CAnimDoc::AddBuiltFrame(CRaster* frame, uint32_t delay, int32_t frameCount)
{
    // Reducing builds a fresh picture, so the delay was noted before. A GIF
    // frame comes as 24 bits when what it shows needs more than 256 colours;
    // it gets a palette of its own like any true-colour picture.
    if (frame->GetBpp() > 8) {
        ConvertToGifPalette(frame);
    } else if (frame->GetBpp() < 8) {
        frame->IncreaseBpp(24);
        frame->DecreaseBpp(8, true, nullptr);
    }
    frame->SetTransIndex(-1);
    if (frameCount == 1)
        frame->SetFrameDelay(m_nDefaultDelay);
    const int32_t index = m_nFrames;
    m_frames[index] = frame;
    m_nFrames = index + 1;
    SetDelay(index, delay);
    ReportFrames(FrameWork::Reading, m_nFrames, frameCount);
}

void CAnimDoc::ReportFrames(FrameWork work, int32_t done, int32_t total) const
{
    if (m_pFrameProgress)
        m_pFrameProgress->FramesDone(work, done, total);
}

bool CAnimDoc::BuildFrames(GifReading reading)
{
    DeleteAllFrames();
    if (!m_pImage || !m_pImage->IsValid())
        return false;

    const bool bGif = m_pImage->GetType() == FormatGif;
    int32_t frameCount = bGif ? int32_t(m_pImage->GetNumFrames()) : 1;
    if (frameCount > kMaxFrames)
        frameCount = kMaxFrames;
    if (frameCount <= 0)
        return false;

    if (!bGif) {
        // The source picture is already decoded; a copy of it is what loading
        // the file again would give.
        auto frame = std::make_unique<CRaster>(*m_pImage, true, true, true);
        if (!ConvertToGifPalette(frame.get()))
            return false;
        frame->SetTransIndex(-1);
        frame->SetFrameDelay(m_nDefaultDelay);
        m_frames[0] = frame.release();
        m_nFrames = 1;
        SetDelay(0, 0);
        return true;
    }

    if (reading == GifReading::OnePass)
        BuildGifFramesOnePass(frameCount);
    else
        BuildGifFramesFrameByFrame(frameCount);
    return m_nFrames > 0;
}

bool CAnimDoc::BuildGifFramesFrameByFrame(int32_t frameCount)
{
    for (int32_t i = 0; i < frameCount; ++i) {
        auto frame = std::make_unique<CRaster>();
        frame->SetFrame(i);
        frame->Load(m_strPath.c_str(), FormatGif, false);
        // A frame that cannot be read again (the file changed or vanished)
        // ends the animation there rather than adding a frame without pixels.
        if (!frame->IsValid())
            return false;
        const uint32_t delay = frame->GetFrameDelay();
        AddBuiltFrame(frame.release(), delay, frameCount);
    }
    return true;
}

bool CAnimDoc::BuildGifFramesOnePass(int32_t frameCount)
{
    // The same boxes as loading the file once per frame would show: an open
    // error (once, since a second open would fail alike) or the decoder's
    // text for the first frame that cannot be decoded.
    FILE* stream = std::fopen(m_strPath.c_str(), "rb");
    if (!stream) {
        RasterMessageBox("File open error", m_strPath.c_str(), RasterBoxNone);
        return false;
    }
    CRasterIOFile file(stream);
    CRasterGifCodec codec;
    const bool bDecoded = codec.DecodeAllFrames(&file, [&](CRaster& decoded, int) {
        auto frame = std::make_unique<CRaster>();
        frame->Transfer(decoded);
        const uint32_t delay = frame->GetFrameDelay();
        AddBuiltFrame(frame.release(), delay, frameCount);
        return m_nFrames < frameCount;
    });
    std::fclose(stream);
    if (!bDecoded) {
        RasterMessageBox(codec.GetLastError(), "Gif error", RasterBoxError);
        return false;
    }
    return m_nFrames == frameCount;
}

void CAnimDoc::ShiftFrames(int32_t index, int32_t count)
{
    if (index < 0 || index >= m_nFrames)
        return;
    if (count == 1) {
        // With every slot in use the last frame would have nowhere to go and
        // the count would pass the slots.
        if (m_nFrames >= kMaxFrames)
            return;
        for (int32_t j = m_nFrames - 1; j >= index; --j) {
            if (j + 1 < kMaxFrames)
                m_frames[j + 1] = m_frames[j];
        }
        m_frames[index] = nullptr;
        ++m_nFrames;
    } else if (count == -1) {
        delete m_frames[index];
        for (int32_t j = index; j + 1 < m_nFrames; ++j)
            m_frames[j] = m_frames[j + 1];
        m_frames[m_nFrames - 1] = nullptr;
        --m_nFrames;
    }
}

void CAnimDoc::InsertFrame(int32_t index, CRaster* picture)
{
    if (!picture)
        return;
    // The slots have no room for a 257th frame, and a picture that cannot be
    // placed would otherwise be lost without being freed.
    if (index < 0 || index > m_nFrames || m_nFrames >= kMaxFrames) {
        delete picture;
        return;
    }
    if (m_nFrames == 0) {
        // There is no frame 0 to match: the picture sets the depth and palette.
        const uint32_t delay = picture->GetFrameDelay();
        ConvertToGifPalette(picture);
        picture->SetTransIndex(-1);
        m_frames[0] = picture;
        m_nFrames = 1;
        SetDelay(0, delay);
        return;
    }

    const CRaster* first = m_frames[0];
    const uint32_t depth = first->GetBpp();
    const RGBQUAD* palette = first->GetPalette();
    if (index < m_nFrames)
        ShiftFrames(index, 1);
    else
        ++m_nFrames;

    picture->SetTransIndex(-1);
    const uint32_t delay = picture->GetFrameDelay();
    picture->IncreaseBpp(24);
    picture->DecreaseBpp(depth, true, palette);
    m_frames[index] = picture;
    SetDelay(index, delay);
}

void CAnimDoc::ReplaceFrame(int32_t index, CRaster* picture)
{
    if (!picture)
        return;
    if (index < 0 || index >= m_nFrames) {
        delete picture;
        return;
    }
    delete m_frames[index];
    picture->SetTransIndex(-1);
    m_frames[index] = picture;
}

void CAnimDoc::DeleteFrame(int32_t index)
{
    if (m_nFrames == 1)
        return;
    ShiftFrames(index, -1);
}

void CAnimDoc::SwapFrames(int32_t a, int32_t b)
{
    if (a == b || !GetFrame(a) || !GetFrame(b))
        return;
    std::swap(m_frames[a], m_frames[b]);
}

CRaster* CAnimDoc::CopyFrame(int32_t index) const
{
    const CRaster* frame = GetFrame(index);
    return frame ? new CRaster(*frame, true, true, true) : nullptr;
}

bool EncodeAnimationGif(CRasterFile* out, CRaster** frames, int32_t count, const GifWriteOptions& options)
{
    for (int32_t i = 0; i < count; ++i) {
        if (!frames[i])
            continue;
        frames[i]->SetFrame(i);
        frames[i]->SetNumFrames(count);
        frames[i]->SetType(FormatBmp);
    }
    CRasterGifCodec codec;
    codec.SetLoops(0);
    codec.SetDisposalMethod(0);
    codec.SetComment("");
    codec.SetWriteOptions(options);
    return codec.Encode(out, frames, count);
}

bool CAnimDoc::SaveGif(const std::string& path)
{
    return SaveGif(path, GifWriteOptions{});
}

bool CAnimDoc::SaveGif(CRasterFile* out, const GifWriteOptions& options)
{
    return EncodeAnimationGif(out, m_frames, m_nFrames, options);
}

bool CAnimDoc::SaveGif(const std::string& path, const GifWriteOptions& options)
{
    FILE* stream = std::fopen(path.c_str(), "wb");
    if (!stream)
        return false;
    bool bWritten;
    {
        CRasterIOFile file(stream);
        bWritten = SaveGif(&file, options);
    }
    const bool bClosed = std::fclose(stream) == 0;
    if (bWritten && bClosed)
        return true;
    // A refused or half-written animation must not look like a finished one.
    std::remove(path.c_str());
    return false;
}

long CAnimDoc::DrawFrame(int32_t index, int32_t x, int32_t y, int32_t size) const
{
    CRaster* frame = GetFrame(index);
    RasterSurface* surface = m_pSurface;
    if (!frame || !surface)
        return 0;
    RECT rect{x, y, x + size, y + size};
    if (size == 0)
        rect = RECT{x, y, x + int32_t(frame->GetWidth()), y + int32_t(frame->GetHeight())};
    return frame->Draw(surface, rect, &rect);
}

long CAnimDoc::DrawFrameAtPreview(int32_t index) const
{
    return DrawFrame(index, m_x, m_y, 0);
}

void CAnimDoc::ApplyEditToOthers(int32_t skipIndex, bool fit, int32_t width, int32_t height, bool notMirrored,
                                 int32_t quarterTurns, double lightness, int32_t selLeft, int32_t selTop,
                                 int32_t selRight, int32_t selBottom, int32_t displayLeft, int32_t displayTop,
                                 int32_t displayRight, int32_t displayBottom, int32_t skipCount)
{
    const int32_t turns = ((quarterTurns % 4) + 4) % 4;
    const int64_t skipEnd = int64_t(skipIndex) + (skipCount > 0 ? skipCount : 0);
    for (int32_t i = 0; i < m_nFrames; ++i) {
        ReportFrames(FrameWork::Editing, i, m_nFrames);
        if ((i >= skipIndex && i < skipEnd) || !m_frames[i])
            continue;
        CEditPicture holder;
        holder.SetImage(m_frames[i]);
        const uint32_t delay = m_frames[i]->GetFrameDelay();
        if (!notMirrored)
            holder.Mirror();
        for (int32_t t = 0; t < turns; ++t)
            holder.RotateRight();
        holder.m_rcDisplay = RECT{displayLeft, displayTop, displayRight, displayBottom};
        holder.m_rcClip = holder.m_rcDisplay;

        CRaster* result = fit ? holder.FitToSize(width, height)
                              : holder.CropToSize(selLeft, selTop, selRight, selBottom, width, height);
        if (!result) {
            // Nothing could be cut out of this frame: it stays as it was.
            for (int32_t t = 0; t < turns; ++t)
                holder.RotateLeft();
            if (!notMirrored)
                holder.Mirror();
            holder.m_pImage = nullptr;
            continue;
        }
        ApplyLightness(result, lightness);
        result->SetFrameDelay(delay);
        m_frames[i] = result;
        // The holder deletes the frame's old picture when it goes.
    }
    ReportFrames(FrameWork::Editing, m_nFrames, m_nFrames);
}
