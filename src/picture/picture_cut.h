// The editor's cut-out in one step: the part of a picture under the selection
// scaled to the phone size, as Crop into a new picture followed by
// Resample(width, height, 0) gives it, byte for byte.
//
// The picture editor makes a cut-out on every mouse move of a drag. Its
// pictures are 8-bit palette pictures (the animation's frames and the pictures
// chosen for insertion are reduced to a palette), and for them the two library
// steps cost far more than the result needs: the crop copies every row under
// the selection although the smoothing reads four pixels per result pixel, and
// each result pixel looks for its nearest palette colour through all 256
// entries. Here the smoothing reads the picture where it lies and the palette
// is searched in order of brightness, stopping as soon as no entry further on
// can be nearer; the nearest entry found is the same, ties going to the
// lowest index as before. Other pictures go through Crop and Resample.
#pragma once

#include "raster.h"

// The part [left, right) x [top, bottom) of `source` (picture pixels counted
// from the top row; clamped to the picture, reversed edges swapped) scaled to
// width x height. Null when nothing of the picture lies under it. The caller
// owns the result. `source` is left as it is (it is not const only because
// Crop, which the other pictures go through, is not).
CRaster* CutAndScale(CRaster& source, long left, long top, long right, long bottom, long width, long height);
