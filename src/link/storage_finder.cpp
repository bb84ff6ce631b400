#include "storage_finder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool IsFolder(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// The folders directly inside `path`, sorted by name.
std::vector<std::string> SubFolders(const fs::path& path)
{
    std::vector<std::string> folders;
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsFolder(it->path()))
            folders.push_back(it->path().string());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

bool HasDcimFolder(const fs::path& path)
{
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); });
        if (name == "DCIM" && IsFolder(it->path()))
            return true;
    }
    return false;
}

void Add(std::vector<std::string>& found, const std::string& path)
{
    if (std::find(found.begin(), found.end(), path) == found.end())
        found.push_back(path);
}

} // namespace

std::string DecodeMountField(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

StorageScan CurrentStorageScan()
{
    StorageScan scan;
    std::ifstream mounts("/proc/self/mounts");
    std::stringstream text;
    text << mounts.rdbuf();
    scan.mountTable = text.str();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder =
        (runtime && *runtime) ? std::string(runtime) : "/run/user/" + std::to_string(::getuid());
    scan.gvfsFolder = folder + "/gvfs";
    return scan;
}

std::vector<std::string> FindPhoneStorages(const StorageScan& scan)
{
    std::vector<std::string> found;
    for (const std::string& mount : SubFolders(scan.gvfsFolder)) {
        if (fs::path(mount).filename().string().rfind("mtp:host=", 0) == 0)
            for (const std::string& storage : SubFolders(mount))
                Add(found, storage);
    }
    std::istringstream lines(scan.mountTable);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string source, point, type;
        if (!(fields >> source >> point >> type))
            continue;
        point = DecodeMountField(point);
        if (type == "fuse.jmtpfs" || source == "jmtpfs") {
            for (const std::string& storage : SubFolders(point))
                Add(found, storage);
            continue;
        }
        const bool removable = std::any_of(scan.removableRoots.begin(), scan.removableRoots.end(),
                                           [&](const std::string& root) { return point.rfind(root, 0) == 0; });
        if (removable && HasDcimFolder(point))
            Add(found, point);
    }
    return found;
}

bool ChoosePhoneStorage(const std::vector<std::string>& found, std::string* root, std::string* error)
{
    if (found.size() == 1) {
        *root = found.front();
        return true;
    }
    if (found.empty()) {
        *error = "No phone found: connect the phone, unlock it and choose file transfer.";
        return false;
    }
    std::string list;
    for (const std::string& path : found)
        list += (list.empty() ? "" : ", ") + path;
    *error = "Several phones or memory cards are connected (" + list +
             "): connect only the phone, or set its storage folder.";
    return false;
}
