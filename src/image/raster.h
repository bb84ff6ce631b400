// CRaster: the one picture type of the program.
//
// A picture is one packed device-independent bitmap in one heap block (40-byte
// header, palette, pixel rows padded to 4 bytes), plus an information block that
// travels with it, plus two optional byte planes (selection mask and alpha).
// Rows are stored bottom-up: y = 0 is the bottom row as displayed, y = height-1
// the top row. Every operation of the library uses that convention.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "raster_types.h"

class CRasterFile;

// The largest pixel block the library will allocate. A header that asks for
// more is refused as an impossible size, so a hostile file cannot make the
// program allocate without bound. 1 GiB holds a 16384 x 16384 true-colour picture.
// The fuzz build lowers it, so that inputs asking for huge pictures stay fast.
#ifndef TESSARY_MAX_RASTER_BLOCK_BYTES
#define TESSARY_MAX_RASTER_BLOCK_BYTES (uint64_t(1) << 30)
#endif
inline constexpr uint64_t kMaxRasterBlockBytes = TESSARY_MAX_RASTER_BLOCK_BYTES;

// The information block that travels with a picture; copied as one unit.
struct ImageInfo {
    uint32_t dwEffWidth;       // bytes per pixel row
    uint8_t* pImage;           // start of the pixel rows inside the block
    class CRaster* pGhost;     // set only in a ghost: the picture whose memory is shared
    uint32_t dwType;           // ImageFormat code
    char szLastError[256];     // text of the last failure
    char szTruncation[128];    // what a decoded file lacked when it ended early; empty when whole
    int32_t nProgress;         // advanced by long operations
    int32_t nEscape;           // set non-zero to cancel a running decode or conversion (see EscapeFlag)
    int32_t nBkgndIndex;       // transparent palette index, -1 for none
    RGBQUAD nBkgndColor;       // transparent colour of true-colour pictures
    uint8_t nQuality;          // JPEG quality (kept, not used)
    int32_t nFrame;            // frame of a multi-frame file to decode
    int32_t nNumFrames;        // set by the GIF decoder
    uint32_t dwFrameDelay;     // hundredths of a second
    int32_t xDPI;
    int32_t yDPI;
    RECT rSelectionBox;
    uint8_t nAlphaMax;         // maximal opacity when the alpha plane is drawn
    bool bAlphaPaletteEnabled; // palette reserved bytes count as alpha when drawing
    bool bEnabled;             // drawing switch
    int32_t xOffset;
    int32_t yOffset;
    bool bFileBackground;      // the file named nFileBackground as its own background
    RGBQUAD nFileBackground;   // what its transparent parts are to be shown over
};

// The escape field is set by one thread to cancel work that runs on another,
// so it is only ever read and written through this atomic view, also where the
// information block is copied as a whole.
inline std::atomic_ref<int32_t> EscapeFlag(const int32_t& field)
{
    // Every escape field lives in a picture's (non-const) information block
    // or in a caller's own variable; the view only drops the const of access.
    return std::atomic_ref<int32_t>(const_cast<int32_t&>(field));
}

// Icons of the message boxes the library shows.
enum RasterBoxIcon { RasterBoxNone = 0, RasterBoxError = 1, RasterBoxInformation = 2 };

// The library shows a few message boxes ("File open error", "Gif error", ...).
// The program installs the function that shows them: a window, stderr, or a
// recorder in tests. Without a handler the boxes are dropped.
using RasterMessageHandler = void (*)(const char* text, const char* caption, RasterBoxIcon icon);
void SetRasterMessageHandler(RasterMessageHandler handler);
void RasterMessageBox(const char* text, const char* caption, RasterBoxIcon icon);

// While one of these lives, the boxes raised on the thread that made it are
// dropped, those of the library and those of anything else that asks
// RasterBoxesQuiet (the loading rules do); other threads still show theirs.
// A background thread that decodes pictures must never show a box: it would
// wait for the UI thread, which may itself be waiting for that thread. Scopes
// nest; each one lives and dies on one thread.
class CRasterQuietScope {
public:
    CRasterQuietScope();
    ~CRasterQuietScope();
    CRasterQuietScope(const CRasterQuietScope&) = delete;
    CRasterQuietScope& operator=(const CRasterQuietScope&) = delete;
};
// True while a CRasterQuietScope lives on the calling thread.
bool RasterBoxesQuiet();

// A picture copied to the drawing side: 32-bit pixels 0xFFRRGGBB, top row first,
// as MakeBitmap returns it for a list of thumbnails. Owned by the caller.
struct RasterBitmap {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t* pixels = nullptr; // width x height, top row first
    ~RasterBitmap() { delete[] pixels; }
    RasterBitmap() = default;
    RasterBitmap(const RasterBitmap&) = delete;
    RasterBitmap& operator=(const RasterBitmap&) = delete;
};

