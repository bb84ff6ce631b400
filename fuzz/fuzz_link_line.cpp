// Feeds arbitrary bytes to the reader of the phone link's lines, as the link
// client and the link program read what the other side writes. Whatever it
// accepts must survive a trip through the writer unchanged: a call, an event
// or a result written back as a line reads back as the same message, or, when
// that line would be too long, is refused as such. Any bytes quoted by the
// writer read back as a string of exactly their valid UTF-8.
#include "link_json.h"
#include "link_protocol.h"
#include "utf8_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

int Depth(const JsonValue& value)
{
    int deepest = 0;
    for (const JsonValue& item : value.items)
        deepest = std::max(deepest, Depth(item));
    for (const auto& member : value.members)
        deepest = std::max(deepest, Depth(member.value));
    const bool nests = value.kind == JsonValue::Kind::Array || value.kind == JsonValue::Kind::Object;
    return deepest + (nests ? 1 : 0);
}

// Every text inside a parsed value is valid UTF-8 and quotes back to itself.
void CheckTexts(const JsonValue& value)
{
    auto quotesBack = [](const std::string& text) {
        Check(ValidUtf8(text) == text);
        JsonValue again;
        Check(ParseJson(JsonQuote(text), &again, nullptr));
        Check(again.kind == JsonValue::Kind::String && again.text == text);
    };
    if (value.kind == JsonValue::Kind::String)
        quotesBack(value.text);
    for (const JsonValue& item : value.items)
        CheckTexts(item);
    for (const auto& member : value.members) {
        quotesBack(member.name);
        CheckTexts(member.value);
    }
}

// A line the writer made reads back, unless it is longer than a line may be:
// then the reader refuses it as such, and never reads it as something else.
LinkMessage ReadBack(const std::string& line, bool* fits)
{
    const LinkMessage again = ParseLinkLine(line);
    *fits = line.size() <= kLinkMaxLine;
    if (!*fits)
        Check(again.kind == LinkMessage::Kind::Invalid);
    return again;
}

void CheckRoundTrip(const LinkMessage& m)
{
    bool fits = true;
    switch (m.kind) {
    case LinkMessage::Kind::Call: {
        if (!m.call.argsAreTexts)
            return; // the writer only writes texts
        const LinkMessage again = ReadBack(CallLine(m.call), &fits);
        if (!fits)
            return;
        Check(again.kind == LinkMessage::Kind::Call);
        Check(again.call.id == m.call.id && again.call.name == m.call.name && again.call.args == m.call.args);
        Check(again.call.argsAreTexts);
        break;
    }
    case LinkMessage::Kind::Event: {
        const LinkMessage again = ReadBack(EventLine(m.event), &fits);
        if (!fits)
            return;
        Check(again.kind == LinkMessage::Kind::Event);
        Check(again.event.text == m.event.text && again.event.p2 == m.event.p2 && again.event.p3 == m.event.p3 &&
              again.event.p4 == m.event.p4);
        break;
    }
    case LinkMessage::Kind::Result: {
        const LinkMessage again = ReadBack(ResultLine(m.result), &fits);
        if (!fits)
            return;
        Check(again.kind == LinkMessage::Kind::Result);
        Check(again.result.id == m.result.id && again.result.ok == m.result.ok &&
              again.result.status == m.result.status && again.result.text == m.result.text);
        break;
    }
    case LinkMessage::Kind::Hello:
        Check(m.protocol >= 0);
        break;
    case LinkMessage::Kind::Invalid:
        Check(!m.error.empty());
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The writer's quoting of anything.
    JsonValue quoted;
    std::string error;
    Check(ParseJson(JsonQuote(bytes), &quoted, &error));
    Check(quoted.kind == JsonValue::Kind::String && quoted.text == ValidUtf8(bytes));

    // The reader of any text.
    JsonValue value;
    if (ParseJson(bytes, &value, &error)) {
        Check(Depth(value) <= kJsonMaxDepth);
        CheckTexts(value);
    } else {
        Check(!error.empty());
    }

    // The protocol's lines: every line of the input, as the reader splits them.
    std::size_t begin = 0;
    while (begin <= bytes.size()) {
        std::size_t end = bytes.find('\n', begin);
        if (end == std::string::npos)
            end = bytes.size();
        CheckRoundTrip(ParseLinkLine(bytes.substr(begin, end - begin)));
        begin = end + 1;
    }
    return 0;
}
