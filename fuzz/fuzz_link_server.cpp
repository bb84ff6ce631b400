// Feeds arbitrary bytes to the phone link program's request loop as its
// standard input, with a backend that sends nothing but treats the request's
// file and phone folder as the folder backend does. The link must:
// - greet first, then write only events and results the client can read;
// - answer every request line once (a blank line is no request), under the
//   number the request carried;
// - turn any phone folder it accepts into names that every phone storage
//   takes, never one that leads out of the storage.
#include "fat_names.h"
#include "folder_backend.h"
#include "link_protocol.h"
#include "link_server.h"
#include "utf8_text.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool IsDeviceName(std::string name)
{
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    for (char& c : name)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL")
        return true;
    return name.size() == 4 && (name.rfind("COM", 0) == 0 || name.rfind("LPT", 0) == 0) && name[3] >= '1' &&
           name[3] <= '9';
}

// A name that FAT storage takes as it is.
void CheckStorageName(const std::string& name)
{
    Check(!name.empty() && name.size() <= 255);
    Check(name != "." && name != "..");
    Check(ValidUtf8(name) == name);
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        Check(c >= 0x20 && c != 0x7F && !std::strchr("\\/:*?\"<>|", ch));
    }
    Check(name.back() != '.' && name.back() != ' ');
    Check(!IsDeviceName(name));
    Check(FatSafeName(name) == name);
    // The names tried when the phone already has a different file of that name.
    for (int n : {2, 10, 1000}) {
        const std::string numbered = NumberedName(name, n);
        Check(numbered != name && !numbered.empty() && numbered.size() <= 255);
        Check(ValidUtf8(numbered) == numbered && FatSafeName(numbered) == numbered);
    }
}

class CheckingBackend : public CLinkBackend {
public:
    SendOutcome SendFile(const std::string& path, const std::string& folder, CSendProgress& progress) override
    {
        std::vector<std::string> parts;
        std::string error;
        if (!SplitPhoneFolder(folder, &parts, &error)) {
            Check(!error.empty());
            return SendOutcome{false, 22, error};
        }
        for (const std::string& part : parts)
            CheckStorageName(part);
        const std::size_t slash = path.rfind('/');
        CheckStorageName(FatSafeName(slash == std::string::npos ? path : path.substr(slash + 1)));

        // A few pieces, as many as the name is long, asking for a cancel between them.
        const int pieces = static_cast<int>(path.size() % 4);
        for (int i = 0; i <= pieces; ++i) {
            progress.Event("Sending " + path, i, i * 100 / (pieces + 1), pieces + 1);
            if (progress.Cancelled())
                return SendOutcome{false, 125, "Cancelled."};
        }
        return SendOutcome{true, 0, "Saved as " + folder + "/" + path};
    }
};

int MemoryFile(const char* name, const uint8_t* data, size_t size)
{
    const int fd = ::memfd_create(name, MFD_CLOEXEC);
    Check(fd >= 0);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        Check(n > 0);
        done += static_cast<std::size_t>(n);
    }
    Check(::lseek(fd, 0, SEEK_SET) == 0);
    return fd;
}

std::string ReadAll(int fd)
{
    Check(::lseek(fd, 0, SEEK_SET) == 0);
    std::string out;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        Check(n >= 0);
        if (n == 0)
            return out;
        out.append(chunk, static_cast<std::size_t>(n));
    }
}

std::vector<std::string> Lines(const std::string& text, bool* lastEnded)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            lines.push_back(text.substr(begin));
            *lastEnded = false;
            return lines;
        }
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    *lastEnded = true;
    return lines;
}

bool Blank(const std::string& line)
{
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int input = MemoryFile("link-input", data, size);
    const int output = ::memfd_create("link-output", MFD_CLOEXEC);
    Check(output >= 0);
    CLinkServer server(input, output, [](std::string*) { return std::make_unique<CheckingBackend>(); });
    Check(server.Run() == 0);
    const std::string written = ReadAll(output);
    ::close(input);
    ::close(output);

    bool ended = false;
    const std::vector<std::string> out = Lines(written, &ended);
    Check(ended && !out.empty() && out[0] == HelloLine());

    // The numbers the answers should carry, one per request line; a line too
    // long to be read may be answered once or, when blank, not at all.
    const std::string text(reinterpret_cast<const char*>(data), size);
    bool lastEnded = true;
    std::map<int64_t, int> expected;
    int requests = 0;
    int longLines = 0;
    std::vector<std::string> lines = Lines(text, &lastEnded);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string& line = lines[i];
        // The line break ends with "\r\n" or "\n"; a last line without one keeps all its bytes.
        if ((lastEnded || i + 1 < lines.size()) && !line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > kLinkMaxLine) {
            ++longLines;
            continue;
        }
        if (Blank(line))
            continue;
        ++requests;
        ++expected[ParseLinkLine(line).call.id];
    }

    std::map<int64_t, int> answered;
    int results = 0;
    for (std::size_t i = 1; i < out.size(); ++i) {
        Check(out[i].size() <= kLinkMaxLine);
        const LinkMessage m = ParseLinkLine(out[i]);
        Check(m.kind == LinkMessage::Kind::Event || m.kind == LinkMessage::Kind::Result);
        if (m.kind == LinkMessage::Kind::Event) {
            Check(m.event.p3 >= 0 && m.event.p3 <= 100);
            continue;
        }
        ++results;
        ++answered[m.result.id];
        Check(m.result.ok || !m.result.text.empty());
    }
    Check(results >= requests && results <= requests + longLines);
    if (longLines == 0)
        Check(answered == expected);
    return 0;
}
