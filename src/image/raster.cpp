// CRaster: construction, life cycle, accessors, palette and pixel access, and
// the optional selection and alpha planes.
#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

constexpr uint32_t kHeaderBytes = sizeof(BITMAPINFOHEADER);

// Larger than the greatest possible squared RGB distance (3 x 255^2 = 195075),
// so the first palette entry always becomes the running best.
constexpr long kNoDistanceYet = 200000;

long PelsPerMeter(long dpi)
{
    return long(std::floor(double(dpi) * 39.37007874015748 + 0.5));
}

} // namespace

bool RasterRowBytes(uint64_t width, uint32_t bpp, uint64_t* rowBytes)
{
    uint64_t bits = 0;
    if (__builtin_mul_overflow(width, uint64_t(bpp), &bits) || bits > UINT64_MAX - 31)
        return false;
    const uint64_t bytes = ((bits + 31) >> 5) << 2;
    if (bytes > kMaxRasterBlockBytes)
        return false;
    if (rowBytes)
        *rowBytes = bytes;
    return true;
}

bool RasterBlockBytes(uint64_t width, uint64_t height, uint32_t bpp, uint64_t* blockBytes)
{
    uint64_t row = 0;
    uint64_t total = 0;
    if (!RasterRowBytes(width, bpp, &row) || __builtin_mul_overflow(row, height, &total))
        return false;
    if (total > kMaxRasterBlockBytes)
        return false;
    if (blockBytes)
        *blockBytes = total;
    return true;
}

// --- construction and life cycle ---

CRaster::CRaster(uint32_t type)
{
    Startup(type);
}

CRaster::CRaster(uint32_t width, uint32_t height, long bpp, long type)
{
    Startup(uint32_t(type));
    Create(width, height, bpp, type);
}

CRaster::CRaster(const CRaster& src, bool copyPixels, bool copySelection, bool copyAlpha)
{
    Startup(src.info.dwType);
    Copy(src, copyPixels, copySelection, copyAlpha);
}

CRaster& CRaster::operator=(const CRaster& src)
{
    if (this != &src)
        Copy(src, true, true, true);
    return *this;
}

CRaster::~CRaster()
{
    Destroy();
}

void CRaster::Startup(uint32_t type)
{
    pDib = nullptr;
    pSelection = nullptr;
    pAlpha = nullptr;
    std::memset(&head, 0, sizeof(head));
    head.biSize = kHeaderBytes;
    ClearInfo();
    info.dwType = type;
    info.nQuality = 75;
    info.nAlphaMax = 255;
    info.nBkgndIndex = -1;
    info.bEnabled = true;
    info.xDPI = 72;
    info.yDPI = 72;
}

// The bytes before and after the escape field are copied plainly; the escape
// field itself may be written by another thread at any moment.
void CRaster::AssignInfo(const ImageInfo& src)
{
    static_assert(std::is_standard_layout_v<ImageInfo> && std::is_trivially_copyable_v<ImageInfo>);
    constexpr size_t kAt = offsetof(ImageInfo, nEscape);
    constexpr size_t kAfter = kAt + sizeof(info.nEscape);
    if (&src == &info)
        return;
    std::memcpy(&info, &src, kAt);
    std::memcpy(reinterpret_cast<char*>(&info) + kAfter, reinterpret_cast<const char*>(&src) + kAfter,
                sizeof(ImageInfo) - kAfter);
    EscapeFlag(info.nEscape).store(EscapeFlag(src.nEscape).load(std::memory_order_relaxed), std::memory_order_relaxed);
}

void CRaster::ClearInfo()
{
    constexpr size_t kAt = offsetof(ImageInfo, nEscape);
    constexpr size_t kAfter = kAt + sizeof(info.nEscape);
    std::memset(&info, 0, kAt);
    std::memset(reinterpret_cast<char*>(&info) + kAfter, 0, sizeof(ImageInfo) - kAfter);
    EscapeFlag(info.nEscape).store(0, std::memory_order_relaxed);
}

