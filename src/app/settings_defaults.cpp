#include "settings_defaults.h"

#include "settings_defaults_table.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool SameKey(const char* rowKey, const std::string& key)
{
    const std::string row = rowKey;
    return row == key || (row == "-" && key.empty());
}

const DefaultSettingRow* FindRow(const std::string& key, const std::string& name)
{
    for (const DefaultSettingRow& row : kDefaultSettingRows) {
        if (SameKey(row.key, key) && name == row.name)
            return &row;
    }
    return nullptr;
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// A text value in the store's quoting: backslashes and quotes escaped.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

uint32_t DefaultDword(const std::string& key, const std::string& name)
{
    const DefaultSettingRow* row = FindRow(key, name);
    if (!row || std::string(row->type) != "dword")
        return 0;
    return static_cast<uint32_t>(std::strtoul(row->value, nullptr, 10));
}

std::string DefaultText(const std::string& key, const std::string& name)
{
    const DefaultSettingRow* row = FindRow(key, name);
    return (row && std::string(row->type) == "text") ? row->value : "";
}

DelayLimits DefaultDelayLimits(int32_t imageSize)
{
    const std::string screen = imageSize == 64 ? "HalfScreen" : "FullScreen";
    const std::string key = "Customization Wizards";
    return DelayLimits{DefaultDword(key, screen + "AnimMinDelay"), DefaultDword(key, screen + "AnimMaxDelay"),
                       DefaultDword(key, screen + "AnimDefaultDelay")};
}

uint32_t DefaultAnimMaxSize()
{
    return DefaultDword("Customization Wizards", "AnimMaxSize");
}

std::string DefaultPhoneImageFolder()
{
    return DefaultText("Customization Wizards", "PhoneImageFolder");
}

std::string DefaultSettingsStoreText(const std::string& installFolder, const std::string& picturesFolder,
                                     const std::string& language)
{
    std::string install = installFolder;
    while (install.size() > 1 && install.back() == '/')
        install.pop_back();
    install += '/';
    std::string pictures = picturesFolder;
    while (pictures.size() > 1 && pictures.back() == '/')
        pictures.pop_back();

    const std::string base = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary";
    std::string text = "Windows Registry Editor Version 5.00\n";
    std::string section = "\x01"; // no section yet
    for (const DefaultSettingRow& row : kDefaultSettingRows) {
        const std::string key = row.key;
        if (key != section) {
            text += "\n[" + base + (key == "-" ? "" : "\\" + key) + "]\n";
            section = key;
        }
        std::string value = row.value;
        if (std::string(row.type) == "dword") {
            char hex[16];
            std::snprintf(hex, sizeof hex, "dword:%08lx", std::strtoul(row.value, nullptr, 10));
            text += Quoted(row.name) + "=" + hex + "\n";
            continue;
        }
        if (std::string(row.name) == "Language")
            value = language;
        // The installation folder already ends in '/', so "@PICTURES@/" keeps one slash.
        ReplaceAll(value, "@INSTALL@", install);
        ReplaceAll(value, "@PICTURES@", pictures);
        if (value.size() > 1 && value.find("//") == value.size() - 2)
            value.pop_back();
        text += Quoted(row.name) + "=" + Quoted(value) + "\n";
    }
    return text;
}
