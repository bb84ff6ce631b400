// CEditPicture: the picture the picture editor works on, with its place in the
// editor's 182 x 182 picture box and the two ways of turning it into a phone
// picture: cutting out the part under the selection, or fitting the whole
// picture on black.
//
// It draws on the holder's surface (SetSurface). Without a surface the geometry
// still works; nothing is drawn.
#pragma once

#include <cstdint>

#include "picture_holder.h"

class CEditPicture : public CPictureHolder {
public:
    // Side of the square picture box the picture is shown in.
    static constexpr int32_t kBoxSize = 182;

    CEditPicture() = default;

    // Works out where the picture is shown in the box at (m_x, m_y): at its own
    // size when it is smaller than the box both ways, otherwise scaled to fit
    // the box from its top-left corner. A square picture fills the width with
    // `fit` and the height without it.
    void ComputeDisplayRect(bool fit);
    // Blackens the box, computes the display rectangle and draws the picture into it.
    void DrawPicture(bool fit);

    // The part of the picture under the selection (page coordinates) resampled
    // to width x height; null when nothing can be cut out. The caller owns it.
    CRaster* CropToSize(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width,
                        int32_t height) const;
    // The whole picture scaled into width x height and centred on black; null
    // without a picture. The caller owns it.
    CRaster* FitToSize(int32_t width, int32_t height) const;

    // Brightens (amount > 0) or darkens the picture; amount 1.0 is a shift of 128.
    void ApplyLightness(double amount);

    bool RotateLeft();
    bool RotateRight();
    bool Mirror();
    bool Flip();

    const RECT& GetDisplayRect() const { return m_rcDisplay; }

    RECT m_rcClip{0, 0, 0, 0};    // clip of the last draw, always equal to m_rcDisplay
    RECT m_rcDisplay{0, 0, 0, 0}; // where the picture was last shown
};

// Light with brightness amount x 128 (truncated toward zero) and contrast 100,
// when the amount is not 0. Shared by the editor's picture, its preview and the
// re-edit of animation frames.
void ApplyLightness(CRaster* picture, double amount);

// The editor's picture, shared by the content page, the animation editor and the picture editor.
extern CEditPicture g_picture;
