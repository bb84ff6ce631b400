#include "link_protocol.h"

#include "link_json.h"

#include <limits>

namespace {

std::string Int(int64_t v)
{
    return std::to_string(v);
}

bool Int32Member(const JsonValue& object, const char* key, int32_t* out)
{
    const JsonValue* v = object.Find(key);
    if (!v)
        return true; // absent numbers are 0
    int64_t n = 0;
    if (!v->AsInteger(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), &n))
        return false;
    *out = static_cast<int32_t>(n);
    return true;
}

bool TextMember(const JsonValue& object, const char* key, std::string* out)
{
    const JsonValue* v = object.Find(key);
    if (!v)
        return true;
    if (v->kind != JsonValue::Kind::String)
        return false;
    *out = v->text;
    return true;
}

LinkMessage Invalid(const std::string& why)
{
    LinkMessage m;
    m.kind = LinkMessage::Kind::Invalid;
    m.error = why;
    return m;
}

} // namespace

std::string HelloLine()
{
    return std::string("{\"hello\":") + JsonQuote(kLinkName) + ",\"protocol\":" + Int(kLinkProtocol) + "}";
}

std::string CallLine(const LinkCall& call)
{
    std::string line = "{\"id\":" + Int(call.id) + ",\"call\":" + JsonQuote(call.name) + ",\"args\":[";
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        if (i)
            line += ',';
        line += JsonQuote(call.args[i]);
    }
    return line + "]}";
}

std::string EventLine(const LinkEvent& event)
{
    return "{\"event\":\"link\",\"text\":" + JsonQuote(event.text) + ",\"p2\":" + Int(event.p2) +
           ",\"p3\":" + Int(event.p3) + ",\"p4\":" + Int(event.p4) + "}";
}

std::string ResultLine(const LinkResult& result)
{
    return "{\"result\":" + Int(result.id) + ",\"ok\":" + (result.ok ? "true" : "false") +
           ",\"status\":" + Int(result.status) + ",\"text\":" + JsonQuote(result.text) + "}";
}

LinkMessage ParseLinkLine(const std::string& line)
{
    if (line.size() > kLinkMaxLine)
        return Invalid("a line longer than 64 KiB");
    JsonValue json;
    std::string error;
    if (!ParseJson(line, &json, &error))
        return Invalid("not JSON (" + error + ")");
    if (json.kind != JsonValue::Kind::Object)
        return Invalid("not a JSON object");

    LinkMessage m;
    constexpr int64_t kMaxId = (int64_t{1} << 53);
    if (const JsonValue* hello = json.Find("hello")) {
        if (hello->kind != JsonValue::Kind::String)
            return Invalid("a hello without a name");
        const JsonValue* protocol = json.Find("protocol");
        if (!protocol || !protocol->AsInteger(0, kMaxId, &m.protocol))
            return Invalid("a hello without a protocol number");
        m.kind = LinkMessage::Kind::Hello;
        m.helloName = hello->text;
        return m;
    }
    if (const JsonValue* call = json.Find("call")) {
        if (const JsonValue* id = json.Find("id"))
            id->AsInteger(-kMaxId, kMaxId, &m.call.id);
        if (call->kind != JsonValue::Kind::String) {
            m.error = "the call is not named by a text";
            return m; // Invalid, with the id kept
        }
        m.call.name = call->text;
        if (const JsonValue* args = json.Find("args")) {
            if (args->kind != JsonValue::Kind::Array) {
                m.call.argsAreTexts = false;
            } else {
                for (const JsonValue& a : args->items) {
                    if (a.kind != JsonValue::Kind::String)
                        m.call.argsAreTexts = false;
                    else
                        m.call.args.push_back(a.text);
                }
            }
        }
        m.kind = LinkMessage::Kind::Call;
        return m;
    }
    if (const JsonValue* event = json.Find("event")) {
        if (event->kind != JsonValue::Kind::String)
            return Invalid("an event without a kind");
        if (!TextMember(json, "text", &m.event.text) || !Int32Member(json, "p2", &m.event.p2) ||
            !Int32Member(json, "p3", &m.event.p3) || !Int32Member(json, "p4", &m.event.p4))
            return Invalid("an event with a wrong member");
        m.kind = LinkMessage::Kind::Event;
        return m;
    }
    if (const JsonValue* result = json.Find("result")) {
        if (!result->AsInteger(-kMaxId, kMaxId, &m.result.id))
            return Invalid("a result without its call number");
        const JsonValue* ok = json.Find("ok");
        m.result.ok = ok && ok->kind == JsonValue::Kind::Bool && ok->boolean;
        if (!Int32Member(json, "status", &m.result.status) || !TextMember(json, "text", &m.result.text))
            return Invalid("a result with a wrong member");
        m.kind = LinkMessage::Kind::Result;
        return m;
    }
    return Invalid("neither a hello, a call, an event nor a result");
}
