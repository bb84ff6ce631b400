#include "link_json.h"

#include "utf8_text.h"

#include <cmath>
#include <cstdlib>

const JsonValue* JsonValue::Find(std::string_view key) const
{
    if (kind != Kind::Object)
        return nullptr;
    const JsonValue* found = nullptr;
    for (const auto& [name, value] : members)
        if (name == key)
            found = &value;
    return found;
}

bool JsonValue::AsInteger(int64_t lo, int64_t hi, int64_t* out) const
{
    if (kind != Kind::Number || !std::isfinite(number) || std::floor(number) != number)
        return false;
    if (number < static_cast<double>(lo) || number > static_cast<double>(hi))
        return false;
    *out = static_cast<int64_t>(number);
    return true;
}

namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    bool Document(JsonValue* out)
    {
        SkipSpace();
        if (!Value(out, 0))
            return false;
        SkipSpace();
        if (m_pos != m_text.size())
            return Fail("text after the value");
        return true;
    }

    std::string error;

private:
    bool Fail(const std::string& why)
    {
        if (error.empty())
            error = why + " at byte " + std::to_string(m_pos);
        return false;
    }

    void SkipSpace()
    {
        while (m_pos < m_text.size() &&
               (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' || m_text[m_pos] == '\r'))
            ++m_pos;
    }

    bool Literal(std::string_view word)
    {
        if (m_text.substr(m_pos, word.size()) != word)
            return Fail("unknown word");
        m_pos += word.size();
        return true;
    }

    bool Value(JsonValue* out, int depth)
    {
        if (m_pos >= m_text.size())
            return Fail("missing value");
        switch (m_text[m_pos]) {
        case '{':
            return Object(out, depth + 1);
        case '[':
            return Array(out, depth + 1);
        case '"':
            out->kind = JsonValue::Kind::String;
            return String(&out->text);
        case 't':
            out->kind = JsonValue::Kind::Bool;
            out->boolean = true;
            return Literal("true");
        case 'f':
            out->kind = JsonValue::Kind::Bool;
            out->boolean = false;
            return Literal("false");
        case 'n':
            out->kind = JsonValue::Kind::Null;
            return Literal("null");
        default:
            return Number(out);
        }
    }

    bool Object(JsonValue* out, int depth)
    {
        if (depth > kJsonMaxDepth)
            return Fail("nested too deeply");
        out->kind = JsonValue::Kind::Object;
        ++m_pos; // '{'
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != '"')
                return Fail("expected a member name");
            std::string name;
            if (!String(&name))
                return false;
            SkipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != ':')
                return Fail("expected ':'");
            ++m_pos;
            SkipSpace();
            JsonValue value;
            if (!Value(&value, depth))
                return false;
            out->members.push_back(JsonMember{std::move(name), std::move(value)});
            SkipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == '}') {
                ++m_pos;
                return true;
            }
            return Fail("expected ',' or '}'");
        }
    }

    bool Array(JsonValue* out, int depth)
    {
        if (depth > kJsonMaxDepth)
            return Fail("nested too deeply");
        out->kind = JsonValue::Kind::Array;
        ++m_pos; // '['
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            SkipSpace();
            JsonValue value;
            if (!Value(&value, depth))
                return false;
            out->items.push_back(std::move(value));
            SkipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == ']') {
                ++m_pos;
                return true;
            }
            return Fail("expected ',' or ']'");
        }
    }

    bool Hex4(unsigned* out)
    {
        if (m_pos + 4 > m_text.size())
            return Fail("short \\u escape");
        unsigned v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<unsigned>(c - 'A' + 10);
            else
                return Fail("bad \\u escape");
        }
        *out = v;
        return true;
    }

    static void AppendUtf8(std::string& s, unsigned cp)
    {
        if (cp < 0x80) {
            s += static_cast<char>(cp);
        } else if (cp < 0x800) {
            s += static_cast<char>(0xC0 | (cp >> 6));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            s += static_cast<char>(0xE0 | (cp >> 12));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (cp >> 18));
            s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool String(std::string* out)
    {
        ++m_pos; // opening quote
        std::string s;
        for (;;) {
            if (m_pos >= m_text.size())
                return Fail("unterminated string");
            const unsigned char c = static_cast<unsigned char>(m_text[m_pos++]);
            if (c == '"')
                break;
            if (c < 0x20)
                return Fail("control character in a string");
            if (c != '\\') {
                s += static_cast<char>(c);
                continue;
            }
            if (m_pos >= m_text.size())
                return Fail("unterminated escape");
            const char e = m_text[m_pos++];
            switch (e) {
            case '"': s += '"'; break;
            case '\\': s += '\\'; break;
            case '/': s += '/'; break;
            case 'b': s += '\b'; break;
            case 'f': s += '\f'; break;
            case 'n': s += '\n'; break;
            case 'r': s += '\r'; break;
            case 't': s += '\t'; break;
            case 'u': {
                unsigned cp = 0;
                if (!Hex4(&cp))
                    return false;
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    unsigned low = 0;
                    if (m_text.substr(m_pos, 2) != "\\u")
                        return Fail("lone surrogate");
                    m_pos += 2;
                    if (!Hex4(&low))
                        return false;
                    if (low < 0xDC00 || low > 0xDFFF)
                        return Fail("lone surrogate");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    return Fail("lone surrogate");
                }
                AppendUtf8(s, cp);
                break;
            }
            default:
                return Fail("unknown escape");
            }
        }
        *out = ValidUtf8(s);
        return true;
    }

    bool Number(JsonValue* out)
    {
        const std::size_t start = m_pos;
        auto digits = [&] {
            const std::size_t from = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9')
                ++m_pos;
            return m_pos - from;
        };
        if (m_pos < m_text.size() && m_text[m_pos] == '-')
            ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '0') {
            ++m_pos;
        } else if (digits() == 0) {
            return Fail("not a value");
        }
        if (m_pos < m_text.size() && m_text[m_pos] == '.') {
            ++m_pos;
            if (digits() == 0)
                return Fail("bad number");
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-'))
                ++m_pos;
            if (digits() == 0)
                return Fail("bad number");
        }
        const std::string number(m_text.substr(start, m_pos - start));
        out->kind = JsonValue::Kind::Number;
        out->number = std::strtod(number.c_str(), nullptr);
        return true;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace

bool ParseJson(std::string_view text, JsonValue* out, std::string* error)
{
    Parser parser(text);
    JsonValue value;
    if (!parser.Document(&value)) {
        if (error)
            *error = parser.error;
        return false;
    }
    *out = std::move(value);
    return true;
}

std::string JsonQuote(const std::string& text)
{
    static const char kHex[] = "0123456789abcdef";
    const std::string valid = ValidUtf8(text);
    std::string out;
    out.reserve(valid.size() + 2);
    out += '"';
    for (const char ch : valid) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}
