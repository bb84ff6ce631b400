#include "registry_store.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::atomic<RegistryFault> g_fault{RegistryFault::None};

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Keys and value names compare as the system compares them: ASCII letters
// without regard to case, every other byte exactly.
bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string TrimRight(std::string s)
{
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r'))
        s.pop_back();
    return s;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = AsciiLower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads a quoted text starting at line[i] == '"'; leaves i after the closing quote.
bool ParseQuoted(const std::string& line, std::size_t& i, std::string& out)
{
    if (i >= line.size() || line[i] != '"')
        return false;
    ++i;
    out.clear();
    while (i < line.size()) {
        char c = line[i++];
        if (c == '"')
            return true;
        if (c == '\\' && i < line.size() && (line[i] == '\\' || line[i] == '"')) {
            out += line[i++];
            continue;
        }
        out += c;
    }
    return false; // no closing quote
}

bool RestIsBlank(const std::string& line, std::size_t i)
{
    for (; i < line.size(); ++i) {
        if (!IsBlank(line[i]))
            return false;
    }
    return true;
}

// "hex:..." / "hex(N):..." data: comma-separated bytes written as two hex digits.
bool ParseHexBytes(const std::string& list, std::string& bytes)
{
    bytes.clear();
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < list.size() && IsBlank(list[i]))
            ++i;
    };
    skipBlanks();
    if (i == list.size())
        return true;
    for (;;) {
        skipBlanks();
        int hi = i < list.size() ? HexDigit(list[i]) : -1;
        int lo = i + 1 < list.size() ? HexDigit(list[i + 1]) : -1;
        if (hi < 0 || lo < 0)
            return false;
        bytes += static_cast<char>(hi * 16 + lo);
        i += 2;
        skipBlanks();
        if (i == list.size())
            return true;
        if (list[i] != ',')
            return false;
        ++i;
    }
}

struct Line {
    std::size_t begin;
    std::size_t end;  // after the line break
    std::string text; // without the line break
};

std::vector<Line> SplitLines(const std::string& text, std::size_t from)
{
    std::vector<Line> lines;
    std::size_t pos = from;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        std::size_t end = eol == std::string::npos ? text.size() : eol + 1;
        std::size_t contentEnd = eol == std::string::npos ? text.size() : eol;
        if (contentEnd > pos && text[contentEnd - 1] == '\r')
            --contentEnd;
        lines.push_back({pos, end, text.substr(pos, contentEnd - pos)});
        pos = end;
    }
    return lines;
}

// Parses the data part of a value line (after '='). `lines`/`index` allow hex
// data to continue on the following lines; `index` is left on the last line used.
bool ParseData(const std::vector<Line>& lines, std::size_t& index, const std::string& data, std::string& bytes)
{
    std::size_t i = 0;
    if (!data.empty() && data[0] == '"') {
        std::string text;
        if (!ParseQuoted(data, i, text) || !RestIsBlank(data, i))
            return false;
        bytes = text;
        bytes += '\0';
        return true;
    }
    if (data.compare(0, 6, "dword:") == 0) {
        std::string digits = TrimRight(data.substr(6));
        if (digits.empty() || digits.size() > 8)
            return false;
        uint32_t value = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0)
                return false;
            value = value * 16 + static_cast<uint32_t>(d);
        }
        bytes.clear();
        for (int b = 0; b < 4; ++b)
            bytes += static_cast<char>((value >> (8 * b)) & 0xFF);
        return true;
    }
    if (data.compare(0, 3, "hex") == 0) {
        std::size_t colon = data.find(':');
        if (colon == std::string::npos)
            return false;
        std::string type = data.substr(3, colon - 3);
        if (!type.empty()) {
            if (type.size() < 3 || type.front() != '(' || type.back() != ')')
                return false;
            for (std::size_t k = 1; k + 1 < type.size(); ++k) {
                if (HexDigit(type[k]) < 0)
                    return false;
            }
        }
        std::string list = TrimRight(data.substr(colon + 1));
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            if (++index >= lines.size())
                return false;
            std::string next = TrimRight(lines[index].text);
            std::size_t k = 0;
            while (k < next.size() && IsBlank(next[k]))
                ++k;
            list += next.substr(k);
        }
        return ParseHexBytes(list, bytes);
    }
    return false;
}

std::string FullKey(const std::string& keyPath)
{
    return std::string(kRegistryRoot) + "\\" + keyPath;
}

enum class ReadResult { Ok, Missing, Denied, Bad };

