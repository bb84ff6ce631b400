// The defaults the suite's installer writes into the settings store, from the one
// table resources/default_settings.tsv (scripts/init-settings reads the same
// table). The wizard itself never falls back on these: it reads the store. The
// batch tool and the tests use them where there is no store.
#pragma once

#include <cstdint>
#include <string>

struct DelayLimits {
    uint32_t minDelay = 0;     // hundredths of a second
    uint32_t maxDelay = 0;
    uint32_t defaultDelay = 0; // for a frame that gives none
};

// The default delay limits for pictures of `imageSize` (128 full screen, 64 half screen).
DelayLimits DefaultDelayLimits(int32_t imageSize);
// The default largest animation the phone accepts, in bytes.
uint32_t DefaultAnimMaxSize();
// The default folder on the phone that receives the animation.
std::string DefaultPhoneImageFolder();

// A number or a text of the table, by key below the product key ("" or "-" for
// the product key itself) and value name; 0 or "" when the table has no such row.
uint32_t DefaultDword(const std::string& key, const std::string& name);
std::string DefaultText(const std::string& key, const std::string& name);

// The whole default store for a user, byte for byte as scripts/init-settings
// writes it: `installFolder` gets a final '/', `picturesFolder` is used as given.
std::string DefaultSettingsStoreText(const std::string& installFolder, const std::string& picturesFolder,
                                     const std::string& language = "EN");
