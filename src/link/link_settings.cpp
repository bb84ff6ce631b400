#include "link_settings.h"

#include "folder_backend.h"
#include "registry_store.h"

#include <cstdlib>

namespace {

std::string ReadText(const std::string& key, const std::string& name)
{
    std::string bytes;
    if (platform::RegistryQueryValue(key, name, 520, bytes) != platform::kRegOk)
        return {};
    return bytes.substr(0, bytes.find('\0'));
}

bool SameWord(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        const char x = static_cast<char>(a[i] >= 'A' && a[i] <= 'Z' ? a[i] - 'A' + 'a' : a[i]);
        const char y = static_cast<char>(b[i] >= 'A' && b[i] <= 'Z' ? b[i] - 'A' + 'a' : b[i]);
        if (x != y)
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

} // namespace

LinkSettings ReadLinkSettings()
{
    LinkSettings settings;
    settings.currentLink = ReadText("SOFTWARE\\Quenlor\\Tessary", "Current Link");
    settings.storageFolder = ReadText(kLinkSettingsKey, "StorageFolder");
    if (const char* storage = std::getenv("TESSARY_PHONE_STORAGE"); storage && *storage)
        settings.storageFolder = storage;
    return settings;
}

std::unique_ptr<CLinkBackend> MakeBackend(const LinkSettings& settings, std::string* error)
{
    if (SameWord(settings.currentLink, "None")) {
        *error = "No phone link is set up: choose how the phone is connected in the phone suite.";
        return nullptr;
    }
    if (SameWord(settings.currentLink, "Bluetooth")) {
        *error = "Sending by Bluetooth is not available in this version: connect the phone by USB and choose "
                 "USB as the phone link.";
        return nullptr;
    }
    return std::make_unique<CFolderBackend>(settings.storageFolder);
}
