// The page's drawing surface: a 32-bit pixel buffer the size of the page, shown
// above the page's movie. Pixels that were never drawn on (alpha 0) let the
// movie show through, and the surface never takes the mouse, so the movie still
// receives every click.
#pragma once

#include "raster_types.h"

#include <QImage>
#include <QWidget>
#include <cstdint>

namespace platform {

class DrawingSurface : public QWidget {
    Q_OBJECT
public:
    explicit DrawingSurface(QWidget* parent);

    // Resizes the buffer; what was drawn stays where it fits.
    void ResizeBuffer(int width, int height);

    // A view of the buffer for the image library's Draw, clipped to the clip box.
    RasterSurface Surface();

    // Clip box in surface coordinates (the whole surface unless narrowed).
    RECT ClipBox();
    void SetClipBox(const RECT& clip);
    void ResetClipBox();

    // Fills the rectangle (clipped) with an opaque 0xRRGGBB colour.
    void FillRect(const RECT& rect, uint32_t rgb);
    // Inverts the colour of every pixel of the rectangle (clipped); a pixel never
    // drawn on is inverted from black, so inverting twice restores the picture.
    void InvertRect(const RECT& rect);
    // Copies `width` x `height` pixels 0xAARRGGBB, top row first, to (x, y).
    void SetPixels(int x, int y, int width, int height, const uint32_t* pixels, int stride);
    // Reads one pixel back (0 outside the surface).
    uint32_t Pixel(int x, int y);
    // Forgets everything drawn: the whole movie shows again.
    void Clear();
    // Marks the drawn area as changed so it is shown.
    void Flush() { update(); }

    const QImage& Image();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A hidden widget learns of a new size only when shown; the buffer follows the
    // size of the page (the parent) at once, so a page can draw before it is first
    // shown.
    void SyncSize();
    RECT Clipped(const RECT& rect) const;

    QImage m_image;
    RECT m_clip{0, 0, 0, 0};
};

} // namespace platform
