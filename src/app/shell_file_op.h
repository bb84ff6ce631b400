// File operations the way the program asks the shell for them: a list of
// sources, a list of destinations, one operation and the shell's flags.
#pragma once

#include "file_operation.h"

#include <string>
#include <vector>

class QWidget;

// Operation codes.
inline constexpr unsigned FO_MOVE = 0x0001;
inline constexpr unsigned FO_COPY = 0x0002;
inline constexpr unsigned FO_DELETE = 0x0003;
inline constexpr unsigned FO_RENAME = 0x0004;

// Operation flags.
inline constexpr unsigned FOF_MULTIDESTFILES = 0x0001; // one destination per source
inline constexpr unsigned FOF_SILENT = 0x0004;         // no progress window
inline constexpr unsigned FOF_NOCONFIRMATION = 0x0010; // answer "yes" to every question
inline constexpr unsigned FOF_ALLOWUNDO = 0x0040;
inline constexpr unsigned FOF_FILESONLY = 0x0080;      // never act on folders
inline constexpr unsigned FOF_NOCONFIRMMKDIR = 0x0200;
inline constexpr unsigned FOF_NOERRORUI = 0x0400;      // no box when an operation fails
// Ours: the paths are file names, never patterns ('*', '?' and '[' are legal in
// names here). The program passes it for every file it names itself.
inline constexpr unsigned FOF_LITERALNAMES = platform::kLiteralNames;

class CShellFileOp {
public:
    CShellFileOp();

    void Reset();
    void SetOperation(unsigned nOperation, QWidget* pOwner, unsigned nFlags);
    bool AddSource(const std::string& path);
    bool AddDestination(const std::string& path);

    // Runs the operation. The three out-values are optional: whether the file
    // operation was started, its return value (0 success), and whether the user
    // aborted it. Returns true only when it was started and returned 0.
    bool Go(bool* bAPICalled = nullptr, int* nAPIReturn = nullptr, bool* bAborted = nullptr);

    // What the last Go handed to the file operation (for callers that check it).
    unsigned LastFlags() const { return m_nLastFlags; }
    const std::string& LastFromList() const { return m_lastFrom; }
    const std::string& LastToList() const { return m_lastTo; }
    bool GoCalled() const { return m_bGoCalled; }

private:
    std::vector<std::string> m_sources;
    std::vector<std::string> m_destinations;
    QWidget* m_pOwner = nullptr;
    unsigned m_nOperation = 0;
    unsigned m_nFlags = 0;
    bool m_bOperationSet = false;
    bool m_bGoCalled = false;
    unsigned m_nLastFlags = 0;
    std::string m_lastFrom;
    std::string m_lastTo;
};

// Deletes the file named by `path` (no question, files only, no error box) and
// empties `path`, whatever the outcome. An empty path does nothing.
void DeleteTempFile(std::string& path);
