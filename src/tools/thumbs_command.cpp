// tessary-anim thumbs FOLDER -o OUTFOLDER [--json]
//
// The content page's thumbnails without a window: the same worker lists the
// folder and makes the thumbnails on its thread, in the list's order; this
// thread writes each one as it arrives.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "picture_holder.h"
#include "progress_bar.h"
#include "thumbnail_worker.h"
#include "tool_command.h"
#include "tool_support.h"
#include "utf8_text.h"

namespace {

const char kThumbsHelp[] =
    "usage: tessary-anim thumbs FOLDER -o OUTFOLDER [--json]\n"
    "\n"
    "Makes the 64 x 64 thumbnails the wizard's content page shows for FOLDER:\n"
    "one for each picture file (by extension: bmp, gif, jpg, jpeg, jpe, png),\n"
    "in the list's order (names sorted by their bytes; hidden files, folders\n"
    "and anything that is not a regular file left out). A file that cannot be\n"
    "read gets the stand-in picture, with a warning.\n"
    "\n"
    "Thumbnail K (from 0) is written as OUTFOLDER/KKKK.pam (PAM, TUPLTYPE\n"
    "RGB_ALPHA, top row first); its alpha is 0 exactly where the list shows\n"
    "its own background. OUTFOLDER is made when it does not exist.\n"
    "\n"
    "  -o OUTFOLDER  where the thumbnails go\n"
    "  --json        print one JSON array with an object per thumbnail:\n"
    "                {\"name\", \"format\" (1 BMP, 2 GIF, 3 JPEG, 4 PNG, the decoder\n"
    "                used), \"box\": [x, y, width, height] (where the picture sits\n"
    "                in the square, from the top-left), \"thumbnail\" (the file)}\n"
    "\n"
    "Progress is drawn on a terminal, nothing when the output is piped.\n";

// What the worker hands over, queued for this thread.
class Collector : public ThumbnailListener {
public:
    void OnScanStarted(uint64_t, const std::string&) override {}
    void OnThumbnail(const ThumbnailItem& item) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_items.push_back(item);
        m_changed.notify_one();
    }
    void OnScanEnded(uint64_t, bool) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_ended = true;
        m_changed.notify_one();
    }
    // The next thumbnail; false once the scan has ended and all were taken.
    bool Next(ThumbnailItem* item)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [this] { return !m_items.empty() || m_ended; });
        if (m_items.empty())
            return false;
        *item = std::move(m_items.front());
        m_items.pop_front();
        return true;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<ThumbnailItem> m_items;
    bool m_ended = false;
};

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char ch : ValidUtf8(text)) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// Writes the thumbnail under a temporary name beside `path` and renames it
// into place when complete. No flush to the disk: a thumbnail is cheap to
// make again, and a folder of them would otherwise wait for the disk once
// per file.
bool WriteThumbnail(const ThumbnailItem& item, int side, const std::string& path, std::string* error)
{
    std::string temp;
    const int fd = CreateTempBeside(path, &temp, error);
    if (fd < 0)
        return false;
    FILE* fp = fdopen(fd, "wb");
    if (!fp) {
        *error = "cannot write '" + path + "': " + std::strerror(errno);
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    std::fprintf(fp, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", side, side);
    std::vector<unsigned char> bytes;
    bytes.reserve(item.pixels.size() * 4);
    for (const uint32_t argb : item.pixels) {
        bytes.push_back(static_cast<unsigned char>(argb >> 16));
        bytes.push_back(static_cast<unsigned char>(argb >> 8));
        bytes.push_back(static_cast<unsigned char>(argb));
        bytes.push_back(static_cast<unsigned char>(argb >> 24));
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    const mode_t mask = umask(0);
    umask(mask);
    ok = fchmod(fileno(fp), 0666 & ~mask) == 0 && ok;
    ok = std::fclose(fp) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    unlink(temp.c_str());
    return false;
}

// Checks the folder to read before the worker sees it, so that a bad one is
// a clear message rather than an empty list.
bool CheckInputFolder(const std::string& folder, std::string* error)
{
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) {
        *error = errno == ENOENT || errno == ENOTDIR ? "thumbs: " + folder + " not found"
                                                     : "thumbs: cannot read " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        *error = "thumbs: " + folder + " is not a folder";
        return false;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        *error = "thumbs: cannot read the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    closedir(dir);
    return true;
}

bool PrepareOutputFolder(const std::string& folder, std::string* error)
{
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        *error = "thumbs: the output " + folder + " exists and is not a folder";
        return false;
    }
    if (mkdir(folder.c_str(), 0777) != 0) {
        *error = "thumbs: cannot make the output folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// How many thumbnails the worker's scan of `folder` will make: its picture
// files, by the same listing and the same extensions.
int64_t CountPictureFiles(const std::string& folder)
{
    std::vector<FolderEntry> entries;
    ListFolderEntries(FolderWithSlash(folder), "*.*", entries);
    int64_t count = 0;
    for (const FolderEntry& entry : entries)
        count += PictureFormatFromPath(entry.name) != FormatUnknown ? 1 : 0;
    return count;
}

} // namespace

int RunThumbsCommand(int argc, char** argv)
{
    if (WantsHelp(argc, argv)) {
        std::fputs(kThumbsHelp, stdout);
        return 0;
    }
    std::string folder;
    std::string out;
    bool json = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o") {
            if (i + 1 >= argc)
                return Fail("thumbs: -o needs a value");
            out = argv[++i];
        } else if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("thumbs: unknown option '" + arg + "'");
        } else if (folder.empty()) {
            folder = arg;
        } else {
            return Fail("thumbs: only one FOLDER may be given");
        }
    }
    if (folder.empty())
        return Fail("thumbs: no FOLDER given (see tessary-anim thumbs --help)");
    if (out.empty())
        return Fail("thumbs: no output folder given (-o OUTFOLDER)");
    std::string error;
    if (!CheckInputFolder(folder, &error) || !PrepareOutputFolder(out, &error))
        return Fail(error);

    const std::string outFolder = FolderWithSlash(out);
    CProgressBar bar;
    // A file added while the thumbnails are made may pass the count.
    const int64_t expected = bar.Shown() ? CountPictureFiles(folder) : 0;
    Collector collector;
    CThumbnailWorker worker(collector);
    worker.RestartScan(folder);

    std::string listing = "[";
    bool failed = false;
    ThumbnailItem item;
    while (collector.Next(&item)) {
        char file[32];
        std::snprintf(file, sizeof file, "%04d.pam", int(item.index));
        const std::string path = outFolder + file;
        if (!WriteThumbnail(item, kThumbnailSide, path, &error)) {
            failed = true;
            break;
        }
        if (item.fallback)
            Warn(item.name + " cannot be read as a picture; its thumbnail shows the stand-in picture");
        const int64_t made = int64_t(item.index) + 1;
        bar.Update(made, std::max(expected, made), std::to_string(made) + " of " +
                                                       std::to_string(std::max(expected, made)) + ": " + item.name);
        if (item.index > 0)
            listing += ",";
        listing += "\n  {\"name\": " + JsonString(item.name) + ", \"format\": " + std::to_string(item.format) +
                   ", \"box\": [" + std::to_string(item.box.x) + ", " + std::to_string(item.box.y) + ", " +
                   std::to_string(item.box.width) + ", " + std::to_string(item.box.height) +
                   "], \"thumbnail\": " + JsonString(path) + "}";
    }
    worker.Stop();
    bar.Finish();
    if (failed)
        return Fail("thumbs: " + error);
    if (json)
        std::printf("%s\n]\n", listing.c_str());
    return 0;
}
