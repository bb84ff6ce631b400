#include "tool_support.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "gif_codec.h"
#include "picture_holder.h"
#include "progress_bar.h"
#include "raster.h"
#include "raster_file.h"

int Fail(const std::string& message)
{
    PrintError(message);
    return 1;
}

void PrintError(const std::string& message)
{
    CProgressBar::ClearForMessage();
    std::fprintf(stderr, "tessary-anim: %s\n", message.c_str());
}

void Warn(const std::string& message)
{
    CProgressBar::ClearForMessage();
    std::fprintf(stderr, "tessary-anim: warning: %s\n", message.c_str());
}

bool WantsHelp(int argc, char** argv)
{
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return true;
    }
    return false;
}

bool ParseLong(const std::string& text, long* value)
{
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
        return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0')
        return false;
    *value = v;
    return true;
}

bool ParseLongList(const std::string& text, char separator, std::vector<long>* values)
{
    values->clear();
    size_t start = 0;
    while (true) {
        const size_t sep = text.find(separator, start);
        long v = 0;
        if (!ParseLong(text.substr(start, sep == std::string::npos ? std::string::npos : sep - start), &v))
            return false;
        values->push_back(v);
        if (sep == std::string::npos)
            return true;
        start = sep + 1;
    }
}

std::string LowerExtension(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// The loading rules show a failed decode's text once more after the decoder's
// own box (PNG and GIF show one); on a console that would say it twice.
static std::string g_lastLibraryText;

static void PrintRasterBox(const char* text, const char* caption, RasterBoxIcon)
{
    g_lastLibraryText = text ? text : "";
    CProgressBar::ClearForMessage();
    if (text && *text)
        std::fprintf(stderr, "tessary-anim: %s: %s\n", caption, text);
    else
        std::fprintf(stderr, "tessary-anim: %s\n", caption);
}

static void PrintPictureBox(void*, const char* text)
{
    const bool repeated = text && g_lastLibraryText == text;
    g_lastLibraryText.clear();
    if (text && *text && !repeated) {
        CProgressBar::ClearForMessage();
        std::fprintf(stderr, "tessary-anim: %s\n", text);
    }
}

void InstallConsoleBoxes()
{
    SetRasterMessageHandler(PrintRasterBox);
    SetPictureBoxHook(PrintPictureBox);
}

bool CheckPictureFile(const std::string& path, LoadFailure* failure)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            *failure = {LoadFailure::NotFound, path + " not found", "not found"};
        else
            *failure = {LoadFailure::Unreadable, "cannot read " + path + ": " + std::strerror(errno),
                        std::string("cannot be read: ") + std::strerror(errno)};
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *failure = {LoadFailure::Folder, path + " is a folder, not a picture", "a folder, not a picture"};
        return false;
    }
    if (st.st_size == 0) {
        *failure = {LoadFailure::Empty, path + " is empty", "the file is empty"};
        return false;
    }
    if (access(path.c_str(), R_OK) != 0) {
        const std::string reason = std::strerror(errno);
        *failure = {LoadFailure::Unreadable, "cannot read " + path + ": " + reason, "cannot be read: " + reason};
        return false;
    }
    if (PictureFormatFromPath(path) == FormatUnknown) {
        const std::string what = "unknown picture type (use .bmp, .gif, .jpg, .jpeg, .jpe or .png)";
        *failure = {LoadFailure::UnknownType, path + ": " + what, what};
        return false;
    }
    return true;
}

namespace {

// The texts kept by the live CBoxCollector.
std::vector<std::string>* g_collected = nullptr;

void Collect(const char* text)
{
    if (!g_collected || !text || !*text)
        return;
    if (std::find(g_collected->begin(), g_collected->end(), text) == g_collected->end())
        g_collected->push_back(text);
}

// The captions only say which box it was ("Gif error", the file's name).
void CollectRasterBox(const char* text, const char*, RasterBoxIcon)
{
    Collect(text);
}

void CollectPictureBox(void*, const char* text)
{
    Collect(text);
}

const char* FormatWord(uint32_t format)
{
    switch (format) {
    case FormatBmp:
        return "BMP";
    case FormatGif:
        return "GIF";
    case FormatJpeg:
        return "JPEG";
    case FormatPng:
        return "PNG";
    default:
        return "picture";
    }
}

} // namespace

