#include "thumbnail.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "picture_holder.h"
#include "raster_resource.h"

std::string FolderWithSlash(const std::string& folder)
{
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

namespace {

// "*.*" is the pattern that means "every file" where this list comes from;
// a name without a dot matches it too.
bool NameMatches(const std::string& name, const std::string& pattern)
{
    if (pattern.empty() || pattern == "*" || pattern == "*.*")
        return true;
    return fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) == 0;
}

} // namespace

bool ListFolderEntries(const std::string& folder, const std::string& pattern, std::vector<FolderEntry>& entries)
{
    entries.clear();
    if (folder.rfind("::", 0) == 0)
        return false;
    DIR* dir = opendir(FolderWithSlash(folder).c_str());
    if (!dir)
        return false;
    const int dirFd = dirfd(dir);
    bool readError = false;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) {
            readError = errno != 0;
            break;
        }
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || !NameMatches(name, pattern))
            continue;
        // stat, not lstat: a link counts as what it leads to, and one that
        // leads nowhere fails here. stat never opens the file, so a FIFO
        // cannot make the listing wait.
        struct stat st;
        if (fstatat(dirFd, name.c_str(), &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        FolderEntry found;
        found.name = name;
        found.size = int64_t(st.st_size);
        found.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + int64_t(st.st_mtim.tv_nsec);
        found.inode = uint64_t(st.st_ino);
        entries.push_back(std::move(found));
    }
    closedir(dir);
    // std::string compares its bytes as unsigned values, so UTF-8 names sort
    // by their characters' code points.
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return !readError && !entries.empty();
}

bool ListPictureFiles(const std::string& folder, const std::string& pattern, std::vector<std::string>& names)
{
    std::vector<FolderEntry> entries;
    const bool found = ListFolderEntries(folder, pattern, entries);
    names.clear();
    for (FolderEntry& entry : entries)
        names.push_back(std::move(entry.name));
    return found;
}

namespace {

// Decodes the regular file at `path` with the format its extension names (or
// its content, when the extension lies). The file is opened without waiting:
// something that became a FIFO since the listing is refused, not waited on.
bool DecodeRegularFile(const std::string& path, uint32_t byExtension, CRaster& picture, uint32_t* format)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    FILE* fp = fdopen(fd, "rb");
    if (!fp) {
        close(fd);
        return false;
    }
    unsigned char head[kPictureSignatureBytes] = {};
    const size_t size = std::fread(head, 1, sizeof head, fp);
    *format = PictureFormatToDecode(byExtension, head, size);
    bool ok = std::fseek(fp, 0, SEEK_SET) == 0 && picture.Decode(fp, *format);
    std::fclose(fp);
    return ok;
}

} // namespace

uint32_t LoadPictureByExtension(const std::string& path, CRaster& picture, uint32_t decodeMinSide, bool* fallback)
{
    if (fallback)
        *fallback = false;
    const uint32_t byExtension = PictureFormatFromPath(path);
    if (byExtension == FormatUnknown)
        return FormatUnknown;

    // Nothing this load does may show a box, whatever thread it runs on.
    CRasterQuietScope quiet;
    picture.Destroy();
    picture.SetFrame(0);
    picture.SetDecodeMinSide(decodeMinSide);
    uint32_t format = byExtension;
    if (!DecodeRegularFile(path, byExtension, picture, &format)) {
        picture.Destroy();
        picture.LoadResource(kFallbackThumbnailType, kFallbackThumbnailId, FormatPng);
        format = FormatPng;
        if (fallback)
            *fallback = true;
    }
    picture.SetType(format);
    return format;
}

namespace {

bool AllBelow(const RGBQUAD& c, uint8_t limit)
{
    return c.rgbRed < limit && c.rgbGreen < limit && c.rgbBlue < limit;
}

} // namespace

