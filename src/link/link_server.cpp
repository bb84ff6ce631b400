#include "link_server.h"

#include "utf8_text.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

int32_t Clamp32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool Blank(const std::string& line)
{
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

// A text the link writes: the wizard reads lines of at most 64 KiB, and a byte
// may be written back six times as long ("\u007f"), so a longer text (one
// that repeats a request's argument) is cut, on a character boundary, with
// "..." to say so.
constexpr std::size_t kMaxTextBytes = 8 * 1024;

std::string Bounded(const std::string& text)
{
    const std::string valid = ValidUtf8(text);
    if (valid.size() <= kMaxTextBytes)
        return valid;
    return CutUtf8(valid, kMaxTextBytes) + "...";
}

} // namespace

CLinkServer::CLinkServer(int input, int output, BackendFactory factory)
    : m_input(input), m_output(output), m_factory(std::move(factory))
{
}

void CLinkServer::Write(const std::string& text)
{
    const std::string line = text + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_output, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the wizard is gone; the end of the input follows
        done += static_cast<std::size_t>(n);
    }
}

void CLinkServer::Answer(int64_t id, bool ok, int32_t status, const std::string& text)
{
    Write(ResultLine(LinkResult{id, ok, status, Bounded(text)}));
}

CLinkServer::Read CLinkServer::ReadLine(int timeoutMs, std::string* line)
{
    for (;;) {
        const std::size_t newline = m_buffer.find('\n');
        if (newline != std::string::npos) {
            if (m_bDiscarding) {
                m_buffer.erase(0, newline + 1);
                m_bDiscarding = false;
                continue;
            }
            *line = m_buffer.substr(0, newline);
            m_buffer.erase(0, newline + 1);
            if (!line->empty() && line->back() == '\r')
                line->pop_back();
            return Read::Line;
        }
        if (!m_bDiscarding && m_buffer.size() > kLinkMaxLine) {
            Answer(0, false, E2BIG, "A line longer than 64 KiB was ignored.");
            m_bDiscarding = true;
        }
        if (m_bDiscarding)
            m_buffer.clear();
        if (m_bEnded) {
            if (m_buffer.empty() || m_bDiscarding)
                return Read::End;
            *line = m_buffer; // a last line without its line break
            m_buffer.clear();
            return Read::Line;
        }
        pollfd p{m_input, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return Read::Nothing;
        char chunk[16384];
        const ssize_t n = ::read(m_input, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            m_bEnded = true;
        else
            m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

int CLinkServer::Run()
{
    Write(HelloLine());
    std::string line;
    for (;;) {
        if (!m_pending.empty()) {
            line = m_pending.front();
            m_pending.pop_front();
            Serve(line);
            continue;
        }
        switch (ReadLine(-1, &line)) {
        case Read::Line:
            Serve(line);
            break;
        case Read::Nothing:
            break;
        case Read::End:
            return 0;
        }
    }
}

void CLinkServer::Serve(const std::string& line)
{
    if (Blank(line))
        return;
    const LinkMessage message = ParseLinkLine(line);
    if (message.kind == LinkMessage::Kind::Call) {
        RunCall(message.call);
    } else if (message.kind == LinkMessage::Kind::Invalid) {
        Answer(message.call.id, false, EINVAL, "Not understood: " + message.error + ".");
    } else {
        Answer(0, false, EINVAL, "Not understood: the link takes calls only.");
    }
}

void CLinkServer::RunCall(const LinkCall& call)
{
    auto wrongArguments = [&](const std::string& wanted) {
        Answer(call.id, false, EINVAL, call.name + " takes " + wanted + ".");
    };
    if (call.name == kCallInit) {
        if (!call.argsAreTexts || call.args.size() > 1)
            return wrongArguments("one text");
        return Answer(call.id, true, 0, "");
    }
    if (call.name == kCallSetFormatOption) {
        if (!call.argsAreTexts || call.args.size() != 3)
            return wrongArguments("three texts: the format, the option and its value");
        m_formatOptions.push_back(call.args);
        return Answer(call.id, true, 0, "");
    }
    if (call.name == kCallCancel)
        return Answer(call.id, true, 0, "Nothing to cancel.");
    if (call.name != kCallSendFile)
        return Answer(call.id, false, EINVAL, "Unknown call \"" + call.name + "\".");
    if (!call.argsAreTexts || call.args.size() != 2)
        return wrongArguments("two texts: the file and the phone folder");

    std::string error;
    std::unique_ptr<CLinkBackend> backend = m_factory ? m_factory(&error) : nullptr;
    if (!backend)
        return Answer(call.id, false, ENODEV, error.empty() ? "No phone link is available." : error);
    m_bBusy = true;
    m_bCancelled = false;
    const SendOutcome outcome = backend->SendFile(call.args[0], call.args[1], *this);
    m_bBusy = false;
    Answer(call.id, outcome.ok, outcome.status,
           outcome.text.empty() && !outcome.ok ? "The file could not be sent." : outcome.text);
    for (const int64_t id : m_cancelIds)
        Answer(id, true, 0, "Cancelled.");
    m_cancelIds.clear();
}

void CLinkServer::Event(const std::string& text, int64_t done, int percent, int64_t total)
{
    Write(EventLine(LinkEvent{Bounded(text), Clamp32(done), std::clamp(percent, 0, 100), Clamp32(total)}));
}

bool CLinkServer::Cancelled()
{
    std::string line;
    while (!m_bCancelled && ReadLine(0, &line) == Read::Line) {
        if (Blank(line))
            continue;
        const LinkMessage message = ParseLinkLine(line);
        if (message.kind == LinkMessage::Kind::Call && message.call.name == kCallCancel) {
            m_bCancelled = true;
            m_cancelIds.push_back(message.call.id);
        } else if (m_pending.size() < kMaxPending) {
            m_pending.push_back(line); // served once the file is sent
        } else {
            Answer(message.call.id, false, EBUSY, "The link is busy sending a file.");
        }
    }
    return m_bCancelled;
}
