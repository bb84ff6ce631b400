#include "movie_text.h"

#include "messages.h"

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

// Where the package puts the movies, seen from the program's folder; the build
// sets it from the same install layout that installs them.
#ifndef TESSARY_MOVIES_FROM_PROGRAM
#define TESSARY_MOVIES_FROM_PROGRAM "../share/tessary/movies/"
#endif

namespace {

std::string LowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

std::string MovieUrlFromFolder(const std::string& folder, const std::string& languageCode,
                               const std::string& name)
{
    // "file:///" already carries the root slash of an absolute folder.
    const std::string rest = (!folder.empty() && folder.front() == '/') ? folder.substr(1) : folder;
    return "file:///" + rest + languageCode + "/" + name;
}

std::string MovieUrlFromCommandLine(const std::string& commandLine, const std::string& languageCode,
                                    const std::string& name)
{
    std::string path;
    if (!commandLine.empty() && commandLine.front() == '"') {
        const std::size_t close = commandLine.find('"', 1);
        path = commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
        path = commandLine.substr(0, commandLine.find(' '));
    }
    const std::size_t slash = path.rfind('\\');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::replace(folder.begin(), folder.end(), ':', '|');
    std::replace(folder.begin(), folder.end(), '\\', '/');
    return "file:///" + folder + languageCode + "/" + name;
}

namespace {

bool HasMovies(const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::is_directory(folder / "common", error);
}

} // namespace

std::string MoviesFolderFor(const std::string& programFolder, const std::string& installedRelative)
{
    if (HasMovies(programFolder))
        return programFolder;
    const std::filesystem::path installed =
        (std::filesystem::path(programFolder) / installedRelative).lexically_normal();
    if (!installedRelative.empty() && HasMovies(installed)) {
        std::string folder = installed.string();
        if (folder.back() != '/')
            folder += '/';
        return folder;
    }
    return programFolder;
}

std::string MovieUrl(const std::string& name)
{
    std::string folder = QCoreApplication::applicationDirPath().toStdString();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return MovieUrlFromFolder(MoviesFolderFor(folder, TESSARY_MOVIES_FROM_PROGRAM), g_languageCode, name);
}

std::string MovieHtmlFor(const std::string& languageCode, const std::string& text, bool bBold, bool bCentred)
{
    const std::string code = LowerAscii(languageCode);
    const char* face = "Arial";
    if (code == "ru")
        face = "Arial CYR";
    else if (code == "pl" || code == "cz")
        face = "Arial CE";

    std::string html = bBold ? "<b>" + text + "</b>" : text;
    html = std::string("<font face=\"") + face + "\">" + html + "</font>";
    if (bCentred)
        html = "<p align=\"center\">" + html + "</p>";
    return html;
}

std::string MovieHtml(const std::string& text, bool bBold, bool bCentred)
{
    return MovieHtmlFor(g_languageCode, text, bBold, bCentred);
}

void SetToolTipFromMovie(ToolTipTextRequest& request, const std::string& text)
{
    // A movie variable may hold anything; what reaches the tip is valid UTF-8.
    const std::string valid = ValidUtf8(text);
    const std::string cut = CutUtf8(valid, ToolTipTextRequest::kMaxTextBytes);
    std::memset(request.szText, 0, sizeof(request.szText));
    std::memcpy(request.szText, cut.data(), cut.size());
    request.bHandled = true;
}
