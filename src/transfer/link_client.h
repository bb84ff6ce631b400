// CLinkClient: drives the phone link program `tessary-link` for the transfer
// page and for `tessary-anim send`. The link runs as a child process spoken to
// over its standard input and output (link_protocol.h); the client starts it on
// the first call, reuses it while it behaves, and replaces it after any fault.
//
// The client never hangs and never lets a fault look like success:
// - it waits with deadlines (the hello, and the silence allowed during a call),
//   calling the pump hook meanwhile so that a window stays alive;
// - a missing, crashing, silent, babbling or garbled link fails the call with a
//   text of ours; the child is then terminated, killed when it does not go, and
//   reaped, and the next call starts a fresh one;
// - only an explicit "ok":true is success;
// - the child's stderr is read all along into a small buffer, so it can never
//   block the child, and the child dies with the process that started it.
//
// No widgets: the page hands in its event pump and its event delivery.
#pragma once

#include "link_protocol.h"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

struct LinkClientSettings {
    std::string executable;          // the link program
    int helloTimeoutMs = 5000;       // from start to the hello line
    int callTimeoutMs = 30000;       // longest silence during a call
    int cancelGraceMs = 2000;        // after a cancel, before the link is killed
    int terminateGraceMs = 500;      // after SIGTERM, before SIGKILL
};

// The link program for a program in `programFolder`: $TESSARY_LINK when set,
// else "tessary-link" in that folder.
std::string LinkExecutablePath(const std::string& programFolder);
// The folder of the running program, with its final "/".
std::string RunningProgramFolder();
// The settings for the link in `programFolder`; $TESSARY_LINK_TIMEOUT_MS (a
// positive number of milliseconds) replaces both deadlines.
LinkClientSettings DefaultLinkClientSettings(const std::string& programFolder);

class CLinkClient {
public:
    explicit CLinkClient(LinkClientSettings settings);
    ~CLinkClient();
    CLinkClient(const CLinkClient&) = delete;
    CLinkClient& operator=(const CLinkClient&) = delete;

    using EventHandler = std::function<void(const LinkEvent&)>;
    // Reads a string setting under "\Customization Wizards" by its name.
    using SettingReader = std::function<std::string(const std::string&)>;
    using Pump = std::function<void()>;

    // Called for every event of the link, during the call.
    void SetEventHandler(EventHandler handler) { m_onEvent = std::move(handler); }
    void SetSettingReader(SettingReader reader) { m_readSetting = std::move(reader); }
    // Called every few milliseconds while the client waits.
    void SetPump(Pump pump) { m_pump = std::move(pump); }

    // Sends the file to the phone folder named by the setting `folderSetting`.
    // A path ending in "wav" first sets the "audio/amr" format option. Returns
    // "" on success, otherwise the reason (never empty).
    std::string SendToPhone(const std::string& path, const std::string& folderSetting);

    // Asks the running call to stop (from an event handler or the pump): the
    // link is told to cancel and, after the grace time, killed. The call then
    // fails with "The transfer was cancelled." unless it ended first.
    void RequestCancel();
    bool InCall() const { return m_bInCall; }

    // The last result line of a call that ended with one (its text on success
    // says where the file went).
    const LinkResult& LastResult() const { return m_lastResult; }
    // The end of what the link wrote on stderr (at most a few KiB).
    const std::string& ErrorOutput() const { return m_stderr; }
    // The running link's process id, or -1.
    pid_t ChildPid() const { return m_pid; }
    // How many link processes this client has started.
    int StartCount() const { return m_nStarts; }

    // Ends the link: end of its input, then terminate, kill and reap as needed.
    void Close();

    static constexpr std::size_t kStderrKeep = 4096;

private:
    bool Start(std::string* error);
    bool RunCall(const std::string& name, const std::vector<std::string>& args, LinkResult* result,
                 std::string* error);
    enum class Wait { Line, Timeout, Closed, TooLong, Cancelled, Error };
    Wait WaitForLine(int timeoutMs, std::string* line);
    // The text of a wait that brought no line: `timedOut`, `tooLong` or, when
    // the link ended, `ended` with how it ended.
    std::string WaitFailure(Wait wait, const std::string& timedOut, const char* tooLong, const char* ended);
    bool WriteLine(const std::string& line);
    void ReadStderr();
    void Terminate();
    std::string Died(const std::string& what);

    LinkClientSettings m_settings;
    EventHandler m_onEvent;
    SettingReader m_readSetting;
    Pump m_pump;

    pid_t m_pid = -1;
    int m_in = -1;  // the link's standard input (a socket, written with MSG_NOSIGNAL)
    int m_out = -1; // its standard output
    int m_err = -1; // its standard error
    std::string m_outBuffer;
    std::string m_stderr;
    int64_t m_nextId = 1;
    int m_nStarts = 0;
    bool m_bInCall = false;
    bool m_bCancelRequested = false;
    bool m_bCancelSent = false;
    LinkResult m_lastResult;
};
