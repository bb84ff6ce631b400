#include "picture_holder.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <memory>

#include "png_codec.h"

namespace {

std::atomic<PictureBoxHook> g_boxHook{nullptr};

} // namespace

PictureBoxHook SetPictureBoxHook(PictureBoxHook hook)
{
    return g_boxHook.exchange(hook);
}

void ShowPictureBox(void* owner, const char* text)
{
    // A thread that loads quietly (a CRasterQuietScope lives on it) shows no box.
    if (RasterBoxesQuiet())
        return;
    if (PictureBoxHook hook = g_boxHook.load())
        hook(owner, text ? text : "");
}

uint32_t PictureFormatFromPath(const std::string& path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        return FormatUnknown;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "bmp")
        return FormatBmp;
    if (ext == "jpg" || ext == "jpeg" || ext == "jpe")
        return FormatJpeg;
    if (ext == "gif")
        return FormatGif;
    if (ext == "png")
        return FormatPng;
    return FormatUnknown;
}

bool ComposeOverBackground(CRaster* picture)
{
    if (!picture || !picture->IsValid())
        return false;
    constexpr uint8_t grey = CRasterPngCodec::kDefaultBackground;
    RGBQUAD background = MakeRgbQuad(grey, grey, grey);
    picture->GetFileBackground(&background);
    return picture->AlphaCompose(background);
}

CPictureHolder::CPictureHolder() = default;

CPictureHolder::~CPictureHolder()
{
    delete m_pImage;
}

long CPictureHolder::GetWidth() const
{
    return m_pImage ? long(m_pImage->GetWidth()) : 0;
}

long CPictureHolder::GetHeight() const
{
    return m_pImage ? long(m_pImage->GetHeight()) : 0;
}

// The refusal text for a decoded picture, or null when the mask accepts it.
static const char* RefusalText(uint32_t format, const CRaster& image, uint32_t mask)
{
    switch (format) {
    case FormatBmp:
        return (mask & kAllowStill) ? nullptr : "The bmp format is not supported by this operation";
    case FormatJpeg:
        return (mask & kAllowJpeg) ? nullptr : "The jpeg format is not supported by this operation";
    case FormatPng:
        return (mask & kAllowPng) ? nullptr : "The png format is not supported by this operation";
    case FormatGif: {
        const long frames = image.GetNumFrames();
        if (frames == 0)
            return "This gif file doesn't have a frame";
        if (frames == 1)
            return (mask & (kAllowStill | kAllowGif)) ? nullptr
                                                       : "The gif format is not supported by this operation";
        return (mask & kAllowGif) ? nullptr : "The animated gif format is not supported by this operation";
    }
    default:
        return "Unsupported operation for this format";
    }
}

uint32_t PictureFormatToDecode(uint32_t byExtension, const unsigned char* head, size_t size)
{
    if (RasterDecoderAcceptsSignature(byExtension, head, size))
        return byExtension;
    const uint32_t byContent = RasterFormatFromSignature(head, size);
    return byContent != FormatUnknown ? byContent : byExtension;
}

// PictureFormatToDecode for a file by its name. A file that cannot be opened
// keeps the extension's format, so that its load reports the failure.
static uint32_t FormatToDecode(const std::string& path, uint32_t byExtension)
{
    unsigned char head[kPictureSignatureBytes] = {};
    size_t size = 0;
    if (FILE* fp = std::fopen(path.c_str(), "rb")) {
        size = std::fread(head, 1, sizeof head, fp);
        std::fclose(fp);
    } else {
        return byExtension;
    }
    return PictureFormatToDecode(byExtension, head, size);
}

bool CPictureHolder::Load(const std::string& path, uint32_t allowedMask, long frame)
{
    m_strPath = path;
    const uint32_t byExtension = PictureFormatFromPath(path);
    if (byExtension == FormatUnknown)
        return false;
    const uint32_t format = FormatToDecode(path, byExtension);

    m_nFormat = int32_t(format);
    delete m_pImage;
    m_pImage = nullptr;

    auto image = std::make_unique<CRaster>(path.c_str(), format);
    if (frame != 0) {
        image->SetFrame(frame);
        // A failed decode keeps the pixels of frame 0; delivering those for a
        // frame that does not exist would be a wrong picture reported as
        // success, so the picture is dropped and the failure text stands.
        if (!image->Load(path.c_str(), format))
            image->Destroy();
    }
    image->SetType(format);

    std::string text;
    if (image->IsValid()) {
        const char* refusal = RefusalText(format, *image, allowedMask);
        if (!refusal) {
            m_pImage = image.release();
            return true;
        }
        text = refusal;
    } else {
        text = image->GetLastError();
    }

    image.reset();
    ShowPictureBox(m_pOwner, text.c_str());
    return false;
}

bool CPictureHolder::SetImage(CRaster* image)
{
    if (!image)
        return false;
    if (image != m_pImage)
        delete m_pImage;
    m_pImage = image;
    m_strPath.clear();
    m_nFormat = 0;
    return true;
}

bool CPictureHolder::EnsureGifPalette()
{
    // A GIF whose frame shows more than 256 colours is delivered in true colour:
    // it needs the palette as much as any photo.
    if (m_nFormat != FormatGif || (m_pImage && m_pImage->GetBpp() > 8)) {
        ConvertToGifPalette(m_pImage);
        m_nFormat = FormatGif;
    }
    return true;
}
