#include "folder_backend.h"

#include "fat_names.h"
#include "utf8_text.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace {

// The part file being written, for the signal handler that removes it.
char g_partPath[PATH_MAX + 1];
volatile sig_atomic_t g_bPartSet = 0;

extern "C" void RemovePartAndExit(int sig)
{
    if (g_bPartSet)
        ::unlink(g_partPath);
    ::_exit(128 + sig);
}

void RememberPart(const std::string& path)
{
    g_bPartSet = 0;
    const std::size_t n = std::min(path.size(), sizeof g_partPath - 1);
    std::memcpy(g_partPath, path.data(), n);
    g_partPath[n] = '\0';
    g_bPartSet = path.size() < sizeof g_partPath ? 1 : 0;
}

void ForgetPart()
{
    g_bPartSet = 0;
}

SendOutcome Failure(int status, const std::string& text)
{
    return SendOutcome{false, status, text};
}

std::string Kilobytes(int64_t bytes)
{
    return std::to_string((bytes + 1023) / 1024) + " KB";
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

ssize_t ReadSome(int fd, char* data, std::size_t size, off_t offset)
{
    for (;;) {
        const ssize_t n = ::pread(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

// True when the file at `path` holds exactly the bytes of the open file `source`.
bool SameContent(int source, int64_t sourceSize, const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != sourceSize)
        return false;
    const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (other < 0)
        return false;
    std::vector<char> a(65536), b(65536);
    off_t offset = 0;
    bool same = true;
    while (same) {
        const ssize_t na = ReadSome(source, a.data(), a.size(), offset);
        const ssize_t nb = ReadSome(other, b.data(), b.size(), offset);
        if (na < 0 || nb < 0 || na != nb)
            same = false;
        else if (na == 0)
            break;
        else
            same = std::memcmp(a.data(), b.data(), static_cast<std::size_t>(na)) == 0;
        offset += na;
    }
    ::close(other);
    return same;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Renames without ever replacing a file; errno EEXIST when the name is taken.
int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // The storage knows no such rename: check, then rename.
    if (Exists(to)) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

bool RenameRefused(int e)
{
    return e == EPERM || e == ENOTSUP || e == EOPNOTSUPP || e == EXDEV || e == ENOSYS || e == EIO;
}

struct PieceWriter {
    int source;
    int64_t total;
    std::string shownName; // the file's name as the user knows it
    CSendProgress& progress;

    // Writes the whole source to `target` (a new file). While `finishing`,
    // progress stays at 99: the rise to it was reported by the first pass.
    SendOutcome Write(const std::string& target, bool finishing)
    {
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int e = errno;
            return Failure(e, "Could not write " + shownName + " on the phone: " + std::strerror(e) + ".");
        }
        RememberPart(target);
        auto fail = [&](int e, const std::string& text) {
            ::close(fd);
            ::unlink(target.c_str());
            ForgetPart();
            return Failure(e, text);
        };
        const std::string sending = "Sending " + shownName + " to the phone";
        std::vector<char> buffer(PieceSize(total));
        int64_t done = 0;
        progress.Event(sending, 0, finishing ? 99 : 0, total);
        for (;;) {
            if (progress.Cancelled())
                return fail(ECANCELED, "The transfer was cancelled.");
            const ssize_t n = ReadSome(source, buffer.data(), buffer.size(), static_cast<off_t>(done));
            if (n < 0) {
                const int e = errno;
                return fail(e, "Could not read " + shownName + ": " + std::strerror(e) + ".");
            }
            if (n == 0)
                break;
            if (!WriteAll(fd, buffer.data(), static_cast<std::size_t>(n))) {
                const int e = errno;
                return fail(e, "Could not write " + shownName + " on the phone: " + std::strerror(e) + ".");
            }
            done += n;
            const int percent =
                finishing ? 99 : static_cast<int>(std::min<int64_t>(99, done * 100 / std::max<int64_t>(total, 1)));
            progress.Event(sending + " (" + Kilobytes(done) + " of " + Kilobytes(total) + ")", done, percent, total);
        }
        // Some storage cannot flush on request; it writes on close, checked below.
        if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EROFS) {
            const int e = errno;
            return fail(e, "Could not write " + shownName + " on the phone: " + std::strerror(e) + ".");
        }
        if (::close(fd) != 0) {
            const int e = errno;
            ::unlink(target.c_str());
            ForgetPart();
            return Failure(e, "Could not write " + shownName + " on the phone: " + std::strerror(e) + ".");
        }
        ForgetPart();
        return SendOutcome{true, 0, {}};
    }
};

} // namespace

bool SplitPhoneFolder(const std::string& folder, std::vector<std::string>* parts, std::string* error)
{
    parts->clear();
    const bool drive = folder.size() >= 2 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':';
    if ((!folder.empty() && (folder[0] == '/' || folder[0] == '\\')) || drive) {
        *error = "The phone folder must be a folder of the phone, not " + folder + ".";
        return false;
    }
    std::string part;
    auto flush = [&] {
        if (part == "..") {
            *error = "The phone folder may not lead out of the phone's storage (" + folder + ").";
            return false;
        }
        if (!part.empty() && part != ".")
            parts->push_back(FatSafeName(part));
        part.clear();
        return true;
    };
    for (const char c : folder) {
        if (c == '/' || c == '\\') {
            if (!flush())
                return false;
        } else {
            part += c;
        }
    }
    return flush();
}

std::size_t PieceSize(int64_t total)
{
    const int64_t piece = (std::max<int64_t>(total, 0) + 24) / 25;
    return static_cast<std::size_t>(std::clamp<int64_t>(piece, 512, 1 << 20));
}

void InstallPartFileCleanup()
{
    struct sigaction action {};
    action.sa_handler = RemovePartAndExit;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
        ::sigaction(sig, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

CFolderBackend::CFolderBackend(std::string root, StorageScan scan) : m_root(std::move(root)), m_scan(std::move(scan))
{
}

SendOutcome CFolderBackend::SendFile(const std::string& path, const std::string& folder, CSendProgress& progress)
{
    std::vector<std::string> parts;
    std::string error;
    if (!SplitPhoneFolder(folder, &parts, &error))
        return Failure(EINVAL, error);

    std::string root = m_root;
    if (root.empty()) {
        if (!ChoosePhoneStorage(FindPhoneStorages(m_scan), &root, &error))
            return Failure(ENODEV, error);
    } else if (!IsFolder(root)) {
        return Failure(ENOENT, "The phone's storage folder " + root +
                                   " is not there: connect the phone or correct the storage folder setting.");
    }

    const int source = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        const int e = errno;
        return Failure(e, "Cannot read " + path + ": " + std::strerror(e) + ".");
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{source};
    struct stat st {};
    if (::fstat(source, &st) != 0 || !S_ISREG(st.st_mode))
        return Failure(EISDIR, path + " is not a file.");
    const int64_t total = st.st_size;
    const std::size_t slash = path.rfind('/');
    const std::string name = FatSafeName(slash == std::string::npos ? path : path.substr(slash + 1));

    std::string dir = root;
    std::string shownFolder;
    for (const std::string& part : parts) {
        dir += "/" + part;
        shownFolder += part + "/";
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            const int e = errno;
            return Failure(e, "Cannot make the folder " + shownFolder + " on the phone: " + std::strerror(e) + ".");
        }
        if (!IsFolder(dir))
            return Failure(ENOTDIR, "The phone has a file named " + shownFolder.substr(0, shownFolder.size() - 1) +
                                        " where the folder should be.");
    }

    struct statvfs space {};
    if (::statvfs(dir.c_str(), &space) == 0 && space.f_blocks > 0) {
        const uint64_t free = static_cast<uint64_t>(space.f_bavail) * space.f_frsize;
        if (free < static_cast<uint64_t>(total))
            return Failure(ENOSPC, "Not enough space on the phone: " + name + " needs " + Kilobytes(total) +
                                       ", only " + Kilobytes(static_cast<int64_t>(free)) + " are free.");
    }

    // The first free name; a file with the same bytes is already what we want.
    constexpr int kMaxNumber = 999;
    int number = 1;
    auto nextFreeName = [&](std::string* out) -> int {
        for (; number <= kMaxNumber; ++number) {
            const std::string candidate = NumberedName(name, number);
            const std::string target = dir + "/" + candidate;
            if (!Exists(target)) {
                *out = candidate;
                return 1;
            }
            if (SameContent(source, total, target)) {
                *out = candidate;
                return 2;
            }
        }
        return 0;
    };
    std::string finalName;
    switch (nextFreeName(&finalName)) {
    case 0:
        return Failure(EEXIST, "The phone folder " + shownFolder + " already holds too many files named like " +
                                   name + ".");
    case 2:
        progress.Event(finalName + " is already on the phone.", total, 100, total);
        return SendOutcome{true, 0, finalName + " was already on the phone in " + shownFolder + "."};
    default:
        break;
    }
    if (finalName != name)
        progress.Event("The phone already has a different " + name + ": sending this one as " + finalName + ".", 0,
                       0, total);

    PieceWriter writer{source, total, name, progress};
    const std::string part = dir + "/." + CutUtf8(finalName, 240) + ".part";
    ::unlink(part.c_str()); // left by a link that was killed
    SendOutcome written = writer.Write(part, false);
    if (!written.ok)
        return written;

    for (;;) {
        const std::string target = dir + "/" + finalName;
        int renamed = -1;
        if (m_bRefuseRename)
            errno = EPERM;
        else
            renamed = RenameNoReplace(part, target);
        if (renamed == 0)
            break;
        const int e = errno;
        if (e == EEXIST) {
            // Another file took the name meanwhile: take the next one.
            ++number;
            const int found = nextFreeName(&finalName);
            if (found != 1) {
                ::unlink(part.c_str());
                if (found == 2)
                    return SendOutcome{true, 0, finalName + " was already on the phone in " + shownFolder + "."};
                return Failure(EEXIST, "The phone folder " + shownFolder +
                                           " already holds too many files named like " + name + ".");
            }
            continue;
        }
        ::unlink(part.c_str());
        if (!RenameRefused(e))
            return Failure(e, "Could not finish " + finalName + " on the phone: " + std::strerror(e) + ".");
        // The storage takes no renames: write the final name itself, removed
        // again if that fails.
        SendOutcome direct = writer.Write(target, true);
        if (!direct.ok)
            return direct;
        break;
    }
    progress.Event(finalName + " is on the phone.", total, 100, total);
    return SendOutcome{true, 0, "Saved as " + shownFolder + finalName + "."};
}
