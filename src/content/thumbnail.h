// The work behind one thumbnail of the content page's list, without widgets:
// which files of a folder the list shows, how each is loaded (by its
// extension, silently, with a stand-in picture for a file that cannot be
// read) and how it becomes a 64 x 64 square with the list's background
// around it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster.h"

// Side of a thumbnail in pixels.
inline constexpr int kThumbnailSide = 64;
// True-colour pixels whose red, green and blue are all below this limit are
// lightened to it, and a palette's darkest entry becomes kThumbnailPaletteDark
// when it is that dark, so that a picture never carries the black that the
// list takes for its own background.
inline constexpr uint8_t kThumbnailNearBlack = 16;
inline constexpr uint8_t kThumbnailPaletteDark = 15;

// One entry of a folder listing: a regular file that is neither hidden nor a
// folder, with what tells a changed file from the one seen before.
struct FolderEntry {
    std::string name; // without the folder
    int64_t size = 0;
    int64_t modifiedNs = 0; // last modification, nanoseconds since the epoch
    uint64_t inode = 0;
};

// The folder path with exactly one '/' at its end ("/" stays "/").
std::string FolderWithSlash(const std::string& folder);

// Fills `entries` with the regular files of `folder` whose names match
// `pattern` ("*.*" and "*" match every name, as on the system the list was
// first written for; other patterns as the shell matches them), leaving out
// hidden files (a leading dot), folders, links that lead nowhere or to a
// folder, and anything that is not a regular file (a FIFO, a socket, a
// device). The names are sorted by their bytes. True when the list is not
// empty; false for an empty folder, one that cannot be read, or a path that
// starts with "::" (a virtual folder of the shell).
bool ListFolderEntries(const std::string& folder, const std::string& pattern, std::vector<FolderEntry>& entries);
// The names of ListFolderEntries.
bool ListPictureFiles(const std::string& folder, const std::string& pattern, std::vector<std::string>& names);

// Loads the picture file at `path` into `picture` by its extension, without a
// single box on any thread: jpg, jpeg, jpe (any case) give 3 (JPEG), png 4,
// bmp 1, gif 2; any other extension, or none, returns 0 at once and loads
// nothing. A file whose extension lies is read as what its content is. A
// file that cannot be read (or is no regular file by the time it is opened)
// gives the 28 x 28 stand-in picture instead and the code 4; `fallback` (when
// given) says so. The picture's format tag is set to the code returned.
// A `decodeMinSide` other than 0 lets a JPEG be read reduced, as long as its
// shorter side keeps that many pixels (CRaster::SetDecodeMinSide).
uint32_t LoadPictureByExtension(const std::string& path, CRaster& picture, uint32_t decodeMinSide = 0,
                                bool* fallback = nullptr);

// Where the picture sits in its square, counted from the top-left corner.
struct ThumbnailBox {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Turns `picture` into a side x side square with the picture, scaled down
// (nearest pixel) to fit when it is larger, in its middle. Pictures with fewer
// than 8 colours become 8-bit first. Dark colours are lightened as described
// at kThumbnailNearBlack. The square gets an alpha plane: 0 around the
// picture, where the list shows its own background, and inside it the
// picture's own transparency (its alpha plane, or its transparent palette
// index). False only when a needed scaling failed; the square is then made
// from as much of the unscaled picture as fits. `box` (when given) receives
// where the picture sits. A picture without pixels is left alone (false).
bool MakeSquareThumbnail(CRaster& picture, int side, ThumbnailBox* box = nullptr);

// The pixels of a square made by MakeSquareThumbnail as 0xAARRGGBB, top row
// first, alpha straight (not premultiplied).
std::vector<uint32_t> ThumbnailPixels(const CRaster& thumbnail);
