// Plain picture-related records shared by the raster library and its callers.
// They keep the layout of the packed device-independent bitmap that the library
// stores in one block, so they are byte-exact and carry no behaviour.
#pragma once

#include <cstdint>

#pragma pack(push, 1)

struct RGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};

struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

#pragma pack(pop)

static_assert(sizeof(RGBQUAD) == 4);
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct POINT {
    int32_t x;
    int32_t y;
};

inline RGBQUAD MakeRgbQuad(uint8_t r, uint8_t g, uint8_t b, uint8_t reserved = 0)
{
    return RGBQUAD{b, g, r, reserved};
}

inline bool operator==(const RGBQUAD& a, const RGBQUAD& b)
{
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The part that a and b have in common; when they do not meet, an empty
// rectangle (right == left or bottom == top) at the edge where they part.
inline RECT IntersectRects(const RECT& a, const RECT& b)
{
    RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
           a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

// Format codes of pictures: where a picture came from or what it is meant for.
enum ImageFormat : uint32_t {
    FormatUnknown = 0,
    FormatBmp = 1,
    FormatGif = 2,
    FormatJpeg = 3,
    FormatPng = 4,
};

// A drawing target in memory: 32-bit pixels 0xAARRGGBB, top row first, `stride`
// pixels from one row to the next. `clip` is the current clip box in surface
// coordinates; drawing never touches pixels outside it. A pixel whose alpha byte
// is 0 has not been drawn on (the page's movie shows through there).
struct RasterSurface {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    RECT clip{0, 0, 0, 0};
};
