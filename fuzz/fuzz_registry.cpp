// Feeds arbitrary text to the settings store's parser. A store that parses
// must describe itself consistently: every byte range the writer would splice
// lies inside the text and in order, and every stored value, written back as
// a text value, reads back as that text.
#include "registry_store.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<platform::RegistryDocument> doc = platform::ParseRegistry(text);
    if (!doc)
        return 0;
    Check(doc->lineBreak == "\n" || doc->lineBreak == "\r\n");
    std::size_t previous = 0;
    for (const platform::RegistrySection& section : doc->sections) {
        Check(!section.key.empty());
        Check(previous <= section.headerEnd && section.headerEnd <= section.contentEnd && section.contentEnd <= size);
        for (const platform::RegistryValueLine& value : section.values) {
            Check(section.headerEnd <= value.begin && value.begin < value.end && value.end <= section.contentEnd);
            std::string stored = value.bytes;
            if (!stored.empty() && stored.back() == '\0')
                stored.pop_back();
            const std::string store = std::string(platform::kRegistryHeader) + "\n[" + section.key + "]\n" +
                                      platform::FormatRegistryString(value.name, stored) + "\n";
            const std::optional<platform::RegistryDocument> again = platform::ParseRegistry(store);
            Check(again && again->sections.size() == 1 && again->sections[0].values.size() == 1);
            Check(again->sections[0].values[0].name == value.name);
            Check(again->sections[0].values[0].bytes == stored + '\0');
        }
        previous = section.contentEnd;
    }
    return 0;
}
