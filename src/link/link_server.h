// The link's side of the conversation: reads calls line by line, runs them one
// at a time and answers each with exactly one result line. While a file is
// sent it keeps reading, so that "cancel" stops the transfer. Nothing the wizard sends makes it crash: a
// line that is not JSON, an unknown call or wrong arguments get "ok":false.
// Calls that arrive during a transfer are served after it, and the end of the
// input lets the running call finish before the link ends. No line it writes is
// longer than the wizard reads: a text that would make one so is cut.
#pragma once

#include "link_backend.h"
#include "link_protocol.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CLinkServer : public CSendProgress {
public:
    using BackendFactory = std::function<std::unique_ptr<CLinkBackend>(std::string* error)>;

    CLinkServer(int input, int output, BackendFactory factory);

    // Says hello, then serves until the input ends. Returns the exit code.
    int Run();

    // The format options set so far (name, option, value).
    const std::vector<std::vector<std::string>>& FormatOptions() const { return m_formatOptions; }

    void Event(const std::string& text, int64_t done, int percent, int64_t total) override;
    bool Cancelled() override;

private:
    enum class Read { Line, Nothing, End };
    Read ReadLine(int timeoutMs, std::string* line);
    void Serve(const std::string& line);
    void RunCall(const LinkCall& call);
    void Answer(int64_t id, bool ok, int32_t status, const std::string& text);
    void Write(const std::string& line);

    int m_input;
    int m_output;
    BackendFactory m_factory;
    std::string m_buffer;
    bool m_bDiscarding = false; // inside a line that was too long
    bool m_bEnded = false;
    bool m_bBusy = false;
    bool m_bCancelled = false;
    std::vector<int64_t> m_cancelIds;
    static constexpr std::size_t kMaxPending = 64;
    std::deque<std::string> m_pending;
    std::vector<std::vector<std::string>> m_formatOptions;
};
