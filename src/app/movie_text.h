// Texts that go to and come from the movies: where a movie file is, the HTML a
// movie text field is given, and the tooltip text taken from a movie variable.
#pragma once

#include <cstddef>
#include <string>

#include "utf8_text.h"

// URL of the movie `name` ("Plendix.swf?frm=1") of the current language, in the
// language folder beside the program, or in the installed movies when there
// are none beside it (MoviesFolderFor).
std::string MovieUrl(const std::string& name);

// The folder that holds the language folders for a program in `programFolder`
// (with its final slash): the program's own folder when the movies' shared part
// ("common") is there, as in a build; else `installedRelative` ("../share/...",
// from the program's folder, with its final slash) when the movies are there,
// written without "." and ".."; else the program's folder again, so that a
// missing movie is reported where it was looked for first.
std::string MoviesFolderFor(const std::string& programFolder, const std::string& installedRelative);

// The same built from a Windows command line: the program's folder is the text up
// to its last backslash (inside the quotes when the command line starts with one),
// with ":" turned into "|" and "\" into "/". No backslash gives an empty folder.
std::string MovieUrlFromCommandLine(const std::string& commandLine, const std::string& languageCode,
                                    const std::string& name);

// The same from a folder on this system ("/opt/tessary/bin/", with its trailing slash).
std::string MovieUrlFromFolder(const std::string& folder, const std::string& languageCode,
                               const std::string& name);

// `text` as an HTML fragment in the current language's font, optionally bold and centred.
std::string MovieHtml(const std::string& text, bool bBold, bool bCentred);
std::string MovieHtmlFor(const std::string& languageCode, const std::string& text, bool bBold, bool bCentred);

// A tooltip text request: the text goes into the request's own buffer.
struct ToolTipTextRequest {
    static constexpr std::size_t kBufferSize = 80;
    static constexpr std::size_t kMaxTextBytes = 76;
    char szText[kBufferSize] = {};
    bool bHandled = false;
};

// Stores `text` in the request: made valid UTF-8, cut to 76 bytes without
// splitting a character, zero-terminated.
void SetToolTipFromMovie(ToolTipTextRequest& request, const std::string& text);
