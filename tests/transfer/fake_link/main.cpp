// tessary-fake-link: a stand-in for the phone link program that plays what the
// test asks for in $FAKE_LINK_MODE, to check how the client survives links
// that fail, crash, hang, exit or babble. Every line it receives is appended
// to $FAKE_LINK_LOG (when set), after a first line "pid N".
//
// Modes (what happens on LinkSendFile unless said otherwise):
//   ok          events at 0, 50 and 100 %, then "ok":true
//   slow        ten events 100 ms apart, then "ok":true
//   fail        "ok":false with a text;  failempty  "ok":false with no text
//   okstring    "ok":"true";             nook       a result without "ok"
//   crash       one event, then abort()
//   hang        one event, then silence; hangterm  the same, deaf to SIGTERM
//   exit        one event, then exit code 3 without a result
//   garbage     a line that is not JSON;  huge      a 100 KiB line
//   stderr      1 MiB on stderr, then "ok":true
//   cancel      one event, then waits for "cancel" and answers both calls
//   nohello     silence from the start;   exitearly  ends at once
//   badhello    a hello of protocol 2;    wronghello a hello of another program
//   progress    events at -5, 50 and 150 %, then "ok":true
//   markup      an event and a failure whose texts hold mark-up
#include "link_protocol.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

std::string g_mode;

void Say(const std::string& line)
{
    std::cout << line << "\n" << std::flush;
}

void Log(const std::string& line)
{
    if (const char* path = std::getenv("FAKE_LINK_LOG"); path && *path)
        std::ofstream(path, std::ios::app) << line << "\n";
}

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

[[noreturn]] void Silence()
{
    for (;;)
        Sleep(1000);
}

void Event(int percent, const std::string& text = "fake progress")
{
    Say(EventLine(LinkEvent{text, percent * 10, percent, 1000}));
}

void Result(int64_t id, bool ok, const std::string& text)
{
    Say(ResultLine(LinkResult{id, ok, ok ? 0 : 5, text}));
}

void SendFile(const LinkCall& call)
{
    if (g_mode == "ok") {
        for (int p : {0, 50, 100})
            Event(p);
        Result(call.id, true, "Saved by the fake");
    } else if (g_mode == "slow") {
        for (int p = 10; p <= 100; p += 10) {
            Event(p);
            Sleep(100);
        }
        Result(call.id, true, "Saved slowly by the fake");
    } else if (g_mode == "progress") {
        for (int p : {-5, 50, 150})
            Event(p);
        Result(call.id, true, "Saved by the fake");
    } else if (g_mode == "fail") {
        Event(10);
        Result(call.id, false, "The fake phone said no");
    } else if (g_mode == "failempty") {
        Result(call.id, false, "");
    } else if (g_mode == "okstring") {
        Say("{\"result\":" + std::to_string(call.id) + ",\"ok\":\"true\",\"status\":0,\"text\":\"\"}");
    } else if (g_mode == "nook") {
        Say("{\"result\":" + std::to_string(call.id) + ",\"status\":0,\"text\":\"\"}");
    } else if (g_mode == "crash") {
        Event(10);
        std::fputs("fake link: about to crash\n", stderr);
        std::abort();
    } else if (g_mode == "hang" || g_mode == "hangterm") {
        Event(10);
        Silence();
    } else if (g_mode == "exit") {
        Event(10);
        std::exit(3);
    } else if (g_mode == "garbage") {
        Say("this is not json");
        Silence();
    } else if (g_mode == "huge") {
        Say("{\"event\":\"link\",\"text\":\"" + std::string(100 * 1024, 'x') + "\"}");
        Silence();
    } else if (g_mode == "stderr") {
        const std::string chunk(4096, 'e');
        for (int i = 0; i < 256; ++i)
            std::fwrite(chunk.data(), 1, chunk.size(), stderr);
        std::fputs("\nthe last words of the fake\n", stderr);
        Result(call.id, true, "Saved by the fake");
    } else if (g_mode == "markup") {
        Event(40, "Sending <b>a&b</b>");
        Result(call.id, false, "Phone <i>locked</i> & <b>asleep</b>");
    } else if (g_mode == "cancel") {
        Event(10);
        std::string line;
        while (std::getline(std::cin, line)) {
            Log(line);
            const LinkMessage m = ParseLinkLine(line);
            if (m.kind == LinkMessage::Kind::Call && m.call.name == kCallCancel) {
                Result(call.id, false, "Cancelled by the fake");
                Result(m.call.id, true, "Cancelled.");
                return;
            }
        }
        std::exit(0);
    }
}

} // namespace

int main()
{
    const char* mode = std::getenv("FAKE_LINK_MODE");
    g_mode = mode ? mode : "ok";
    Log("pid " + std::to_string(::getpid()));
    if (g_mode == "hangterm")
        ::signal(SIGTERM, SIG_IGN);
    if (g_mode == "exitearly")
        return 0;
    if (g_mode == "nohello")
        Silence();
    if (g_mode == "badhello")
        Say("{\"hello\":\"tessary-link\",\"protocol\":2}");
    else if (g_mode == "wronghello")
        Say("{\"hello\":\"someone-else\",\"protocol\":1}");
    else
        Say(HelloLine());

    std::string line;
    while (std::getline(std::cin, line)) {
        Log(line);
        const LinkMessage m = ParseLinkLine(line);
        if (m.kind != LinkMessage::Kind::Call)
            continue;
        if (m.call.name == kCallSendFile)
            SendFile(m.call);
        else
            Result(m.call.id, true, "");
    }
    return 0;
}
