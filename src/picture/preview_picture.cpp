#include "preview_picture.h"

#include "edit_picture.h"

CPreviewPicture::CPreviewPicture(const CPictureHolder& other)
{
    m_pOwner = other.m_pOwner;
    m_pSurface = other.m_pSurface;
    m_x = other.m_x;
    m_y = other.m_y;
    m_strPath = other.m_strPath;
    m_nFormat = other.m_nFormat;
    if (other.m_pImage)
        m_pImage = new CRaster(*other.m_pImage, true, true, true);
}

long CPreviewPicture::DrawPreview() const
{
    RasterSurface* surface = GetSurface();
    if (!surface || !m_pImage)
        return 0;
    const RECT rect{m_x, m_y, m_x + int32_t(m_pImage->GetWidth()), m_y + int32_t(m_pImage->GetHeight())};
    return m_pImage->Draw(surface, rect, &rect);
}

void CPreviewPicture::ApplyLightness(double amount)
{
    ::ApplyLightness(m_pImage, amount);
}
