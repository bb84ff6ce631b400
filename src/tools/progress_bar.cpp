#include "progress_bar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "utf8_text.h"

namespace {

constexpr int kBarWidth = 30;
constexpr int kDefaultColumns = 80;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// The bar on show, whose line a message clears first. The tool draws one at a time.
CProgressBar* g_pShownBar = nullptr;

void WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

int TerminalColumns(int fd)
{
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultColumns;
}

// The label as it may be shown on one line within `columns` columns: valid
// UTF-8, control characters (a line break in a file name) as '?', cut on a
// character boundary. Characters beyond ASCII count as two columns, as the
// widest of them take, so the line never wraps.
std::string FitLabel(const std::string& label, int columns)
{
    const std::string text = ValidUtf8(label);
    std::string out;
    int used = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const int width = lead < 0x80 ? 1 : 2;
        if (used + width > columns)
            break;
        if (lead < 0x20 || lead == 0x7F)
            out += '?';
        else
            out.append(text, i, length);
        used += width;
        i += length;
    }
    return out;
}

} // namespace

int ProgressPercent(int64_t done, int64_t total)
{
    if (total <= 0 || done <= 0)
        return 0;
    if (done >= total)
        return 100;
    return static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

std::string ProgressLine(int percent, const std::string& label, int columns)
{
    percent = std::clamp(percent, 0, 100);
    const int room = std::max(columns - 1, 0);
    char number[8];
    std::snprintf(number, sizeof number, "%3d %%", percent);
    // "[" bar "] " and the percentage: 8 columns besides the bar.
    const int barWidth = std::min(kBarWidth, room - 8);
    if (barWidth < 4)
        return std::string(number).substr(0, static_cast<std::size_t>(room));
    const int filled = percent * barWidth / 100;
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(barWidth - filled), '.') + "] " + number;
    const int labelRoom = room - static_cast<int>(line.size()) - 2;
    const std::string shown = labelRoom > 0 ? FitLabel(label, labelRoom) : std::string();
    if (!shown.empty())
        line += "  " + shown;
    return line;
}

CProgressBar::CProgressBar(int fd) : m_fd(fd), m_bShown(::isatty(fd) == 1)
{
    if (m_bShown)
        g_pShownBar = this;
}

CProgressBar::~CProgressBar()
{
    Finish();
    if (g_pShownBar == this)
        g_pShownBar = nullptr;
}

void CProgressBar::Update(int64_t done, int64_t total, const std::string& label)
{
    Draw(ProgressPercent(done, total), label, total > 0 && done >= total);
}

void CProgressBar::Percent(int percent, const std::string& label)
{
    Draw(percent, label, percent >= 100);
}

void CProgressBar::Draw(int percent, const std::string& label, bool force)
{
    if (!m_bShown || m_bFinished)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && m_bDrawn && now - m_lastDraw < kRedrawInterval)
        return;
    const std::string line = ProgressLine(percent, label, TerminalColumns(m_fd));
    if (m_bDrawn && line == m_line)
        return;
    // Back to the start of the line, the new bar, and away with what a longer
    // line left behind.
    WriteAll(m_fd, "\r" + line + "\033[K");
    m_line = line;
    m_bDrawn = true;
    m_lastDraw = now;
}

void CProgressBar::Clear()
{
    if (!m_bDrawn)
        return;
    WriteAll(m_fd, "\r\033[K");
    m_bDrawn = false;
    m_line.clear();
}

void CProgressBar::Finish()
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    if (m_bDrawn)
        WriteAll(m_fd, "\n");
    m_bDrawn = false;
}

void CProgressBar::ClearForMessage()
{
    if (g_pShownBar && !g_pShownBar->m_bFinished)
        g_pShownBar->Clear();
}