void* CRaster::Create(uint32_t width, uint32_t height, long bpp, long type)
{
    Destroy();
    // A ghost's memory belongs to its body: forget it instead of freeing it,
    // and from here on this picture owns what it allocates.
    if (info.pGhost) {
        pDib = nullptr;
        pSelection = nullptr;
        pAlpha = nullptr;
        info.pGhost = nullptr;
    }
    info.pImage = nullptr;

    if (bpp <= 1)
        bpp = 1;
    else if (bpp <= 4)
        bpp = 4;
    else if (bpp <= 8)
        bpp = 8;
    else
        bpp = 24;

    // An empty or absurd size (a width or height that does not fit the
    // header's signed fields, or a block beyond kMaxRasterBlockBytes) gives
    // no block at all, so a hostile file header cannot make us allocate
    // without bound or wrap the size arithmetic.
    uint64_t rowBytes = 0;
    uint64_t imageBytes = 0;
    if (width == 0 || height == 0 || width > uint32_t(std::numeric_limits<int32_t>::max()) ||
        height > uint32_t(std::numeric_limits<int32_t>::max()) ||
        !RasterRowBytes(width, uint32_t(bpp), &rowBytes) ||
        !RasterBlockBytes(width, height, uint32_t(bpp), &imageBytes))
        return nullptr;

    const uint32_t colours = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    head.biSize = kHeaderBytes;
    head.biWidth = int32_t(width);
    head.biHeight = int32_t(height);
    head.biPlanes = 1;
    head.biBitCount = uint16_t(bpp);
    head.biCompression = 0;
    head.biSizeImage = uint32_t(imageBytes);
    head.biClrUsed = colours;
    head.biClrImportant = 0;
    info.dwType = uint32_t(type);
    info.dwEffWidth = uint32_t(rowBytes);

    // The block is zero-filled so that row padding and rows nobody writes
    // never carry stale heap bytes into a file.
    const size_t blockBytes = kHeaderBytes + 4 * size_t(colours) + size_t(imageBytes);
    pDib = std::calloc(1, blockBytes);
    if (!pDib)
        return nullptr;

    std::free(pSelection);
    std::free(pAlpha);
    pSelection = nullptr;
    pAlpha = nullptr;

    std::memcpy(pDib, &head, kHeaderBytes);
    info.pImage = static_cast<uint8_t*>(pDib) + kHeaderBytes + GetPaletteSize();
    return pDib;
}

bool CRaster::Destroy()
{
    if (!pDib || info.pGhost)
        return false;
    std::free(pSelection);
    std::free(pAlpha);
    std::free(pDib);
    pSelection = nullptr;
    pAlpha = nullptr;
    pDib = nullptr;
    info.pImage = nullptr;
    return true;
}

void CRaster::Clear(uint8_t value)
{
    if (pDib && info.pImage)
        std::memset(info.pImage, value, head.biSizeImage);
}

void CRaster::Copy(const CRaster& src, bool copyPixels, bool copySelection, bool copyAlpha)
{
    if (&src == this)
        return;
    // Overwriting a ghost detaches it; the body keeps its memory.
    if (info.pGhost) {
        pDib = nullptr;
        pSelection = nullptr;
        pAlpha = nullptr;
    }
    AssignInfo(src.info);
    info.pGhost = nullptr;
    info.pImage = nullptr;
    head.biXPelsPerMeter = src.head.biXPelsPerMeter;
    head.biYPelsPerMeter = src.head.biYPelsPerMeter;

    Create(uint32_t(src.head.biWidth), uint32_t(src.head.biHeight), src.head.biBitCount, long(src.info.dwType));
    if (!pDib)
        return;

    if (copyPixels && src.pDib) {
        std::memcpy(pDib, src.pDib, GetSize());
        std::memcpy(&head, pDib, kHeaderBytes);
    } else {
        SetPalette(src.GetPalette(), 256);
    }

    const size_t planeBytes = size_t(GetWidth()) * GetHeight();
    if (copySelection && src.pSelection) {
        pSelection = static_cast<uint8_t*>(std::malloc(planeBytes));
        if (pSelection)
            std::memcpy(pSelection, src.pSelection, planeBytes);
    }
    if (copyAlpha && src.pAlpha) {
        pAlpha = static_cast<uint8_t*>(std::malloc(planeBytes));
        if (pAlpha)
            std::memcpy(pAlpha, src.pAlpha, planeBytes);
    }
}

bool CRaster::Transfer(CRaster& from)
{
    if (&from == this)
        return false;
    Destroy();
    head = from.head;
    AssignInfo(from.info);
    pDib = from.pDib;
    pSelection = from.pSelection;
    pAlpha = from.pAlpha;

    std::memset(&from.head, 0, sizeof(from.head));
    from.ClearInfo();
    from.pDib = nullptr;
    from.pSelection = nullptr;
    from.pAlpha = nullptr;
    return true;
}

void CRaster::Ghost(CRaster* body)
{
    if (!body || body == this)
        return;
    Destroy();
    head = body->head;
    AssignInfo(body->info);
    pDib = body->pDib;
    pSelection = body->pSelection;
    pAlpha = body->pAlpha;
    info.pGhost = body;
}

void CRaster::CopyInfo(const CRaster& src)
{
    if (pDib)
        return;
    AssignInfo(src.info);
    // The pointers inside describe src's memory, not ours.
    info.pImage = nullptr;
    info.pGhost = nullptr;
}