CBoxCollector::CBoxCollector()
{
    static std::vector<std::string> texts;
    texts.clear();
    g_collected = &texts;
    SetRasterMessageHandler(CollectRasterBox);
    SetPictureBoxHook(CollectPictureBox);
}

CBoxCollector::~CBoxCollector()
{
    g_collected = nullptr;
    InstallConsoleBoxes();
}

LoadFailure CBoxCollector::DecodeFailure(const std::string& path, long frame) const
{
    const std::string what = frame == 0 ? path : path + ": frame " + std::to_string(frame);
    const std::string cause =
        std::string("cannot be read as a ") + FormatWord(PictureFormatFromPath(path)) + " picture";
    std::string details;
    for (const std::string& text : *g_collected)
        details += (details.empty() ? "" : "; ") + text;
    if (details.empty())
        return {LoadFailure::Undecodable, what + " " + cause, cause};
    return {LoadFailure::Undecodable, what + " " + cause + " (" + details + ")", cause + ": " + details};
}

bool LoadPicture(const std::string& path, long frame, CPictureHolder& holder, std::string* error)
{
    LoadFailure failure;
    if (!CheckPictureFile(path, &failure)) {
        *error = failure.sentence;
        return false;
    }
    CBoxCollector boxes;
    if (!holder.Load(path, kAllowAll, 0) || !holder.GetImage()) {
        *error = boxes.DecodeFailure(path).sentence;
        return false;
    }
    if (frame == 0) {
        WarnIfTruncated(path, holder.GetImage());
        return true;
    }
    // Frame 0 tells how many there are; a still picture has that one only.
    const bool gif = holder.GetFormat() == FormatGif;
    const long frames = gif ? holder.GetImage()->GetNumFrames() : 1;
    if (frame >= frames) {
        *error = path + ": frame " + std::to_string(frame) + " of a " +
                 (gif ? std::to_string(frames) + "-frame GIF" : std::string("still picture")) +
                 " does not exist (frames count from 0)";
        return false;
    }
    if (!holder.Load(path, kAllowAll, frame) || !holder.GetImage()) {
        *error = boxes.DecodeFailure(path, frame).sentence;
        return false;
    }
    WarnIfTruncated(path, holder.GetImage());
    return true;
}

void WarnIfTruncated(const std::string& path, const CRaster* picture)
{
    if (picture && picture->IsTruncated())
        Warn(path + ": " + picture->GetTruncation());
}

int CreateTempBeside(const std::string& path, std::string* tempPath, std::string* error)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        *error = "'" + path + "' is not a file name";
        return -1;
    }
    std::string pattern = folder + "." + name + ".tmp-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) {
        *error = "cannot write '" + path + "': " + std::strerror(errno);
        return -1;
    }
    *tempPath = buffer.data();
    return fd;
}

COutputFile::~COutputFile()
{
    Discard();
}

