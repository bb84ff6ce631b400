#include "link_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// How often the pump runs while the client waits.
constexpr int kPumpIntervalMs = 10;
// How long a closed link input is given to end the link before it is terminated.
constexpr int kCloseGraceMs = 1000;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool EndsWithWav(const std::string& path)
{
    if (path.size() < 3)
        return false;
    std::string tail = path.substr(path.size() - 3);
    for (char& c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == "wav";
}

std::string Seconds(int ms)
{
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000) + " s";
    return std::to_string(ms) + " ms";
}

// The last non-empty line of `text`, cut to a readable length.
std::string LastLine(const std::string& text)
{
    std::size_t end = text.find_last_not_of("\r\n \t");
    if (end == std::string::npos)
        return {};
    std::size_t begin = text.rfind('\n', end);
    begin = begin == std::string::npos ? 0 : begin + 1;
    std::string line = text.substr(begin, end + 1 - begin);
    if (line.size() > 200)
        line = line.substr(0, 200) + "...";
    return line;
}

// Waits up to `ms` for the child to end; true (with `status`) when it did.
bool ReapWithin(pid_t pid, int ms, int* status)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const pid_t r = ::waitpid(pid, status, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD))
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

std::string RunningProgramFolder()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return "./";
    const std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string LinkExecutablePath(const std::string& programFolder)
{
    const char* explicitPath = std::getenv("TESSARY_LINK");
    if (explicitPath && *explicitPath)
        return explicitPath;
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + kLinkName;
}

LinkClientSettings DefaultLinkClientSettings(const std::string& programFolder)
{
    LinkClientSettings settings;
    settings.executable = LinkExecutablePath(programFolder);
    if (const char* timeout = std::getenv("TESSARY_LINK_TIMEOUT_MS")) {
        char* end = nullptr;
        const long ms = std::strtol(timeout, &end, 10);
        if (end != timeout && *end == '\0' && ms > 0 && ms <= INT_MAX) {
            settings.helloTimeoutMs = static_cast<int>(ms);
            settings.callTimeoutMs = static_cast<int>(ms);
        }
    }
    return settings;
}

CLinkClient::CLinkClient(LinkClientSettings settings) : m_settings(std::move(settings)) {}

CLinkClient::~CLinkClient()
{
    Close();
}

bool CLinkClient::Start(std::string* error)
{
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    int errors[2] = {-1, -1};
    int status[2] = {-1, -1};
    // The link's input is a socket so that writing to a link that died gives an
    // error (MSG_NOSIGNAL) instead of a SIGPIPE that would end the wizard.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0 || ::pipe2(output, O_CLOEXEC) != 0 ||
        ::pipe2(errors, O_CLOEXEC) != 0 || ::pipe2(status, O_CLOEXEC) != 0) {
        const int e = errno;
        for (int* fds : {input, output, errors, status}) {
            CloseFd(fds[0]);
            CloseFd(fds[1]);
        }
        *error = "The phone link program could not be started: " + std::string(std::strerror(e)) + ".";
        return false;
    }

    const std::string executable = m_settings.executable;
    char* const argv[] = {const_cast<char*>(executable.c_str()), nullptr};
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(input[1], 0);
        ::dup2(output[1], 1);
        ::dup2(errors[1], 2);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction defaults {};
        defaults.sa_handler = SIG_DFL;
        for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGXFSZ})
            ::sigaction(sig, &defaults, nullptr);
        // Descriptors the wizard left inheritable do not reach the link.
#ifdef SYS_close_range
        ::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */);
#endif
        ::execv(executable.c_str(), argv);
        const int e = errno;
        ssize_t ignored = ::write(status[1], &e, sizeof e);
        (void)ignored;
        ::_exit(127);
    }
    const int forkErrno = errno;
    CloseFd(input[1]);
    CloseFd(output[1]);
    CloseFd(errors[1]);
    CloseFd(status[1]);
    if (pid < 0) {
        CloseFd(input[0]);
        CloseFd(output[0]);
        CloseFd(errors[0]);
        CloseFd(status[0]);
        *error = "The phone link program could not be started: " + std::string(std::strerror(forkErrno)) + ".";
        return false;
    }

    // The status pipe closes on exec; an errno arrives when exec failed.
    int execErrno = 0;
    ssize_t got;
    do {
        got = ::read(status[0], &execErrno, sizeof execErrno);
    } while (got < 0 && errno == EINTR);
    CloseFd(status[0]);

    m_pid = pid;
    m_in = input[0];
    m_out = output[0];
    m_err = errors[0];
    m_outBuffer.clear();
    m_stderr.clear();
    ++m_nStarts;
    for (int fd : {m_in, m_out, m_err})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

    if (got == static_cast<ssize_t>(sizeof execErrno)) {
        Terminate();
        *error = "The phone link program " + executable + " could not be started: " + std::strerror(execErrno) + ".";
        return false;
    }

    std::string line;
    if (const Wait wait = WaitForLine(m_settings.helloTimeoutMs, &line); wait != Wait::Line) {
        *error = WaitFailure(wait,
                             "The phone link program did not answer within " + Seconds(m_settings.helloTimeoutMs) + ".",
                             "The phone link program sent a line longer than 64 KiB.",
                             "The phone link program ended before it was ready");
        return false;
    }
    const LinkMessage hello = ParseLinkLine(line);
    if (hello.kind != LinkMessage::Kind::Hello || hello.helloName != kLinkName) {
        *error = "The program " + executable + " is not a phone link: it did not greet as one.";
        return false;
    }
    if (hello.protocol != kLinkProtocol) {
        *error = "The phone link program speaks protocol " + std::to_string(hello.protocol) + ", not " +
                 std::to_string(kLinkProtocol) + ".";
        return false;
    }
    // Its answer is not examined: a link that cannot reach a phone says so when
    // it is asked to send.
    LinkResult init;
    return RunCall(kCallInit, {"INIT"}, &init, error);
}

