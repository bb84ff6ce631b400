// The words the wizard and the phone link program `tessary-link` exchange: one
// JSON object per UTF-8 line, on the link's standard input and output.
//
//   link, on start:   {"hello":"tessary-link","protocol":1}
//   wizard, a call:   {"id":7,"call":"LinkSendFile","args":["/tmp/holiday.gif","Pictures/Animations"]}
//   link, meanwhile:  {"event":"link","text":"Sending holiday.gif","p2":4096,"p3":40,"p4":10240}
//   link, at the end: {"result":7,"ok":true,"status":0,"text":"Saved as Pictures/Animations/holiday.gif"}
//
// The calls are "LinkInit" (one text, "INIT"), "LinkSetFormatOption" (three
// texts), "LinkSendFile" (the file and the phone folder) and "cancel" (none),
// which stops the call that runs. In an event p3 is the progress in percent,
// p2 and p4 the bytes sent and the bytes in all. Only "ok":true means success;
// the end of the wizard's output ends the link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* kLinkName = "tessary-link";
inline constexpr int kLinkProtocol = 1;
// A line longer than this (line break excluded) is a fault of the side that sent it.
inline constexpr std::size_t kLinkMaxLine = 64 * 1024;

inline constexpr const char* kCallInit = "LinkInit";
inline constexpr const char* kCallSendFile = "LinkSendFile";
inline constexpr const char* kCallSetFormatOption = "LinkSetFormatOption";
inline constexpr const char* kCallCancel = "cancel";

struct LinkCall {
    int64_t id = 0;
    std::string name;
    std::vector<std::string> args;
    bool argsAreTexts = true; // false when "args" held anything but texts
};

struct LinkEvent {
    std::string text;
    int32_t p2 = 0;
    int32_t p3 = 0; // percent
    int32_t p4 = 0;
};

struct LinkResult {
    int64_t id = 0;
    bool ok = false; // true only for an explicit "ok":true
    int32_t status = 0;
    std::string text;
};

struct LinkMessage {
    enum class Kind { Hello, Call, Event, Result, Invalid };
    Kind kind = Kind::Invalid;
    std::string helloName; // Hello
    int64_t protocol = 0;  // Hello
    LinkCall call;
    LinkEvent event;
    LinkResult result;
    std::string error; // Invalid: why
};

std::string HelloLine();
std::string CallLine(const LinkCall& call);
std::string EventLine(const LinkEvent& event);
std::string ResultLine(const LinkResult& result);

// Reads one line (without its line break). A call keeps the id it carried even
// when something else is wrong with it, so the answer can name it.
LinkMessage ParseLinkLine(const std::string& line);