bool COutputFile::Open(const std::string& path, std::string* error)
{
    Discard();
    m_path = path;
    const int fd = CreateTempBeside(path, &m_tempPath, error);
    if (fd < 0)
        return false;
    m_fp = fdopen(fd, "wb");
    if (!m_fp) {
        *error = "cannot write '" + path + "': " + std::strerror(errno);
        close(fd);
        unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    return true;
}

bool COutputFile::Commit(std::string* error)
{
    if (!m_fp) {
        *error = "cannot write '" + m_path + "'";
        return false;
    }
    bool ok = std::fflush(m_fp) == 0 && !std::ferror(m_fp);
    ok = ok && fsync(fileno(m_fp)) == 0;
    // mkstemp creates the file readable by its owner only; give it the usual rights.
    const mode_t mask = umask(0);
    umask(mask);
    ok = ok && fchmod(fileno(m_fp), 0666 & ~mask) == 0;
    const int savedErrno = errno;
    ok = (std::fclose(m_fp) == 0) && ok;
    m_fp = nullptr;
    if (ok && std::rename(m_tempPath.c_str(), m_path.c_str()) == 0) {
        m_tempPath.clear();
        return true;
    }
    *error = "cannot write '" + m_path + "': " + std::strerror(errno ? errno : savedErrno);
    Discard();
    return false;
}

void COutputFile::Discard()
{
    if (m_fp) {
        std::fclose(m_fp);
        m_fp = nullptr;
    }
    if (!m_tempPath.empty()) {
        unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

bool WritePortableMap(const CRaster& picture, const std::string& path, std::string* error)
{
    const std::string ext = LowerExtension(path);
    if (ext != "ppm" && ext != "pam") {
        *error = "'" + path + "': the output must end in .ppm or .pam";
        return false;
    }
    if (!picture.IsValid()) {
        *error = "the picture has no pixels";
        return false;
    }
    const long width = long(picture.GetWidth());
    const long height = long(picture.GetHeight());
    const bool withAlpha = ext == "pam" && picture.HasAlpha();
    const int channels = withAlpha ? 4 : 3;

    COutputFile out;
    if (!out.Open(path, error))
        return false;
    if (ext == "ppm")
        std::fprintf(out.Stream(), "P6\n%ld %ld\n255\n", width, height);
    else
        std::fprintf(out.Stream(), "P7\nWIDTH %ld\nHEIGHT %ld\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n", width,
                     height, channels, withAlpha ? "RGB_ALPHA" : "RGB");

    std::vector<unsigned char> row(size_t(width) * size_t(channels));
    for (long y = height - 1; y >= 0; --y) {
        unsigned char* p = row.data();
        for (long x = 0; x < width; ++x) {
            const RGBQUAD c = picture.GetPixelColor(x, y);
            *p++ = c.rgbRed;
            *p++ = c.rgbGreen;
            *p++ = c.rgbBlue;
            if (withAlpha)
                *p++ = picture.AlphaGet(x, y);
        }
        std::fwrite(row.data(), 1, row.size(), out.Stream());
    }
    return out.Commit(error);
}

bool PrepareGifFrame(CRaster& picture)
{
    if (picture.GetBpp() <= 8)
        return picture.IsValid();
    const uint32_t delay = picture.GetFrameDelay();
    if (!ConvertToGifPalette(&picture))
        return false;
    picture.SetFrameDelay(delay);
    return true;
}

const char kGifWriteOptionsHelp[] =
    "  --lzw                  compress with LZW: smaller files, same pixels\n"
    "  --optimize             LZW, and every frame after the first stores only\n"
    "                         what changed: smaller still, same pixels\n";

bool ParseGifWriteOption(const std::string& arg, GifWriteOptions* options)
{
    if (arg == "--lzw") {
        options->bLzw = true;
        return true;
    }
    if (arg == "--optimize") {
        options->bLzw = true;
        options->bDifferencing = true;
        return true;
    }
    return false;
}

bool WriteGifFile(CRaster** frames, int count, const std::string& path, const GifWriteOptions& options,
                  std::string* error)
{
    if (LowerExtension(path) != "gif") {
        *error = "'" + path + "': the output must end in .gif";
        return false;
    }
    COutputFile out;
    if (!out.Open(path, error))
        return false;
    CRasterIOFile stream(out.Stream());
    CRasterGifCodec writer;
    writer.SetWriteOptions(options);
    errno = 0;
    if (!writer.Encode(&stream, frames, count)) {
        // A refused write leaves its reason (a full disk, a size limit) in errno.
        if (errno != 0 && std::ferror(out.Stream()))
            *error = "cannot write '" + path + "': " + std::strerror(errno);
        else
            *error = std::string("cannot write the animation: ") + writer.GetLastError();
        return false;
    }
    return out.Commit(error);
}
