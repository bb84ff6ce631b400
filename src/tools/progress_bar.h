// The progress bar of tessary-anim's long work (make, thumbs, send): one line
// on stderr, redrawn in place, when stderr is a terminal; nothing at all when
// it is not (a pipe or a file gets only the tool's own messages).
//
//   [###########...................]  38 %  frame 97 of 256
//
// Finish ends the line, so whatever the tool prints next starts on a clean
// line; a message printed through Fail, PrintError or Warn while the bar is up
// first clears the bar's line, and the next update draws the bar again.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// The bar's line for `percent` (clamped to 0..100) and `label`, without the
// carriage return: it fits in `columns` - 1 characters (the label is cut on a
// character boundary, or left out), so the terminal never wraps it.
std::string ProgressLine(int percent, const std::string& label, int columns);

// `done` of `total` as a whole percentage, rounded down; 0 when total is 0 or less.
int ProgressPercent(int64_t done, int64_t total);

class CProgressBar {
public:
    // Draws on `fd` when it is a terminal.
    explicit CProgressBar(int fd = 2);
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    bool Shown() const { return m_bShown; }

    // Shows `done` of `total` steps with a short label. Redrawn at most ten
    // times a second, except when the work is done.
    void Update(int64_t done, int64_t total, const std::string& label);
    void Percent(int percent, const std::string& label);

    // Ends the bar's line; nothing more is drawn.
    void Finish();

    // Clears the line of the bar on show, if any, before a message is printed.
    static void ClearForMessage();

private:
    void Draw(int percent, const std::string& label, bool force);
    void Clear();

    int m_fd;
    bool m_bShown;
    bool m_bDrawn = false;
    bool m_bFinished = false;
    std::string m_line;
    std::chrono::steady_clock::time_point m_lastDraw{};
};
