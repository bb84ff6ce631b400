#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

fs::path MakeTempDir(const std::string& prefix)
{
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec)
        base = "/tmp";
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

void RemoveTree(const fs::path& path)
{
    if (path.empty())
        return;
    std::error_code ec;
    fs::remove_all(path, ec);
}

ScratchDir::ScratchDir(const std::string& prefix)
    : m_path(MakeTempDir(prefix))
{
    if (m_path.empty())
        throw std::runtime_error("cannot make a scratch folder for " + prefix);
}

ScratchDir::~ScratchDir()
{
    RemoveTree(m_path);
}

std::string ShellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ShellResult RunShell(const std::string& line, const fs::path& scratch)
{
    const fs::path out = scratch / ".run-out", err = scratch / ".run-err";
    const std::string cmd = line + " >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string());
    const int status = std::system(cmd.c_str());
    ShellResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    std::error_code ec;
    fs::remove(out, ec);
    fs::remove(err, ec);
    return r;
}

} // namespace testsupport