// --- accessors ---

void CRaster::SetXDPI(long dpi)
{
    info.xDPI = int32_t(dpi);
    head.biXPelsPerMeter = int32_t(PelsPerMeter(dpi));
    if (pDib)
        std::memcpy(pDib, &head, kHeaderBytes);
}

void CRaster::SetYDPI(long dpi)
{
    info.yDPI = int32_t(dpi);
    head.biYPelsPerMeter = int32_t(PelsPerMeter(dpi));
    if (pDib)
        std::memcpy(pDib, &head, kHeaderBytes);
}

RGBQUAD CRaster::GetTransColor() const
{
    if (head.biBitCount < 24 && info.nBkgndIndex != -1)
        return GetPaletteColor(uint8_t(info.nBkgndIndex));
    return info.nBkgndColor;
}

bool CRaster::GetFileBackground(RGBQUAD* colour) const
{
    if (info.bFileBackground && colour)
        *colour = info.nFileBackground;
    return info.bFileBackground;
}

void CRaster::SetFileBackground(RGBQUAD colour)
{
    info.nFileBackground = colour;
    info.bFileBackground = true;
}

uint8_t* CRaster::GetBits(uint32_t row) const
{
    if (!pDib || !info.pImage)
        return nullptr;
    if (row == 0)
        return info.pImage;
    if (row >= GetHeight())
        return nullptr;
    return info.pImage + size_t(row) * info.dwEffWidth;
}

uint32_t CRaster::GetSize() const
{
    return kHeaderBytes + GetPaletteSize() + head.biSizeImage;
}

bool CRaster::IsInside(long x, long y) const
{
    return x >= 0 && y >= 0 && x < head.biWidth && y < head.biHeight;
}

void CRaster::SetLastError(const char* text)
{
    if (!text)
        text = "";
    std::strncpy(info.szLastError, text, sizeof(info.szLastError) - 1);
    info.szLastError[sizeof(info.szLastError) - 1] = '\0';
}

void CRaster::SetTruncation(const char* text)
{
    if (!text)
        text = "";
    std::strncpy(info.szTruncation, text, sizeof(info.szTruncation) - 1);
    info.szTruncation[sizeof(info.szTruncation) - 1] = '\0';
}

// --- palette ---

RGBQUAD* CRaster::GetPalette() const
{
    if (!pDib || head.biClrUsed == 0)
        return nullptr;
    return reinterpret_cast<RGBQUAD*>(static_cast<uint8_t*>(pDib) + kHeaderBytes);
}

void CRaster::SetPalette(const RGBQUAD* entries, uint32_t count)
{
    RGBQUAD* pal = GetPalette();
    if (!entries || !pal)
        return;
    const uint64_t bytes = std::min<uint64_t>(uint64_t(count) * 4, GetPaletteSize());
    std::memcpy(pal, entries, size_t(bytes));
}

void CRaster::SetPaletteIndex(uint8_t index, uint8_t r, uint8_t g, uint8_t b, uint8_t alpha)
{
    RGBQUAD* pal = GetPalette();
    if (!pal || index >= head.biClrUsed)
        return;
    pal[index] = RGBQUAD{b, g, r, alpha};
}

RGBQUAD CRaster::GetPaletteColor(uint8_t index) const
{
    const RGBQUAD* pal = GetPalette();
    if (!pal || index >= head.biClrUsed)
        return RGBQUAD{0, 0, 0, 0};
    return pal[index];
}

void CRaster::CopyPaletteRaw(const CRaster& src)
{
    RGBQUAD* dst = GetPalette();
    const RGBQUAD* from = src.GetPalette();
    if (!dst || !from)
        return;
    std::memcpy(dst, from, std::min(GetPaletteSize(), src.GetPaletteSize()));
}

uint8_t CRaster::GetNearestIndex(RGBQUAD c) const
{
    const RGBQUAD* pal = GetPalette();
    if (!pal)
        return 0;
    long best = kNoDistanceYet;
    uint8_t bestIndex = 0;
    for (uint32_t i = 0; i < head.biClrUsed; ++i) {
        const long db = long(pal[i].rgbBlue) - c.rgbBlue;
        const long dg = long(pal[i].rgbGreen) - c.rgbGreen;
        const long dr = long(pal[i].rgbRed) - c.rgbRed;
        const long d = db * db + dg * dg + dr * dr;
        if (d < best) {
            best = d;
            bestIndex = uint8_t(i);
            if (d == 0)
                break;
        }
    }
    return bestIndex;
}

// --- pixels ---

