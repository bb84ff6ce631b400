// The lines the wizard and the phone link exchange: what is written is read
// back the same, only an explicit "ok":true is success, and a line that is
// not what the protocol says is refused with a reason, never taken half.
#include "link_json.h"
#include "link_protocol.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(LinkProtocol, CallsReadBackAsWritten)
{
    const std::vector<std::vector<std::string>> argLists = {
        {},
        {"INIT"},
        {"/home/anne/My \"holiday\".gif", "Pictures\\Animations"},
        {"line\nbreak\ttab\rreturn", std::string("nul\0byte", 8), "\x01\x1f\x7f"},
        {"été 日本 😀", "a/b/../c"},
    };
    int64_t id = 1;
    for (const auto& args : argLists) {
        const LinkCall call{id, "LinkSendFile", args, true};
        const std::string line = CallLine(call);
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        const LinkMessage m = ParseLinkLine(line);
        ASSERT_EQ(m.kind, LinkMessage::Kind::Call) << line << ": " << m.error;
        EXPECT_EQ(m.call.id, id);
        EXPECT_EQ(m.call.name, "LinkSendFile");
        EXPECT_EQ(m.call.args, args) << line;
        EXPECT_TRUE(m.call.argsAreTexts);
        id = id * 1000 + 7;
    }
}

TEST(LinkProtocol, BytesThatAreNotUtf8ArriveAsReplacementCharacters)
{
    const LinkMessage m = ParseLinkLine(CallLine(LinkCall{1, "LinkSendFile", {"a\xff" "b", "\xc3"}, true}));
    ASSERT_EQ(m.kind, LinkMessage::Kind::Call);
    EXPECT_EQ(m.call.args[0], "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(m.call.args[1], "\xEF\xBF\xBD");
}

TEST(LinkProtocol, EventsAndResultsReadBackAsWritten)
{
    const LinkEvent event{"Sending <holiday>.gif \"now\"", -7, 55, INT32_MAX};
    const LinkMessage e = ParseLinkLine(EventLine(event));
    ASSERT_EQ(e.kind, LinkMessage::Kind::Event) << e.error;
    EXPECT_EQ(e.event.text, event.text);
    EXPECT_EQ(e.event.p2, -7);
    EXPECT_EQ(e.event.p3, 55);
    EXPECT_EQ(e.event.p4, INT32_MAX);

    for (const bool ok : {true, false}) {
        const LinkResult result{42, ok, ok ? 0 : 28, ok ? "Saved as x.gif" : "No space"};
        const LinkMessage r = ParseLinkLine(ResultLine(result));
        ASSERT_EQ(r.kind, LinkMessage::Kind::Result) << r.error;
        EXPECT_EQ(r.result.id, 42);
        EXPECT_EQ(r.result.ok, ok);
        EXPECT_EQ(r.result.status, result.status);
        EXPECT_EQ(r.result.text, result.text);
    }
    const LinkMessage hello = ParseLinkLine(HelloLine());
    ASSERT_EQ(hello.kind, LinkMessage::Kind::Hello);
    EXPECT_EQ(hello.helloName, "tessary-link");
    EXPECT_EQ(hello.protocol, 1);
}

TEST(LinkProtocol, OnlyAnExplicitTrueIsSuccess)
{
    const struct {
        const char* ok;
        bool want;
    } cases[] = {
        {"\"ok\":true,", true},  {"\"ok\":false,", false}, {"\"ok\":\"true\",", false},
        {"\"ok\":1,", false},    {"\"ok\":null,", false},  {"", false},
        {"\"ok\":[true],", false},
    };
    for (const auto& c : cases) {
        const std::string line = std::string("{\"result\":3,") + c.ok + "\"status\":0,\"text\":\"\"}";
        const LinkMessage m = ParseLinkLine(line);
        ASSERT_EQ(m.kind, LinkMessage::Kind::Result) << line << ": " << m.error;
        EXPECT_EQ(m.result.ok, c.want) << line;
    }
}

TEST(LinkProtocol, LinesOutsideTheProtocolAreRefusedWithAReason)
{
    const std::string deep = std::string(40, '[') + std::string(40, ']');
    const std::string lines[] = {
        "",
        "not json",
        "[1,2]",
        "{",
        "{} x",
        "{}",
        "{\"result\":\"3\",\"ok\":true}",
        "{\"result\":1.5,\"ok\":true}",
        "{\"result\":3,\"ok\":true,\"text\":7}",
        "{\"event\":\"link\",\"p3\":\"50\"}",
        "{\"event\":\"link\",\"p3\":12.5}",
        "{\"event\":\"link\",\"p3\":1e20}",
        "{\"event\":7}",
        "{\"hello\":\"tessary-link\"}",
        "{\"id\":1,\"call\":\"x\",\"args\":[\"\\ud800\"]}",
        "{\"id\":1,\"call\":\"x\",\"args\":[\"\\q\"]}",
        "{\"id\":1,\"call\":\"x\",\"args\":[\"tab\there\"]}",
        "{\"a\":" + deep + "}",
        "{\"event\":\"link\",\"text\":\"" + std::string(kLinkMaxLine, 'x') + "\"}",
    };
    for (const std::string& line : lines) {
        const LinkMessage m = ParseLinkLine(line);
        EXPECT_EQ(m.kind, LinkMessage::Kind::Invalid) << line.substr(0, 80);
        EXPECT_FALSE(m.error.empty()) << line.substr(0, 80);
    }
}

TEST(LinkProtocol, ACallWithWrongPartsKeepsItsNumberForTheAnswer)
{
    const LinkMessage unnamed = ParseLinkLine("{\"id\":9,\"call\":5}");
    EXPECT_EQ(unnamed.kind, LinkMessage::Kind::Invalid);
    EXPECT_EQ(unnamed.call.id, 9);

    for (const char* args : {"[1,\"a\"]", "\"a\"", "{\"a\":1}", "[null]"}) {
        const LinkMessage m = ParseLinkLine(std::string("{\"id\":4,\"call\":\"LinkSendFile\",\"args\":") + args + "}");
        ASSERT_EQ(m.kind, LinkMessage::Kind::Call) << args;
        EXPECT_EQ(m.call.id, 4);
        EXPECT_FALSE(m.call.argsAreTexts) << args;
    }
}

TEST(LinkJson, EscapesAndSurrogatePairsBecomeUtf8)
{
    const struct {
        const char* json;
        const char* text;
    } cases[] = {
        {"\"\\u00e9\"", "é"},
        {"\"\\ud83d\\ude00\"", "😀"},
        {"\"a\\/b\\\\c\\\"d\"", "a/b\\c\"d"},
        {"\"\\b\\f\\n\\r\\t\"", "\b\f\n\r\t"},
        {"\"\\u0000\"", ""},
    };
    for (const auto& c : cases) {
        JsonValue v;
        std::string error;
        ASSERT_TRUE(ParseJson(c.json, &v, &error)) << c.json << ": " << error;
        ASSERT_EQ(v.kind, JsonValue::Kind::String);
        EXPECT_EQ(v.text, std::string(c.text, std::strlen(c.text) + (c.text[0] == '\0' ? 1 : 0))) << c.json;
    }
}

} // namespace
