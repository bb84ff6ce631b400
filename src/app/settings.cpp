#include "settings.h"

#include "message_box.h"
#include "messages.h"
#include "registry_store.h"


namespace {

std::string SettingsKey(const std::string& subKey)
{
    return std::string(kSettingsBaseKey) + subKey;
}

void ShowDetailedError(const std::string& key, const std::string& valueName, long status)
{
    std::string text = "Registry error :\n" + key + "[" + valueName + "] (" + std::to_string(status) + ")";
    platform::ShowMessageBox(nullptr, text, SettingsBoxCaption(), platform::BoxIcon::Error,
                             platform::BoxButtons::Ok);
}

void ShowDwordError()
{
    platform::ShowMessageBox(nullptr, "Registry error", SettingsBoxCaption(), platform::BoxIcon::Error,
                             platform::BoxButtons::Ok);
}

// A shorter stored value fills the low bytes of a buffer preset to zero.
uint32_t DwordOfBytes(const std::string& bytes)
{
    uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return value;
}

} // namespace

std::string SettingsBoxCaption()
{
    return g_messages.TitleCreateAnimation.empty() ? std::string("Create Animation")
                                                   : g_messages.TitleCreateAnimation;
}

std::string ReadSettingString(const std::string& valueName, std::string* out, const std::string& subKey)
{
    const std::string key = SettingsKey(subKey);
    std::string bytes;
    long status = platform::RegistryQueryValue(key, valueName, kSettingStringBuffer, bytes);
    if (status != platform::kRegOk) {
        ShowDetailedError(key, valueName, status);
        return std::string();
    }
    // The text ends at the first zero byte, as in a zeroed buffer.
    std::string value = bytes.substr(0, bytes.find('\0'));
    if (out)
        *out = value;
    return value;
}

std::string ReadWizardString(const std::string& valueName)
{
    return ReadSettingString(valueName, nullptr, kSubKeyWizards);
}

uint32_t ReadWizardDword(const std::string& valueName)
{
    std::string bytes;
    long status = platform::RegistryQueryValue(SettingsKey(kSubKeyWizards), valueName, 4, bytes);
    if (status != platform::kRegOk) {
        ShowDwordError();
        return static_cast<uint32_t>(status);
    }
    return DwordOfBytes(bytes);
}

uint32_t ReadOptionalUserDword(const std::string& valueName)
{
    std::string bytes;
    long status = platform::RegistryQueryValue(SettingsKey(kSubKeyWizardsUser), valueName, 4, bytes);
    if (status == platform::kRegNotFound)
        return 0;
    if (status != platform::kRegOk) {
        ShowDwordError();
        return 0;
    }
    return DwordOfBytes(bytes);
}

bool WriteSettingString(const std::string& valueName, const std::string& value, const std::string& subKey)
{
    const std::string key = SettingsKey(subKey);
    long status = platform::RegistrySetString(key, valueName, value);
    if (status != platform::kRegOk) {
        ShowDetailedError(key, valueName, status);
        return false;
    }
    return true;
}
