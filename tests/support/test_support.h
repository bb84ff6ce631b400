// Helpers shared by the test folders: scratch folders, whole-file reads and
// writes, and shell commands run with their output captured.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The whole file as bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
// Replaces the file's content with `text`, byte for byte.
void WriteFile(const std::filesystem::path& path, const std::string& text);

// A fresh, empty folder <temp>/<prefix>-XXXXXX; an empty path when it cannot be made.
std::filesystem::path MakeTempDir(const std::string& prefix);
// Removes the folder and everything in it; never throws.
void RemoveTree(const std::filesystem::path& path);

// A fresh folder removed, with its content, when the object goes.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix = "tessary-test");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// `s` in single quotes for /bin/sh, with any quote inside kept literally.
std::string ShellQuote(const std::string& s);

struct ShellResult {
    int exitCode = -1; // -1 when the command did not exit normally
    std::string out;
    std::string err;
};

// Runs a /bin/sh command line and captures its stdout and stderr, through two
// files in `scratch` that are removed again afterwards.
ShellResult RunShell(const std::string& line, const std::filesystem::path& scratch);

} // namespace testsupport