ReadResult ReadWholeFile(const std::string& path, std::string& out)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ReadResult::Missing;
        if (errno == EACCES || errno == EPERM)
            return ReadResult::Denied;
        return ReadResult::Bad;
    }
    out.clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return ReadResult::Bad;
        }
        if (n == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

long StatusFromRead(ReadResult r)
{
    switch (r) {
    case ReadResult::Ok: return kRegOk;
    case ReadResult::Missing: return kRegNotFound;
    case ReadResult::Denied: return kRegAccessDenied;
    case ReadResult::Bad: return kRegInvalidData;
    }
    return kRegInvalidData;
}

long StatusFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return kRegAccessDenied;
    case ENOSPC:
    case EDQUOT: return kRegDiskFull;
    case ENOENT: return kRegNotFound;
    default: return kRegWriteFault;
    }
}

const RegistryValueLine* FindValue(const RegistryDocument& doc, const std::string& fullKey,
                                   const std::string& name, bool& keyFound)
{
    keyFound = false;
    const RegistryValueLine* found = nullptr;
    for (const RegistrySection& section : doc.sections) {
        if (!SameName(section.key, fullKey))
            continue;
        keyFound = true;
        for (const RegistryValueLine& value : section.values) {
            if (SameName(value.name, name))
                found = &value; // a later line wins, as on import
        }
    }
    return found;
}

bool WriteAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    const bool failAsFull = g_fault.load() == RegistryFault::DiskFull;
    const std::size_t limit = failAsFull ? data.size() / 2 : data.size();
    while (done < limit) {
        ssize_t n = ::write(fd, data.data() + done, limit - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (failAsFull) {
        errno = ENOSPC;
        return false;
    }
    return true;
}

std::string Folder(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files that a writer killed before its rename left behind. Only
// writers holding the lock create them, so under the lock they are all stale.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            ::unlink((folder + "/" + entry->d_name).c_str());
    }
    ::closedir(dir);
}

class StoreLock {
public:
    explicit StoreLock(const std::string& storePath)
    {
        std::string lockPath = storePath + ".lock";
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0)
            m_fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~StoreLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing releases the lock
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    bool Held() const { return m_fd >= 0; }
    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

// Puts `content` in place of the store at `path`: temporary file in the same
// folder, flushed, renamed over the store, folder flushed.
long ReplaceStore(const std::string& path, const std::string& content, mode_t mode)
{
    const std::string folder = Folder(path);
    std::string temp = folder + "/." + BaseName(path) + ".tmp.XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return StatusFromErrno(errno);
    ::fchmod(fd, mode & 07777);

    bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) {
        if (g_fault.load() == RegistryFault::RenameFails) {
            ok = false;
            error = EIO;
        } else if (::rename(temp.c_str(), path.c_str()) != 0) {
            ok = false;
            error = errno;
        }
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return StatusFromErrno(error);
    }
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return kRegOk;
}

std::string EscapeQuoted(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

std::string RegistryStorePath()
{
    if (const char* explicitPath = std::getenv("TESSARY_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return std::string(config) + "/tessary/registry.reg";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h)
        home = h;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        home = pw->pw_dir;
    return home + "/.config/tessary/registry.reg";
}

std::optional<RegistryDocument> ParseRegistry(const std::string& text)
{
    std::size_t start = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    std::vector<Line> lines = SplitLines(text, start);
    if (lines.empty() || TrimRight(lines[0].text) != kRegistryHeader)
        return std::nullopt;

    RegistryDocument doc;
    doc.lineBreak = (lines[0].end >= 2 && text.compare(lines[0].end - 2, 2, "\r\n") == 0) ? "\r\n" : "\n";

    for (std::size_t index = 1; index < lines.size(); ++index) {
        const std::string content = TrimRight(lines[index].text);
        std::size_t i = 0;
        while (i < content.size() && IsBlank(content[i]))
            ++i;
        if (i == content.size() || content[i] == ';')
            continue;
        if (content[i] == '[') {
            if (content.back() != ']')
                return std::nullopt;
            std::string key = content.substr(i + 1, content.size() - i - 2);
            if (key.empty() || key[0] == '-') // removing keys has no meaning in a store
                return std::nullopt;
            RegistrySection section;
            section.key = key;
            section.headerEnd = lines[index].end;
            section.contentEnd = lines[index].end;
            doc.sections.push_back(std::move(section));
            continue;
        }
        if (doc.sections.empty())
            return std::nullopt;

        RegistryValueLine value;
        value.begin = lines[index].begin;
        if (content[i] == '@') {
            ++i;
        } else if (!ParseQuoted(content, i, value.name)) {
            return std::nullopt;
        }
        while (i < content.size() && IsBlank(content[i]))
            ++i;
        if (i >= content.size() || content[i] != '=')
            return std::nullopt;
        ++i;
        while (i < content.size() && IsBlank(content[i]))
            ++i;
        if (!ParseData(lines, index, content.substr(i), value.bytes))
            return std::nullopt;
        value.end = lines[index].end;
        RegistrySection& section = doc.sections.back();
        section.contentEnd = value.end;
        section.values.push_back(std::move(value));
    }
    return doc;
}

std::string FormatRegistryString(const std::string& name, const std::string& text)
{
    std::string head = name.empty() ? std::string("@") : "\"" + EscapeQuoted(name) + "\"";
    bool plain = true;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            plain = false;
    }
    if (plain)
        return head + "=\"" + EscapeQuoted(text) + "\"";

    // Line breaks and other control characters cannot stand inside quotes.
    static const char* digits = "0123456789abcdef";
    std::string line = head + "=hex(1):";
    std::string bytes = text;
    bytes += '\0';
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(bytes[k]);
        if (k > 0)
            line += ',';
        line += digits[c >> 4];
        line += digits[c & 15];
    }
    return line;
}

std::string FormatRegistryDword(const std::string& name, uint32_t value)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", value);
    return "\"" + EscapeQuoted(name) + "\"=dword:" + digits;
}