uint8_t CRaster::GetPixelIndex(long x, long y) const
{
    if (!pDib || head.biClrUsed == 0)
        return 0;
    if (!IsInside(x, y))
        return info.nBkgndIndex != -1 ? uint8_t(info.nBkgndIndex) : 0;
    const uint8_t* row = info.pImage + size_t(y) * info.dwEffWidth;
    switch (head.biBitCount) {
    case 8:
        return row[x];
    case 4: {
        const uint8_t byte = row[x >> 1];
        return (x & 1) ? (byte & 0x0F) : uint8_t(byte >> 4);
    }
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    default:
        return 0;
    }
}

void CRaster::SetPixelIndex(long x, long y, uint8_t index)
{
    if (!pDib || head.biClrUsed == 0 || !IsInside(x, y))
        return;
    uint8_t* row = info.pImage + size_t(y) * info.dwEffWidth;
    switch (head.biBitCount) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        uint8_t& byte = row[x >> 1];
        if (x & 1)
            byte = uint8_t((byte & 0xF0) | (index & 0x0F));
        else
            byte = uint8_t((byte & 0x0F) | ((index & 0x0F) << 4));
        break;
    }
    case 1: {
        uint8_t& byte = row[x >> 3];
        const uint8_t mask = uint8_t(0x80 >> (x & 7));
        byte = (index & 1) ? uint8_t(byte | mask) : uint8_t(byte & ~mask);
        break;
    }
    default:
        break;
    }
}

RGBQUAD CRaster::GetPixelColor(long x, long y) const
{
    if (!pDib || !IsInside(x, y))
        return GetTransColor();
    if (head.biClrUsed)
        return GetPaletteColor(GetPixelIndex(x, y));
    const uint8_t* p = info.pImage + size_t(y) * info.dwEffWidth + size_t(x) * 3;
    return RGBQUAD{p[0], p[1], p[2], info.nBkgndColor.rgbReserved};
}

void CRaster::SetPixelColor(long x, long y, RGBQUAD c)
{
    if (!pDib || !IsInside(x, y))
        return;
    if (head.biClrUsed) {
        SetPixelIndex(x, y, GetNearestIndex(c));
        return;
    }
    uint8_t* p = info.pImage + size_t(y) * info.dwEffWidth + size_t(x) * 3;
    p[0] = c.rgbBlue;
    p[1] = c.rgbGreen;
    p[2] = c.rgbRed;
}

// --- alpha and selection planes ---
// Both are width x height bytes, row y at y * width, bottom row first.

uint8_t CRaster::AlphaGet(long x, long y) const
{
    if (!pAlpha || !IsInside(x, y))
        return 0;
    return pAlpha[size_t(y) * GetWidth() + size_t(x)];
}

bool CRaster::AlphaCreate()
{
    if (!pDib)
        return false;
    if (pAlpha)
        return true;
    const size_t bytes = size_t(GetWidth()) * GetHeight();
    pAlpha = static_cast<uint8_t*>(std::malloc(bytes));
    if (!pAlpha)
        return false;
    std::memset(pAlpha, 255, bytes); // a new plane starts fully opaque
    return true;
}

void CRaster::AlphaDelete()
{
    // A ghost's plane belongs to its body.
    if (!info.pGhost)
        std::free(pAlpha);
    pAlpha = nullptr;
}

void CRaster::AlphaSet(long x, long y, uint8_t level)
{
    if (pAlpha && IsInside(x, y))
        pAlpha[size_t(y) * GetWidth() + size_t(x)] = level;
}

uint8_t* CRaster::AlphaGetPointer(long x, long y) const
{
    if (!pAlpha || !IsInside(x, y))
        return nullptr;
    return pAlpha + size_t(y) * GetWidth() + size_t(x);
}

bool CRaster::SelectionCreate()
{
    if (!pDib)
        return false;
    if (pSelection)
        return true;
    const size_t bytes = size_t(GetWidth()) * GetHeight();
    pSelection = static_cast<uint8_t*>(std::calloc(1, bytes)); // nothing selected yet
    if (!pSelection)
        return false;
    info.rSelectionBox = RECT{0, 0, 0, 0};
    return true;
}

void CRaster::SelectionDelete()
{
    if (!info.pGhost)
        std::free(pSelection);
    pSelection = nullptr;
    info.rSelectionBox = RECT{0, 0, 0, 0};
}

uint8_t* CRaster::SelectionGetPointer(long x, long y) const
{
    if (!pSelection || !IsInside(x, y))
        return nullptr;
    return pSelection + size_t(y) * GetWidth() + size_t(x);
}

bool CRaster::SelectionIsInside(long x, long y) const
{
    if (!IsInside(x, y))
        return false;
    // Without a selection plane the whole picture counts as selected.
    if (!pSelection)
        return true;
    return pSelection[size_t(y) * GetWidth() + size_t(x)] != 0;
}