bool CLinkClient::WriteLine(const std::string& text)
{
    const std::string line = text + "\n";
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_settings.callTimeoutMs);
    while (done < line.size()) {
        if (m_in < 0)
            return false;
        const ssize_t n = ::send(m_in, line.data() + done, line.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int left = MillisecondsLeft(deadline);
            if (left <= 0)
                return false;
            pollfd p{m_in, POLLOUT, 0};
            ::poll(&p, 1, std::min(left, kPumpIntervalMs));
            ReadStderr();
            continue;
        }
        return false;
    }
    return true;
}

void CLinkClient::ReadStderr()
{
    if (m_err < 0)
        return;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(m_err, buffer, sizeof buffer);
        if (n > 0) {
            m_stderr.append(buffer, static_cast<std::size_t>(n));
            if (m_stderr.size() > kStderrKeep)
                m_stderr.erase(0, m_stderr.size() - kStderrKeep);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            CloseFd(m_err);
        return;
    }
}

CLinkClient::Wait CLinkClient::WaitForLine(int timeoutMs, std::string* line)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Clock::time_point cancelDeadline = Clock::time_point::max();
    for (;;) {
        const std::size_t newline = m_outBuffer.find('\n');
        if (newline != std::string::npos) {
            if (newline > kLinkMaxLine)
                return Wait::TooLong;
            *line = m_outBuffer.substr(0, newline);
            if (!line->empty() && line->back() == '\r')
                line->pop_back();
            m_outBuffer.erase(0, newline + 1);
            return Wait::Line;
        }
        if (m_outBuffer.size() > kLinkMaxLine)
            return Wait::TooLong;
        if (m_out < 0)
            return Wait::Closed;

        if (m_bCancelRequested) {
            if (!m_bInCall)
                return Wait::Cancelled;
            if (!m_bCancelSent) {
                m_bCancelSent = true;
                LinkCall cancel{m_nextId++, kCallCancel, {}, true};
                WriteLine(CallLine(cancel));
                cancelDeadline = Clock::now() + std::chrono::milliseconds(m_settings.cancelGraceMs);
            }
            if (Clock::now() >= cancelDeadline)
                return Wait::Cancelled;
            deadline = std::min(deadline, cancelDeadline);
        }

        const int left = MillisecondsLeft(deadline);
        if (left <= 0)
            return m_bCancelSent ? Wait::Cancelled : Wait::Timeout;

        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        const int wait = m_pump ? std::min(left, kPumpIntervalMs) : left;
        const int ready = ::poll(fds, m_err >= 0 ? 2 : 1, wait);
        if (ready < 0 && errno != EINTR)
            return Wait::Error;
        if (ready > 0) {
            if (m_err >= 0 && fds[1].revents)
                ReadStderr();
            if (fds[0].revents) {
                char buffer[16384];
                const ssize_t n = ::read(m_out, buffer, sizeof buffer);
                if (n > 0)
                    m_outBuffer.append(buffer, static_cast<std::size_t>(n));
                else if (n == 0)
                    CloseFd(m_out); // what is buffered is still read above
                else if (errno != EINTR && errno != EAGAIN)
                    return Wait::Error;
            }
        }
        if (m_pump)
            m_pump();
    }
}