bool MakeSquareThumbnail(CRaster& picture, int side, ThumbnailBox* box)
{
    if (!picture.IsValid() || side <= 0)
        return false;
    if (picture.GetNumColors() < 8)
        picture.IncreaseBpp(8);

    const long width = long(picture.GetWidth());
    const long height = long(picture.GetHeight());
    long boxWidth = width;
    long boxHeight = height;
    bool result = true;
    if (width > side || height > side) {
        // A very long, thin picture keeps at least one pixel across.
        if (width <= height) {
            boxWidth = std::max(1L, width * side / height);
            boxHeight = side;
        } else {
            boxWidth = side;
            boxHeight = std::max(1L, height * side / width);
        }
        result = picture.Resample(boxWidth, boxHeight, 1);
    }

    CRaster copy(picture);
    // After a failed scaling, as much of the unscaled picture as fits.
    boxWidth = std::min(boxWidth, long(copy.GetWidth()));
    boxHeight = std::min(boxHeight, long(copy.GetHeight()));
    picture.Destroy();
    if (!picture.Create(uint32_t(side), uint32_t(side), long(copy.GetBpp()), long(copy.GetType())))
        return false;

    // Rows count from the bottom: dy is the margin below the picture.
    const long dx = (side - boxWidth) / 2;
    const long dy = (side - boxHeight) / 2;
    const bool indexed = copy.GetNumColors() != 0;
    long transparentIndex = -1;
    if (indexed) {
        // Only an entry that is dark already is taken away from black; a red
        // that happens to be the nearest entry to black stays red.
        const uint8_t darkest = copy.GetNearestIndex(MakeRgbQuad(0, 0, 0));
        if (AllBelow(copy.GetPaletteColor(darkest), kThumbnailNearBlack))
            copy.SetPaletteIndex(darkest, kThumbnailPaletteDark, kThumbnailPaletteDark, kThumbnailPaletteDark,
                                    255);
        picture.SetPalette(copy.GetPalette(), 256);
        picture.Clear(0);
        transparentIndex = copy.GetTransIndex();
        for (long y = 0; y < boxHeight; ++y)
            for (long x = 0; x < boxWidth; ++x)
                picture.SetPixelIndex(x + dx, y + dy, copy.GetPixelIndex(x, y));
    } else {
        const RGBQUAD white = MakeRgbQuad(255, 255, 255);
        picture.Clear(255);
        picture.SetTransColor(white);
        for (long y = 0; y < boxHeight; ++y) {
            for (long x = 0; x < boxWidth; ++x) {
                RGBQUAD c = copy.GetPixelColor(x, y);
                if (AllBelow(c, kThumbnailNearBlack))
                    c.rgbRed = c.rgbGreen = c.rgbBlue = kThumbnailNearBlack;
                picture.SetPixelColor(x + dx, y + dy, c);
            }
        }
    }

    // The list shows its own background around the picture and through the
    // picture's own transparent parts.
    if (picture.AlphaCreate()) {
        std::fill(picture.AlphaGetPointer(), picture.AlphaGetPointer() + size_t(side) * size_t(side), uint8_t(0));
        for (long y = 0; y < boxHeight; ++y) {
            for (long x = 0; x < boxWidth; ++x) {
                uint8_t alpha = copy.HasAlpha() ? copy.AlphaGet(x, y) : 255;
                if (transparentIndex >= 0 && copy.GetPixelIndex(x, y) == transparentIndex)
                    alpha = 0;
                picture.AlphaSet(x + dx, y + dy, alpha);
            }
        }
    }

    if (box) {
        box->x = int32_t(dx);
        box->y = int32_t(side - dy - boxHeight);
        box->width = int32_t(boxWidth);
        box->height = int32_t(boxHeight);
    }
    return result;
}

std::vector<uint32_t> ThumbnailPixels(const CRaster& thumbnail)
{
    const long width = long(thumbnail.GetWidth());
    const long height = long(thumbnail.GetHeight());
    std::vector<uint32_t> pixels;
    if (!thumbnail.IsValid())
        return pixels;
    pixels.reserve(size_t(width) * size_t(height));
    for (long row = 0; row < height; ++row) {
        const long y = height - 1 - row;
        for (long x = 0; x < width; ++x) {
            const RGBQUAD c = thumbnail.GetPixelColor(x, y);
            const uint32_t alpha = thumbnail.HasAlpha() ? thumbnail.AlphaGet(x, y) : 255u;
            pixels.push_back((alpha << 24) | (uint32_t(c.rgbRed) << 16) | (uint32_t(c.rgbGreen) << 8) |
                             uint32_t(c.rgbBlue));
        }
    }
    return pixels;
}