long RegistryQueryValue(const std::string& keyPath, const std::string& valueName, std::size_t bufferSize,
                        std::string& bytes)
{
    std::string text;
    ReadResult r = ReadWholeFile(RegistryStorePath(), text);
    if (r != ReadResult::Ok)
        return StatusFromRead(r);
    std::optional<RegistryDocument> doc = ParseRegistry(text);
    if (!doc)
        return kRegInvalidData;
    bool keyFound = false;
    const RegistryValueLine* value = FindValue(*doc, FullKey(keyPath), valueName, keyFound);
    if (!value)
        return kRegNotFound;
    if (value->bytes.size() > bufferSize)
        return kRegMoreData;
    bytes = value->bytes;
    return kRegOk;
}

long RegistrySetString(const std::string& keyPath, const std::string& valueName, const std::string& text)
{
    std::string path = RegistryStorePath();
    // A store reached through a link is replaced where it really lives.
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }

    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? kRegNotFound : StatusFromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return kRegInvalidData;
    // A store without write permission is read-only for everyone, root included.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0)
        return kRegAccessDenied;

    StoreLock lock(path);
    if (!lock.Held())
        return StatusFromErrno(lock.Error());
    RemoveStaleTemporaries(Folder(path), "." + BaseName(path) + ".tmp.");

    std::string content;
    ReadResult r = ReadWholeFile(path, content);
    if (r != ReadResult::Ok)
        return StatusFromRead(r);
    std::optional<RegistryDocument> doc = ParseRegistry(content);
    if (!doc)
        return kRegInvalidData; // never overwrite a store we cannot read

    const std::string stored = text.substr(0, text.find('\0'));
    const std::string fullKey = FullKey(keyPath);
    bool keyFound = false;
    const RegistryValueLine* value = FindValue(*doc, fullKey, valueName, keyFound);
    if (!keyFound)
        return kRegNotFound;

    const std::string line = FormatRegistryString(valueName, stored);
    if (value) {
        std::string lineEnd;
        if (value->end >= value->begin + 2 && content.compare(value->end - 2, 2, "\r\n") == 0)
            lineEnd = "\r\n";
        else if (value->end > value->begin && content[value->end - 1] == '\n')
            lineEnd = "\n";
        content.replace(value->begin, value->end - value->begin, line + lineEnd);
    } else {
        const RegistrySection* last = nullptr;
        for (const RegistrySection& section : doc->sections) {
            if (SameName(section.key, fullKey))
                last = &section;
        }
        std::size_t at = last->contentEnd;
        if (at > 0 && content[at - 1] != '\n')
            content.insert(at, doc->lineBreak + line);
        else
            content.insert(at, line + doc->lineBreak);
    }
    // A value name with a line break cannot be written in this format: the store
    // would no longer parse. Whatever would not read back is refused unwritten.
    bool readsBack = false;
    if (std::optional<RegistryDocument> check = ParseRegistry(content)) {
        bool checkKey = false;
        const RegistryValueLine* written = FindValue(*check, fullKey, valueName, checkKey);
        readsBack = written && written->bytes == stored + '\0';
    }
    if (!readsBack)
        return kRegInvalidParameter;
    return ReplaceStore(path, content, st.st_mode);
}

void SetRegistryFaultForTesting(RegistryFault fault)
{
    g_fault.store(fault);
}

} // namespace platform
