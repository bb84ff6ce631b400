// The settings the suite's installer leaves in the settings store, below the
// product key "SOFTWARE\Quenlor\Tessary". Every read goes to the store afresh;
// a value that cannot be read or written is reported in a message box each time.
#pragma once

#include <cstdint>
#include <string>

// The product key and the sub-keys appended to it.
inline constexpr const char* kSettingsBaseKey = "SOFTWARE\\Quenlor\\Tessary";
inline constexpr const char* kSubKeyWizards = "\\Customization Wizards";
inline constexpr const char* kSubKeyWizardsUser = "\\Customization Wizards\\user";
inline constexpr const char* kSubKeyContentManager = "\\Content Manager";

// Size of the buffer a string value is read into, terminating zero included.
inline constexpr std::size_t kSettingStringBuffer = 520;

// Reads the string `valueName` under the base key followed by `subKey`.
// On failure shows "Registry error :\n<key>[<value>] (<status>)" and returns "";
// `out` (if given) receives the value only on success.
std::string ReadSettingString(const std::string& valueName, std::string* out = nullptr,
                              const std::string& subKey = std::string());

// ReadSettingString under "\Customization Wizards".
std::string ReadWizardString(const std::string& valueName);

// Reads a 32-bit value under "\Customization Wizards". On failure shows
// "Registry error" and returns the status number in place of the value.
uint32_t ReadWizardDword(const std::string& valueName);

// Reads a 32-bit value under "\Customization Wizards\user" that the store
// need not hold: a missing value (or key, or store) gives 0 without a box. Any
// other failure shows "Registry error" and gives 0 as well.
uint32_t ReadOptionalUserDword(const std::string& valueName);

// Writes the string `value` as `valueName` under the base key followed by
// `subKey`. The key must exist. On failure shows the detailed registry error box
// and returns false.
bool WriteSettingString(const std::string& valueName, const std::string& value,
                        const std::string& subKey);

// Caption of the store's boxes: the program's title in the chosen language,
// "Create Animation" before the texts are built.
std::string SettingsBoxCaption();
