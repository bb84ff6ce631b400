#include "file_operation.h"

#include "message_box.h"

#include <QApplication>
#include <QProgressDialog>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {

namespace {

constexpr unsigned kOpMove = 1, kOpCopy = 2, kOpDelete = 3, kOpRename = 4;
constexpr unsigned kMultiDest = 0x0001, kSilent = 0x0004, kNoConfirmation = 0x0010, kFilesOnly = 0x0080,
                   kNoErrorUi = 0x0400;

int StatusFromErrno(int error)
{
    switch (error) {
    case 0: return 0;
    case ENOENT:
    case ENOTDIR: return kFileOpNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return kFileOpAccessDenied;
    case EEXIST:
    case ENOTEMPTY: return kFileOpFileExists;
    case ENOSPC:
    case EDQUOT: return kFileOpDiskFull;
    default: return kFileOpIoError;
    }
}

std::string Describe(int status)
{
    switch (status) {
    case kFileOpNotFound: return "The file or folder does not exist.";
    case kFileOpAccessDenied: return "Access is denied.";
    case kFileOpFileExists: return "A file with this name already exists.";
    case kFileOpDiskFull: return "There is not enough space on the disk.";
    case kFileOpSameFile: return "The source and destination file names are the same.";
    case kFileOpDestSubtree: return "The destination folder is inside the source folder.";
    case kFileOpInvalidFiles: return "This operation cannot be done on a folder.";
    default: return "A device input/output error occurred.";
    }
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void SyncFolder(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool Exists(const fs::path& p)
{
    std::error_code ec;
    return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

bool IsDirectory(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool SameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    bool same = fs::equivalent(a, b, ec);
    return !ec && same;
}

// True when `inner` is `outer` or lies below it.
bool IsInside(const fs::path& inner, const fs::path& outer)
{
    std::error_code ec;
    fs::path a = fs::weakly_canonical(inner, ec);
    if (ec)
        return false;
    fs::path b = fs::weakly_canonical(outer, ec);
    if (ec)
        return false;
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (bi->empty())
            continue;
        if (ai == a.end() || *ai != *bi)
            return false;
    }
    return true;
}

bool HasWildcard(const std::string& path)
{
    std::string name = fs::path(path).filename().string();
    return name.find_first_of("*?") != std::string::npos;
}

class Runner {
public:
    explicit Runner(FileOperation& op) : m_op(op) {}

    int Run()
    {
        std::vector<std::string> from = SplitPathList(m_op.from);
        std::vector<std::string> to = SplitPathList(m_op.to);
        if (from.empty())
            return kFileOpInvalidFiles;

        std::vector<std::pair<fs::path, fs::path>> work; // source, destination (empty for delete)
        const bool multi = (m_op.flags & kMultiDest) != 0;
        if (m_op.operation != kOpDelete) {
            if (to.empty() || (multi && to.size() != from.size()) || (!multi && to.size() != 1))
                return kFileOpInvalidFiles;
        }

        std::vector<std::pair<fs::path, std::size_t>> sources; // path, index of its entry in `from`
        for (std::size_t i = 0; i < from.size(); ++i) {
            if (Patterns() && HasWildcard(from[i])) {
                for (const std::string& match : Expand(from[i])) {
                    if ((m_op.flags & kFilesOnly) && IsDirectory(match))
                        continue; // files only: a pattern never picks up folders
                    sources.emplace_back(match, i);
                }
            } else {
                sources.emplace_back(from[i], i);
            }
        }

        if (m_op.operation == kOpDelete)
            return Delete(sources);

        if (m_op.operation == kOpCopy || m_op.operation == kOpMove)
            StartProgress(sources);

        const bool severalIntoOne = !multi && (sources.size() > 1 || (Patterns() && HasWildcard(from[0])));
        for (const auto& [source, index] : sources) {
            fs::path destination = multi ? fs::path(to[index]) : fs::path(to[0]);
            if (severalIntoOne || IsDirectory(destination))
                destination /= source.filename();
            work.emplace_back(source, destination);
        }
        for (const auto& [source, destination] : work) {
            int status = m_op.operation == kOpCopy ? CopyOne(source, destination) : MoveOne(source, destination);
            if (status != 0)
                return status;
            if (m_op.anyOperationsAborted)
                return kFileOpCancelled;
        }
        return 0;
    }

private:
    static std::uint64_t BytesIn(const fs::path& path)
    {
        std::error_code ec;
        if (!IsDirectory(path)) {
            std::uint64_t size = fs::file_size(path, ec);
            return ec ? 0 : size;
        }
        std::uint64_t total = 0;
        for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            if (it->is_regular_file(ec))
                total += it->file_size(ec);
        }
        return total;
    }

    // A progress window for copies large enough to take a while; Qt shows it
    // only when the work lasts longer than its minimum duration.
    void StartProgress(const std::vector<std::pair<fs::path, std::size_t>>& sources)
    {
        if (m_op.flags & kSilent)
            return;
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (!app || QThread::currentThread() != app->thread())
            return;
        std::uint64_t total = 0;
        for (const auto& source : sources)
            total += BytesIn(source.first);
        if (total < kProgressThreshold)
            return;
        m_total = total;
        const char* label = m_op.operation == kOpCopy ? "Copying..." : "Moving...";
        m_progress = std::make_unique<QProgressDialog>(QString::fromUtf8(label), QStringLiteral("Cancel"), 0, 1000,
                                                       m_op.owner);
        m_progress->setWindowTitle(QString::fromStdString(m_op.progressTitle));
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(500);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setValue(0);
    }

    CopyProgress Progress()
    {
        if (!m_progress)
            return CopyProgress();
        return [this](std::uint64_t bytes) {
            m_done += bytes;
            m_progress->setValue(static_cast<int>(m_done * 1000 / (m_total ? m_total : 1)));
            QCoreApplication::processEvents();
            if (m_progress->wasCanceled()) {
                m_op.anyOperationsAborted = true;
                return false;
            }
            return true;
        };
    }

    // A file name on this system may hold '*' and '?': names are patterns only
    // when the caller did not ask for literal names.
    bool Patterns() const { return (m_op.flags & kLiteralNames) == 0; }

    std::vector<std::string> Expand(const std::string& pattern)
    {
        std::vector<std::string> matches;
        glob_t g{};
        if (::glob(pattern.c_str(), 0, nullptr, &g) == 0) {
            for (std::size_t i = 0; i < g.gl_pathc; ++i)
                matches.emplace_back(g.gl_pathv[i]);
        }
        ::globfree(&g);
        return matches;
    }

    bool Confirm(const std::string& text, const std::string& caption, BoxButtons buttons, bool& cancelled)
    {
        cancelled = false;
        if (m_op.flags & kNoConfirmation)
            return true;
        BoxResult answer = ShowMessageBox(m_op.owner, text, caption, BoxIcon::Question, buttons);
        if (answer == BoxResult::Yes || answer == BoxResult::Ok)
            return true;
        if (answer == BoxResult::Cancel || buttons == BoxButtons::YesNo) {
            cancelled = true;
            m_op.anyOperationsAborted = true;
        }
        return false;
    }

    int Fail(int status, const fs::path& path)
    {
        if (!(m_op.flags & kNoErrorUi)) {
            static const char* const kCaptions[] = {"", "Error Moving File or Folder", "Error Copying File or Folder",
                                                    "Error Deleting File or Folder", "Error Renaming File or Folder"};
            static const char* const kVerbs[] = {"", "move", "copy", "delete", "rename"};
            std::string text = std::string("Cannot ") + kVerbs[m_op.operation] + " " + path.filename().string() +
                               ": " + Describe(status);
            ShowMessageBox(m_op.owner, text, kCaptions[m_op.operation], BoxIcon::Error, BoxButtons::Ok);
        }
        return status;
    }

    // Checks what every copy or move needs; 0 to go on, -1 to skip this item.
    int Prepare(const fs::path& source, const fs::path& destination)
    {
        std::error_code ec;
        fs::file_status st = fs::symlink_status(source, ec);
        if (ec || st.type() == fs::file_type::not_found)
            return Fail(kFileOpNotFound, source);
        // A link to a folder is copied as the folder, so it is checked as one.
        const bool sourceIsFolder = IsDirectory(source);
        if (sourceIsFolder) {
            if (m_op.flags & kFilesOnly)
                return Fail(kFileOpInvalidFiles, source);
            if (IsInside(destination, source))
                return Fail(kFileOpDestSubtree, source);
        }
        if (Exists(destination)) {
            if (SameFile(source, destination))
                return Fail(kFileOpSameFile, source);
            if (IsDirectory(destination) != sourceIsFolder)
                return Fail(kFileOpFileExists, destination);
            bool cancelled = false;
            std::string text = "The destination already contains a file named \"" +
                               destination.filename().string() + "\".\nDo you want to replace it?";
            if (!Confirm(text, "Confirm File Replace", BoxButtons::YesNoCancel, cancelled))
                return -1;
        }
        std::error_code mk;
        if (destination.has_parent_path())
            fs::create_directories(destination.parent_path(), mk);
        return 0;
    }

    int CopyTree(const fs::path& source, const fs::path& destination)
    {
        std::error_code ec;
        if (!IsDirectory(source))
            return CopyFileAtomically(source.string(), destination.string(), Progress());
        fs::create_directories(destination, ec);
        if (ec)
            return StatusFromErrno(ec.value());
        for (const fs::directory_entry& entry : fs::directory_iterator(source, ec)) {
            int status = CopyTree(entry.path(), destination / entry.path().filename());
            if (status != 0)
                return status;
        }
        return ec ? StatusFromErrno(ec.value()) : 0;
    }

    int CopyOne(const fs::path& source, const fs::path& destination)
    {
        int ready = Prepare(source, destination);
        if (ready != 0)
            return ready < 0 ? 0 : ready;
        int status = CopyTree(source, destination);
        if (status == kFileOpCancelled)
            return status;
        return status == 0 ? 0 : Fail(status, source);
    }

    int MoveOne(const fs::path& source, const fs::path& destination)
    {
        int ready = Prepare(source, destination);
        if (ready != 0)
            return ready < 0 ? 0 : ready;
        if (IsDirectory(destination)) {
            std::error_code ec;
            fs::remove_all(destination, ec); // the user agreed to replace it
        }
        if (::rename(source.c_str(), destination.c_str()) == 0) {
            SyncFolder(destination.parent_path().empty() ? "." : destination.parent_path().string());
            return 0;
        }
        if (errno != EXDEV)
            return Fail(StatusFromErrno(errno), source);
        // Another file system: copy in full, then remove the original.
        int status = CopyTree(source, destination);
        if (status == kFileOpCancelled)
            return status;
        if (status != 0)
            return Fail(status, source);
        std::error_code ec;
        fs::remove_all(source, ec);
        return ec ? Fail(StatusFromErrno(ec.value()), source) : 0;
    }

    int Delete(const std::vector<std::pair<fs::path, std::size_t>>& sources)
    {
        if (sources.empty())
            return 0;
        std::string text = sources.size() == 1
                               ? "Are you sure you want to permanently delete \"" +
                                     sources[0].first.filename().string() + "\"?"
                               : "Are you sure you want to permanently delete these " +
                                     std::to_string(sources.size()) + " items?";
        bool cancelled = false;
        if (!Confirm(text, "Confirm File Delete", BoxButtons::YesNo, cancelled))
            return kFileOpCancelled;
        for (const auto& [path, index] : sources) {
            (void)index;
            std::error_code ec;
            fs::file_status st = fs::symlink_status(path, ec);
            if (ec || st.type() == fs::file_type::not_found)
                return Fail(kFileOpNotFound, path);
            if (st.type() == fs::file_type::directory) {
                if (m_op.flags & kFilesOnly)
                    return Fail(kFileOpInvalidFiles, path);
                fs::remove_all(path, ec);
                if (ec)
                    return Fail(StatusFromErrno(ec.value()), path);
            } else if (::unlink(path.c_str()) != 0) {
                return Fail(StatusFromErrno(errno), path);
            }
        }
        return 0;
    }

    FileOperation& m_op;
    std::unique_ptr<QProgressDialog> m_progress;
    std::uint64_t m_total = 0;
    std::uint64_t m_done = 0;
};

} // namespace

std::vector<std::string> SplitPathList(const char* list)
{
    std::vector<std::string> paths;
    if (!list)
        return paths;
    while (*list) {
        std::size_t length = std::strlen(list);
        paths.emplace_back(list, length);
        list += length + 1;
    }
    return paths;
}

int CopyFileAtomically(const std::string& source, const std::string& target, const CopyProgress& progress)
{
    // Non-blocking, so that a pipe is refused below instead of waiting for a writer.
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return StatusFromErrno(errno);
    struct stat st{};
    // Pipes, sockets and devices are no files to copy.
    const int unfit = ::fstat(in, &st) != 0 ? errno
                      : S_ISREG(st.st_mode)  ? 0
                      : S_ISDIR(st.st_mode)  ? EISDIR
                                             : EACCES;
    if (unfit != 0) {
        ::close(in);
        return StatusFromErrno(unfit);
    }
    ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);

    fs::path targetPath(target);
    std::string folder = targetPath.has_parent_path() ? targetPath.parent_path().string() : ".";
    std::string temp = folder + "/." + targetPath.filename().string() + ".copy.XXXXXX";
    int out = ::mkstemp(temp.data());
    if (out < 0) {
        int error = errno;
        ::close(in);
        return StatusFromErrno(error);
    }

    int error = 0;
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        if (n == 0)
            break;
        if (!WriteAll(out, buffer, static_cast<std::size_t>(n))) {
            error = errno;
            break;
        }
        if (progress && !progress(static_cast<std::uint64_t>(n))) {
            error = ECANCELED;
            break;
        }
    }
    ::close(in);
    if (error == 0 && ::fchmod(out, st.st_mode & 0777) != 0)
        error = errno;
    if (error == 0 && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error == ECANCELED ? kFileOpCancelled : StatusFromErrno(error);
    }
    SyncFolder(folder);
    return 0;
}

int RunFileOperation(FileOperation& operation)
{
    operation.anyOperationsAborted = false;
    if (operation.operation < kOpMove || operation.operation > kOpRename)
        return kFileOpInvalidFiles;
    return Runner(operation).Run();
}

} // namespace platform