class CRaster {
public:
    // --- construction and life cycle ---
    explicit CRaster(uint32_t type = 0);
    CRaster(uint32_t width, uint32_t height, long bpp, long type = 0);
    CRaster(const CRaster& src, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    CRaster(const char* fileName, uint32_t type);
    CRaster& operator=(const CRaster& src);
    virtual ~CRaster();

    void* Create(uint32_t width, uint32_t height, long bpp, long type = 0);
    bool Destroy();
    void Clear(uint8_t value = 0);
    void Copy(const CRaster& src, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    bool Transfer(CRaster& from);
    void Ghost(CRaster* body);
    void CopyInfo(const CRaster& src);

    // --- accessors ---
    uint32_t GetWidth() const { return uint32_t(head.biWidth); }
    uint32_t GetHeight() const { return uint32_t(head.biHeight); }
    uint32_t GetBpp() const { return head.biBitCount; }
    uint32_t GetEffWidth() const { return info.dwEffWidth; }
    uint32_t GetNumColors() const { return head.biClrUsed; }
    uint32_t GetType() const { return info.dwType; }
    void SetType(uint32_t type) { info.dwType = type; }
    uint32_t GetFrameDelay() const { return info.dwFrameDelay; }
    void SetFrameDelay(uint32_t delay) { info.dwFrameDelay = delay; }
    long GetFrame() const { return info.nFrame; }
    void SetFrame(long frame) { info.nFrame = int32_t(frame); }
    long GetNumFrames() const { return info.nNumFrames; }
    // The smallest short side this picture's decodes must keep: a JPEG is then
    // read at the smallest DCT scale (1/8, 1/4, 1/2) whose shorter side is
    // still at least this many pixels, which is much faster than a full decode
    // when only a small picture is wanted. 0 (the default) decodes at full
    // size. A setting of the picture object, not of its pixels: copies and
    // decoded results do not carry it.
    uint32_t GetDecodeMinSide() const { return m_nDecodeMinSide; }
    void SetDecodeMinSide(uint32_t side) { m_nDecodeMinSide = side; }
    void SetNumFrames(long n) { info.nNumFrames = int32_t(n); }
    long GetTransIndex() const { return info.nBkgndIndex; }
    void SetTransIndex(long idx) { info.nBkgndIndex = int32_t(idx); }
    void SetTransColor(RGBQUAD c) { info.nBkgndColor = c; }
    RGBQUAD GetTransColor() const;
    bool IsTransparent() const { return info.nBkgndIndex >= 0; }
    // The colour the file asks its transparent parts to be shown over (a PNG's
    // bKGD); false when it names none.
    bool GetFileBackground(RGBQUAD* colour) const;
    void SetFileBackground(RGBQUAD colour);
    bool IsIndexed() const { return head.biClrUsed != 0; }
    bool IsValid() const { return pDib != nullptr; }
    void GetOffset(long* x, long* y) const
    {
        *x = info.xOffset;
        *y = info.yOffset;
    }
    void SetOffset(long x, long y)
    {
        info.xOffset = int32_t(x);
        info.yOffset = int32_t(y);
    }
    long GetXDPI() const { return info.xDPI; }
    long GetYDPI() const { return info.yDPI; }
    void SetXDPI(long dpi);
    void SetYDPI(long dpi);
    uint8_t GetJpegQuality() const { return info.nQuality; }
    void SetJpegQuality(uint8_t q) { info.nQuality = q; }
    long GetProgress() const { return info.nProgress; }
    void SetProgress(long p) { info.nProgress = int32_t(p); }
    long GetEscape() const { return EscapeFlag(info.nEscape).load(std::memory_order_relaxed); }
    void SetEscape(long e) { EscapeFlag(info.nEscape).store(int32_t(e), std::memory_order_relaxed); }
    bool IsEnabled() const { return info.bEnabled; }
    void Enable(bool enable = true) { info.bEnabled = enable; }
    bool HasSelection() const { return pSelection != nullptr; }
    void GetSelectionBox(RECT& r) const { r = info.rSelectionBox; }
    bool HasAlpha() const { return pAlpha != nullptr; }
    uint8_t AlphaGetMax() const { return info.nAlphaMax; }
    void AlphaSetMax(uint8_t max) { info.nAlphaMax = max; }
    bool IsAlphaPaletteEnabled() const { return info.bAlphaPaletteEnabled; }
    void AlphaPaletteEnable(bool enable = true) { info.bAlphaPaletteEnabled = enable; }
    const char* GetLastError() const { return info.szLastError; }
    // A file that ends early still decodes to what it holds; this says what
    // was missing ("the pixel data stops after 3 of 8 rows"), empty when the
    // whole file was there.
    const char* GetTruncation() const { return info.szTruncation; }
    bool IsTruncated() const { return info.szTruncation[0] != '\0'; }
    void* GetDIB() const { return pDib; }
    uint8_t* GetBits(uint32_t row = 0) const;
    uint32_t GetSize() const;
    uint32_t GetPaletteSize() const { return head.biClrUsed * 4; }
    bool IsInside(long x, long y) const;
    static const char* GetVersion() { return "Raster 5.00"; }

    const ImageInfo& Info() const { return info; }
    const BITMAPINFOHEADER& Header() const { return head; }

    // --- palette and pixels ---
    RGBQUAD* GetPalette() const;
    void SetPalette(const RGBQUAD* entries, uint32_t count = 256);
    void SetPaletteIndex(uint8_t index, uint8_t r, uint8_t g, uint8_t b, uint8_t alpha = 0);
    RGBQUAD GetPaletteColor(uint8_t index) const;
    uint8_t GetPixelIndex(long x, long y) const;
    void SetPixelIndex(long x, long y, uint8_t index);
    RGBQUAD GetPixelColor(long x, long y) const;
    void SetPixelColor(long x, long y, RGBQUAD c);
    uint8_t GetNearestIndex(RGBQUAD c) const;
    uint8_t AlphaGet(long x, long y) const;
    // Plane management used by decoders and transforms.
    bool AlphaCreate();
    void AlphaDelete();
    void AlphaSet(long x, long y, uint8_t level);
    uint8_t* AlphaGetPointer(long x = 0, long y = 0) const;
    bool SelectionCreate();
    void SelectionDelete();
    uint8_t* SelectionGetPointer(long x = 0, long y = 0) const;
    bool SelectionIsInside(long x, long y) const;

    // --- decoding ---
    // Opens and decodes the file. With `quiet`, no box at all is shown for
    // this load (none of the file, GIF or PNG errors); the last error still
    // says what went wrong.
    bool Load(const char* fileName, uint32_t type, bool quiet = false);
    bool Decode(CRasterFile* in, uint32_t type);
    bool Decode(FILE* stream, uint32_t type);
    bool Decode(unsigned char* data, uint32_t size, uint32_t type);
    // Decodes one of the program's own pictures, kept as resources (see
    // raster_resource.h), e.g. LoadResource("PNG", 165, FormatPng).
    bool LoadResource(const char* resourceType, int resourceId, uint32_t type);

    // --- writing ---
    bool Encode(CRasterFile* out, CRaster** frames, int count, uint32_t type);

    // --- geometric transforms ---
    bool Resample(long newWidth, long newHeight, int mode = 1);
    bool Flip();
    bool Mirror();
    bool RotateLeft(CRaster* target = nullptr);
    bool RotateRight(CRaster* target = nullptr);
    bool Crop(long left, long top, long right, long bottom, CRaster* target = nullptr);
    bool Crop(const RECT& rect, CRaster* target = nullptr)
    {
        return Crop(rect.left, rect.top, rect.right, rect.bottom, target);
    }

    // --- colour depth and colour ---
    bool DecreaseBpp(uint32_t bpp, bool errorDiffusion, const RGBQUAD* palette = nullptr);
    bool IncreaseBpp(uint32_t bpp);
    bool Light(long brightness, long contrast);
    // Shows the picture over `background` as its alpha plane says and drops
    // the plane, leaving a 24-bit picture with the same information block.
    // True at once without an alpha plane; false without pixels.
    bool AlphaCompose(RGBQUAD background);
    void SetStdPalette();
    void SetGrayPalette();

    // --- drawing ---
    long Draw(RasterSurface* surface, long x, long y, long cx = -1, long cy = -1, const RECT* clip = nullptr);
    long Draw(RasterSurface* surface, const RECT& rect, const RECT* clip = nullptr)
    {
        return Draw(surface, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, clip);
    }
    // A drawing-side copy of the picture; null without pixels.
    RasterBitmap* MakeBitmap() const;

protected:
    void Startup(uint32_t type);
    // Copies src's information block into this picture's, the escape field
    // atomically, and clears a block the same way.
    void AssignInfo(const ImageInfo& src);
    void ClearInfo();
    void SetLastError(const char* text);
    void SetTruncation(const char* text);
    void CopyPaletteRaw(const CRaster& src);
    // Makes this picture src's size and type at `bpp` bits a pixel, carrying
    // over src's selection and alpha planes; false when it cannot be made.
    bool CreateAtDepthOf(const CRaster& src, uint32_t bpp);

    void* pDib;                // the packed bitmap block, or null
    BITMAPINFOHEADER head;     // kept here and as the first 40 bytes of the block
    ImageInfo info;
    uint8_t* pSelection;       // width x height, row y at y*width
    uint8_t* pAlpha;           // width x height, row y at y*width; 0 transparent, 255 opaque
    uint32_t m_nDecodeMinSide = 0; // see SetDecodeMinSide
};

// The format whose signature a file starts with: BMP "BM", GIF "GIF8", JPEG
// FF D8 FF, PNG its eight bytes; FormatUnknown for anything else.
uint32_t RasterFormatFromSignature(const unsigned char* head, size_t size);
// Whether the decoder of `format` takes a file that starts with `head`, as far
// as its first bytes tell: false when it would refuse the signature.
bool RasterDecoderAcceptsSignature(uint32_t format, const unsigned char* head, size_t size);

// Checked arithmetic for picture sizes: bytes of one row padded to 4 bytes, and
// the whole pixel block. Both return false when the result would overflow or
// pass kMaxRasterBlockBytes.
bool RasterRowBytes(uint64_t width, uint32_t bpp, uint64_t* rowBytes);
bool RasterBlockBytes(uint64_t width, uint64_t height, uint32_t bpp, uint64_t* blockBytes);
