// Copy, move, rename and delete of files the way the program's shell layer asks
// for them: double-zero-terminated path lists, an operation code and flags.
//
// The flags keep their usual meaning: FOF_NOCONFIRMATION answers every question
// with yes, FOF_FILESONLY never touches a folder, FOF_NOERRORUI shows no box
// when something fails, FOF_MULTIDESTFILES pairs every source with its own
// destination. Without FOF_NOCONFIRMATION an existing destination is only
// replaced after a "replace?" box says yes, and a delete asks first.
//
// A copied file first goes to a temporary name beside the destination, is
// flushed to disk and then renamed, so the destination name never holds a
// partial file. A file is never copied or moved onto itself. Unless
// FOF_SILENT is given, a copy that takes a while shows its progress in a window
// with a Cancel button (only when called on the UI thread of a running
// QApplication).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace platform {

// A flag of ours beside the shell's 16-bit ones: every path is taken literally,
// so a name holding '*' or '?' is that file, never a pattern.
inline constexpr unsigned kLiteralNames = 0x10000;

// Return values besides 0 (success): the system's numbers where it has one.
inline constexpr int kFileOpNotFound = 2;
inline constexpr int kFileOpAccessDenied = 5;
inline constexpr int kFileOpFileExists = 80;
inline constexpr int kFileOpDiskFull = 112;
inline constexpr int kFileOpSameFile = 0x71;      // source and destination are the same file
inline constexpr int kFileOpDestSubtree = 0x76;   // a folder copied or moved into itself
inline constexpr int kFileOpInvalidFiles = 0x7C;  // bad lists, or a folder with FOF_FILESONLY
inline constexpr int kFileOpIoError = 1117;
inline constexpr int kFileOpCancelled = 1223;     // the user said cancel or no

// Copies of at least this many bytes in all get a progress window.
inline constexpr std::uint64_t kProgressThreshold = 4u << 20;

struct FileOperation {
    QWidget* owner = nullptr;      // owner of the boxes, may be null
    unsigned operation = 0;        // 1 move, 2 copy, 3 delete, 4 rename
    const char* from = nullptr;    // "a\0b\0\0"
    const char* to = nullptr;      // same form; null for delete
    unsigned flags = 0;
    bool anyOperationsAborted = false; // out: the user stopped part of the work
    std::string progressTitle;
};

// Runs the operation; 0 on success, else one of the numbers above.
int RunFileOperation(FileOperation& operation);

// Splits a double-zero-terminated list.
std::vector<std::string> SplitPathList(const char* list);

// Told how many bytes were just copied; returns false to stop the copy.
using CopyProgress = std::function<bool(std::uint64_t bytes)>;

// Copies one regular file to `target` through a temporary file in the target's
// folder; 0 or an error number (kFileOpCancelled when `progress` said stop).
// The target is replaced if it exists, and is left as it was on any failure.
int CopyFileAtomically(const std::string& source, const std::string& target,
                       const CopyProgress& progress = CopyProgress());

} // namespace platform
