// The little JSON the phone link speaks: one object per line. The reader takes
// any well-formed JSON text (nesting bounded, numbers as doubles) and refuses
// everything else with a reason; the writer quotes texts as valid UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct JsonMember;

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;    // Array
    // Object, in file order. A member of its own type rather than a std::pair,
    // which may not hold the value type before it is complete.
    std::vector<JsonMember> members;

    // The member `key` of an object (the last one when a key repeats); null otherwise.
    const JsonValue* Find(std::string_view key) const;
    // True when the value is a number without fraction within [lo, hi]; `out` gets it.
    bool AsInteger(int64_t lo, int64_t hi, int64_t* out) const;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// Objects and arrays nested deeper than this are refused.
inline constexpr int kJsonMaxDepth = 32;

// Parses one JSON text (surrounding white space allowed). False with `error`
// set when the text is not JSON.
bool ParseJson(std::string_view text, JsonValue* out, std::string* error);

// `text` as a JSON string literal, quotes included. Bytes that are not UTF-8
// become U+FFFD; control characters are escaped.
std::string JsonQuote(const std::string& text);
