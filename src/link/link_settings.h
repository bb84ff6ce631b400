// The link's own settings, read from the suite's settings store:
//   "Current Link" under the product key: which backend ("None": no link;
//       "Bluetooth": not in this version; anything else: the folder backend);
//   "StorageFolder" under "\Phone Link": the phone's storage folder, empty to
//       look for the phone. $TESSARY_PHONE_STORAGE, when set, replaces it.
#pragma once

#include "link_backend.h"

#include <memory>
#include <string>

inline constexpr const char* kLinkSettingsKey = "SOFTWARE\\Quenlor\\Tessary\\Phone Link";

struct LinkSettings {
    std::string currentLink;
    std::string storageFolder;
};

// A missing store or value reads as empty.
LinkSettings ReadLinkSettings();

// The backend the settings choose; null with the reason when there is none.
std::unique_ptr<CLinkBackend> MakeBackend(const LinkSettings& settings, std::string* error);
