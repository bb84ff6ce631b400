// The texts the save and the transfer pages put into their movies, and the small
// rules around the save dialog, without any widget: the pages call these.
//
// Every value that goes into a movie's rich text (a name, a link text, a
// failure reason) is escaped first, so that "a<b>c" shows as written and never
// turns into mark-up.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// `text` with "&", "<" and ">" written as entities.
std::string EscapeRichText(const std::string& text);

// `text` with every placeholder of `values` replaced by its value, in one pass
// from left to right: a value is never searched for placeholders again.
std::string FillPlaceholdersOnce(const std::string& text,
                                 const std::vector<std::pair<std::string, std::string>>& values);

// The save page's sentence: every "%1%" becomes the animation's name with
// ".gif", every "%2%" its size in bytes.
std::string SavePageText(const std::string& movieTemplate, const std::string& animName, uint64_t bytes);

// The transfer page's result texts. A failure: the bold title, a blank line,
// the reason, a blank line and the hint. A success: the movie's sentence with
// every "%1%" replaced by the animation's name with ".gif".
std::string TransferFailureText(const std::string& title, const std::string& reason, const std::string& hint);
std::string TransferSuccessText(const std::string& movieSentence, const std::string& animName);

// The frame of the progress clip for a link event's progress (a percentage
// carried in a message parameter): 1 for 0 % to 26 for 100 %, out-of-range
// values held to 0..100.
int ProgressBarFrame(uintptr_t wParam);

// The save dialog's filter for an extension: "gif|*.gif||".
std::string SaveDialogFilter(const std::string& extension);
// True when the last part of `path` has an extension ("a.gif"; not "a", ".gif" or "a.").
bool HasFileExtension(const std::string& path);
// `path` up to and including its last "/" or "\"; empty when it has neither.
std::string FolderOfSavedPath(const std::string& path);
