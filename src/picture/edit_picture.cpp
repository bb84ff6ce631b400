#include "edit_picture.h"

#include <memory>

#include "picture_cut.h"
#include "surface_paint.h"

CEditPicture g_picture;

void ApplyLightness(CRaster* picture, double amount)
{
    if (picture && amount != 0.0)
        picture->Light(long(amount * 128), 100);
}

void CEditPicture::ComputeDisplayRect(bool fit)
{
    const int32_t x0 = m_x;
    const int32_t y0 = m_y;
    const double w = m_pImage ? double(m_pImage->GetWidth()) : 0.0;
    const double h = m_pImage ? double(m_pImage->GetHeight()) : 0.0;
    const double box = kBoxSize;

    int32_t shownWidth;
    int32_t shownHeight;
    if (w < box && h < box) {
        shownWidth = int32_t(w);
        shownHeight = int32_t(h);
    } else if (h > w) {
        shownHeight = kBoxSize;
        shownWidth = int32_t((box / h) * w);
    } else if (h < w) {
        shownWidth = kBoxSize;
        shownHeight = int32_t(h * (box / w));
    } else {
        // (182 / w) x w is not always 182 in double precision (310 gives
        // 181.99...), so the other side of a large square can come out at 181.
        const int32_t other = int32_t((box / w) * w);
        shownWidth = fit ? kBoxSize : other;
        shownHeight = fit ? other : kBoxSize;
    }
    m_rcDisplay = RECT{x0, y0, x0 + shownWidth, y0 + shownHeight};
    m_rcClip = m_rcDisplay;
}

void CEditPicture::DrawPicture(bool fit)
{
    RasterSurface* surface = GetSurface();
    surface::FillRect(surface, RECT{m_x, m_y, m_x + kBoxSize, m_y + kBoxSize}, 0x000000);
    ComputeDisplayRect(fit);
    if (surface && m_pImage)
        m_pImage->Draw(surface, m_rcDisplay, &m_rcClip);
}

CRaster* CEditPicture::CropToSize(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width,
                                  int32_t height) const
{
    const int32_t shownWidth = m_rcDisplay.right - m_rcDisplay.left;
    if (!m_pImage || !m_pImage->IsValid() || shownWidth <= 0)
        return nullptr;
    // One scale for both axes: the display keeps the picture's aspect ratio.
    const double scale = double(m_pImage->GetWidth()) / double(shownWidth);
    const long cropLeft = long(scale * (left - m_rcDisplay.left));
    const long cropTop = long(scale * (top - m_rcDisplay.top));
    const long cropRight = long(scale * (right - m_rcDisplay.left));
    const long cropBottom = long(scale * (bottom - m_rcDisplay.top));

    // The result becomes a GIF frame, which cannot hide anything: a picture
    // with an alpha plane is shown over its background before the cut, so
    // that neither the cut nor the smoothing brings hidden colours out.
    CRaster* source = m_pImage;
    CRaster opaque;
    if (m_pImage->HasAlpha()) {
        opaque.Copy(*m_pImage);
        if (!ComposeOverBackground(&opaque))
            return nullptr;
        source = &opaque;
    }
    return CutAndScale(*source, cropLeft, cropTop, cropRight, cropBottom, width, height);
}

CRaster* CEditPicture::FitToSize(int32_t width, int32_t height) const
{
    if (!m_pImage || !m_pImage->IsValid() || width <= 0 || height <= 0)
        return nullptr;
    const CRaster& source = *m_pImage;
    auto result = std::make_unique<CRaster>(uint32_t(width), uint32_t(height), long(source.GetBpp()), 0);
    if (!result->IsValid())
        return nullptr;
    if (source.IsIndexed())
        result->SetPalette(source.GetPalette(), 256);

    const RGBQUAD black = MakeRgbQuad(0, 0, 0);
    for (int32_t x = 0; x < width; ++x)
        for (int32_t y = 0; y < height; ++y)
            result->SetPixelColor(x, y, black);

    const double rs = double(source.GetWidth()) / double(source.GetHeight());
    const double rt = double(width) / double(height);
    int32_t scaledWidth = width;
    int32_t scaledHeight = height;
    if (rt > rs)
        scaledWidth = int32_t(width * rs / rt);
    else
        scaledHeight = int32_t(height * rt / rs);
    // A very thin picture would otherwise scale to nothing and be copied
    // unscaled over the band; one pixel is the thinnest band there is.
    if (scaledWidth < 1)
        scaledWidth = 1;
    if (scaledHeight < 1)
        scaledHeight = 1;
    const int32_t xOffset = (width - scaledWidth) / 2;
    const int32_t yOffset = (height - scaledHeight) / 2;

    CRaster scaled(source, true, true, true);
    // Shown over its background before it is smoothed, as in CropToSize.
    ComposeOverBackground(&scaled);
    scaled.Resample(scaledWidth, scaledHeight, 0);
    const int32_t copyWidth = int32_t(scaled.GetWidth());
    const int32_t copyHeight = int32_t(scaled.GetHeight());
    for (int32_t y = 0; y < copyHeight; ++y)
        for (int32_t x = 0; x < copyWidth; ++x)
            result->SetPixelColor(x + xOffset, y + yOffset, scaled.GetPixelColor(x, y));
    return result.release();
}

void CEditPicture::ApplyLightness(double amount)
{
    ::ApplyLightness(m_pImage, amount);
}

bool CEditPicture::RotateLeft()
{
    return m_pImage && m_pImage->RotateLeft();
}

bool CEditPicture::RotateRight()
{
    return m_pImage && m_pImage->RotateRight();
}

bool CEditPicture::Mirror()
{
    return m_pImage && m_pImage->Mirror();
}

bool CEditPicture::Flip()
{
    return m_pImage && m_pImage->Flip();
}
