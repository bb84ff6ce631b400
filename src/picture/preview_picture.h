// CPreviewPicture: the phone-sized result shown in the picture editor's preview
// box. It draws on the holder's surface (SetSurface).
#pragma once

#include <cstdint>

#include "picture_holder.h"

class CPreviewPicture : public CPictureHolder {
public:
    CPreviewPicture() = default;
    // Takes owner, surface, position, path and format of `other` and a full copy of its
    // picture (pixels, palette, selection and alpha).
    explicit CPreviewPicture(const CPictureHolder& other);

    // Draws the picture at its own size at (m_x, m_y), clipped to itself.
    // Returns the drawing result, 0 when nothing was drawn.
    long DrawPreview() const;

    // Brightens (amount > 0) or darkens the picture; amount 1.0 is a shift of 128.
    void ApplyLightness(double amount);

    // Drawing amounts, companion pictures and the background switch of the
    // preview; the editor never sets them, so a preview is always drawn plainly.
    double m_dAmount[9] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    CRaster* m_pLayer[4] = {nullptr, nullptr, nullptr, nullptr};
    bool m_bBackground = false;
};