bool CLinkClient::RunCall(const std::string& name, const std::vector<std::string>& args, LinkResult* result,
                          std::string* error)
{
    LinkCall call{m_nextId++, name, args, true};
    const std::string callLine = CallLine(call);
    // The link ignores a line this long: no answer would ever come.
    if (callLine.size() > kLinkMaxLine) {
        *error = "The file name or the phone folder is too long for the phone link.";
        return false;
    }
    if (!WriteLine(callLine)) {
        *error = Died("The phone link program stopped taking calls");
        return false;
    }
    for (;;) {
        std::string line;
        if (const Wait wait = WaitForLine(m_settings.callTimeoutMs, &line); wait != Wait::Line) {
            *error = WaitFailure(
                wait, "The phone link stopped answering (no word for " + Seconds(m_settings.callTimeoutMs) + ").",
                "The phone link sent a line longer than 64 KiB.", "The phone link program ended during the transfer");
            return false;
        }
        const LinkMessage message = ParseLinkLine(line);
        switch (message.kind) {
        case LinkMessage::Kind::Event:
            if (m_onEvent)
                m_onEvent(message.event);
            break;
        case LinkMessage::Kind::Result:
            // A late answer to an earlier call (a cancel) is not this call's.
            if (message.result.id == call.id) {
                *result = message.result;
                return true;
            }
            break;
        default:
            *error = "The phone link answered something that is not understood (" +
                     (message.error.empty() ? std::string("an unexpected message") : message.error) + ").";
            return false;
        }
    }
}

std::string CLinkClient::WaitFailure(Wait wait, const std::string& timedOut, const char* tooLong, const char* ended)
{
    switch (wait) {
    case Wait::Timeout:
        return timedOut;
    case Wait::TooLong:
        return tooLong;
    case Wait::Cancelled:
        return "The transfer was cancelled.";
    case Wait::Line:
    case Wait::Closed:
    case Wait::Error:
        break;
    }
    return Died(ended);
}

std::string CLinkClient::Died(const std::string& what)
{
    // Reap it to tell how it ended; what it said last on stderr helps too.
    int status = 0;
    std::string how;
    if (m_pid > 0 && ReapWithin(m_pid, 200, &status)) {
        if (WIFSIGNALED(status))
            how = " (killed by signal " + std::to_string(WTERMSIG(status)) + ")";
        else if (WIFEXITED(status))
            how = " (exit code " + std::to_string(WEXITSTATUS(status)) + ")";
        m_pid = -1;
    }
    ReadStderr();
    std::string text = what + how + ".";
    const std::string said = LastLine(m_stderr);
    if (!said.empty())
        text += " It said: " + said;
    return text;
}

void CLinkClient::Terminate()
{
    CloseFd(m_in);
    if (m_pid > 0) {
        int status = 0;
        if (!ReapWithin(m_pid, 0, &status)) {
            ::kill(m_pid, SIGTERM);
            if (!ReapWithin(m_pid, m_settings.terminateGraceMs, &status)) {
                ::kill(m_pid, SIGKILL);
                while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
                }
            }
        }
    }
    m_pid = -1;
    ReadStderr();
    CloseFd(m_out);
    CloseFd(m_err);
    m_outBuffer.clear();
}

void CLinkClient::Close()
{
    if (m_pid > 0) {
        // The end of its input ends a healthy link by itself.
        CloseFd(m_in);
        int status = 0;
        if (ReapWithin(m_pid, kCloseGraceMs, &status))
            m_pid = -1;
    }
    Terminate();
}

void CLinkClient::RequestCancel()
{
    if (m_bInCall)
        m_bCancelRequested = true;
}

std::string CLinkClient::SendToPhone(const std::string& path, const std::string& folderSetting)
{
    if (m_bInCall)
        return "A transfer is already running.";
    m_bInCall = true;
    m_bCancelRequested = false;
    m_bCancelSent = false;
    m_lastResult = LinkResult{};
    struct CallEnd {
        bool& inCall;
        ~CallEnd() { inCall = false; }
    } callEnd{m_bInCall};

    // A link that ended since the last call is replaced.
    if (m_pid > 0) {
        int status = 0;
        if (ReapWithin(m_pid, 0, &status)) {
            m_pid = -1;
            Terminate();
        }
    }
    std::string error;
    if (m_pid < 0 && !Start(&error)) {
        Terminate();
        return error;
    }
    LinkResult result;
    if (EndsWithWav(path) &&
        !RunCall(kCallSetFormatOption, {"audio/amr", "VocoderTypeName", "MR102"}, &result, &error)) {
        Terminate();
        return error;
    }
    const std::string folder = m_readSetting ? m_readSetting(folderSetting) : std::string();
    if (!RunCall(kCallSendFile, {path, folder}, &result, &error)) {
        Terminate();
        return error;
    }
    m_lastResult = result;
    // The answer to a cancel may still be on its way: start clean next time.
    if (m_bCancelSent)
        Close();
    if (result.ok)
        return {};
    if (result.text.empty())
        return "The phone link failed without giving a reason.";
    return result.text;
}
