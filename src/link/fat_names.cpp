#include "fat_names.h"

#include "utf8_text.h"

#include <cstring>

namespace {

constexpr std::size_t kMaxNameBytes = 255;

bool IsDeviceName(const std::string& name)
{
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// FAT ignores them at the end of a name: "holiday." would become "holiday".
void DropTrailingDotsAndSpaces(std::string& name)
{
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
}

// Splits at the last dot that is not the first character.
std::size_t ExtensionStart(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return (dot == std::string::npos || dot == 0) ? name.size() : dot;
}

} // namespace

std::string FatSafeName(const std::string& name)
{
    std::string out;
    for (const char ch : ValidUtf8(name)) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", ch))
            out += '_';
        else
            out += ch;
    }
    DropTrailingDotsAndSpaces(out);
    if (out.empty())
        return "_";
    if (IsDeviceName(out))
        out = "_" + out;
    if (out.size() > kMaxNameBytes) {
        const std::size_t dot = ExtensionStart(out);
        std::string extension = out.substr(dot);
        if (extension.size() > 16)
            extension.clear();
        out = CutUtf8(out.substr(0, dot), kMaxNameBytes - extension.size()) + extension;
        // The cut may end the name where it had dots or spaces, and what is
        // left may be a device name.
        DropTrailingDotsAndSpaces(out);
        if (out.empty())
            return "_";
        if (IsDeviceName(out))
            out = "_" + out;
    }
    return out;
}

std::string NumberedName(const std::string& name, int n)
{
    if (n < 2)
        return name;
    const std::size_t dot = ExtensionStart(name);
    const std::string suffix = "-" + std::to_string(n);
    std::string base = name.substr(0, dot);
    const std::string extension = name.substr(dot);
    // An extension that leaves no room for the number is not kept apart.
    if (suffix.size() + extension.size() > kMaxNameBytes)
        return CutUtf8(name, kMaxNameBytes - suffix.size()) + suffix;
    if (base.size() + suffix.size() + extension.size() > kMaxNameBytes)
        base = CutUtf8(base, kMaxNameBytes - suffix.size() - extension.size());
    return base + suffix + extension;
}
