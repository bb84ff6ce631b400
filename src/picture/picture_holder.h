// CPictureHolder: one picture loaded from a file and drawn into a window.
//
// Every picture file the wizard opens goes through CPictureHolder::Load: the
// format comes from the file name's extension (or from the content, when the
// extension's decoder refuses the file's signature), one frame is decoded, and
// formats the calling operation does not accept are refused with a message box
// that says why. ConvertToGifPalette turns a decoded picture into an 8-bit
// picture with an optimised 256-colour palette so that it can become a GIF frame.
//
// This code knows nothing of widgets: the owner window is an opaque pointer and
// the boxes go through a hook that the wizard (or the batch tool) installs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "raster.h"

// Bits of the allowed-format mask of CPictureHolder::Load (they may be combined).
enum PictureFormatMask : uint32_t {
    kAllowJpeg = 1,        // JPEG
    kAllowPng = 2,         // PNG
    kAllowStill = 4,       // BMP, and GIF files with exactly one frame
    kAllowGif = 8,         // GIF files with one frame or with several (animated)
    kAllowAll = 15,        // what every caller of the program passes
};

// Shows one message box of the loading rules (OK button) on behalf of `owner`
// (the holder's m_pOwner, an opaque handle that may be null: the hook must not
// take it for a window or a surface). The wizard installs a function that
// shows a real box with the program's title as caption; the batch tool prints
// to stderr; tests record. Without a hook the boxes are dropped, and so are
// those of a thread that loads quietly (CRasterQuietScope, raster.h).
using PictureBoxHook = void (*)(void* owner, const char* text);
PictureBoxHook SetPictureBoxHook(PictureBoxHook hook); // returns the previous hook
void ShowPictureBox(void* owner, const char* text);

// The ImageFormat code for a path, from the text after its last dot, compared
// without case: bmp 1; gif 2; jpg, jpeg, jpe 3; png 4. 0 for anything else,
// including a name without a dot.
uint32_t PictureFormatFromPath(const std::string& path);

// The format to decode a file with, from `byExtension` (the one its extension
// names) and the file's first bytes `head` (kPictureSignatureBytes of them, or
// fewer for a shorter file): the extension's format, unless that format's
// decoder would refuse the signature and the content carries the signature of
// another format (a PNG named .jpg).
inline constexpr size_t kPictureSignatureBytes = 16;
uint32_t PictureFormatToDecode(uint32_t byExtension, const unsigned char* head, size_t size);

// Makes `picture` an 8-bit GIF frame: 24-bit pictures get a 256-colour palette
// built by octree quantisation and are reduced with error diffusion; pictures
// of 8 bits or fewer keep their pixels. Then number of frames 1 and type GIF.
// False (after a "Header File Error" box) when the picture has no pixels.
bool ConvertToGifPalette(CRaster* picture);

// A colour (0xRRGGBB) and how many pixels show it.
struct ColourCount {
    uint32_t rgb = 0;
    uint32_t count = 0;
};
// The same octree quantisation for colours already counted, with at most
// `maxColours` (1 to 256) entries; the colours are added in the order given.
// Returns the entries, as many as the tree kept.
std::vector<RGBQUAD> OctreePalette(const std::vector<ColourCount>& colours, unsigned maxColours);

// Makes a picture with an alpha plane opaque, as a GIF frame must be: it is
// shown over the background the PNG decoder gives the other transparent kinds
// of PNG (the file's own background colour, else grey 192) and loses the
// plane. Pictures without an alpha plane are left alone. False without pixels.
bool ComposeOverBackground(CRaster* picture);

class CPictureHolder {
public:
    CPictureHolder();
    virtual ~CPictureHolder();
    CPictureHolder(const CPictureHolder&) = delete;
    CPictureHolder& operator=(const CPictureHolder&) = delete;

    // Size of the held picture; 0 when there is none.
    virtual long GetWidth() const;
    virtual long GetHeight() const;

    // Loads frame `frame` of the file at `path`, accepting only the formats in
    // `allowedMask` (PictureFormatMask bits). A missing or unknown extension
    // returns false silently; every other refusal shows one box and returns false.
    // A file whose extension lies (a PNG named .jpg) is read, and checked
    // against the mask, as what its content is; m_nFormat names that format.
    bool Load(const std::string& path, uint32_t allowedMask, long frame = 0);

    // Takes ownership of `image` (deleting the previous picture); the holder no
    // longer names a file: m_strPath empty, m_nFormat 0. A null image is refused.
    bool SetImage(CRaster* image);

    // Converts the held picture with ConvertToGifPalette unless it is already
    // a GIF picture (m_nFormat 2). Always true.
    bool EnsureGifPalette();

    CRaster* GetImage() const { return m_pImage; }
    void SetOwner(void* owner) { m_pOwner = owner; }
    void* GetOwner() const { return m_pOwner; }
    // Where the holder draws: the page's drawing surface (null: nothing is drawn).
    void SetSurface(RasterSurface* surface) { m_pSurface = surface; }
    RasterSurface* GetSurface() const { return m_pSurface; }
    const std::string& GetPath() const { return m_strPath; }
    int32_t GetFormat() const { return m_nFormat; }

    void* m_pOwner = nullptr;     // the page the holder belongs to, an opaque handle; null until set
    RasterSurface* m_pSurface = nullptr; // the drawing surface of that page; null until set
    int32_t m_x = 0;              // draw position in the owner's client area
    int32_t m_y = 0;
    std::string m_strPath;        // last file loaded, empty after SetImage
    int32_t m_nFormat = 0;        // ImageFormat code of that file, 0 after SetImage
    CRaster* m_pImage = nullptr;  // the picture as loaded, owned; null until a load succeeds
};
