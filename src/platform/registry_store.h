// The settings store: a text file in the registry export format
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Quenlor\Tessary\Customization Wizards]
//   "Installation Path"="/opt/tessary/"
//   "AnimMaxSize"=dword:00007530
//
// kept at $TESSARY_REGISTRY, else $XDG_CONFIG_HOME/tessary/registry.reg
// (~/.config/tessary/registry.reg). Key paths are given below
// HKEY_LOCAL_MACHINE ("SOFTWARE\Quenlor\Tessary\..."); keys and value names
// compare without regard to ASCII case. Every query reads the file afresh.
//
// A write holds an advisory lock on "<store>.lock", writes the new store to a
// temporary file in the same folder, flushes it to disk and renames it over
// the old one, so a crash leaves either the old or the new store and never
// drops other values. Lines that the write does not change are kept byte for
// byte. A write never creates a key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Status numbers, as the system gives them.
inline constexpr long kRegOk = 0;
inline constexpr long kRegNotFound = 2;       // missing store, key or value
inline constexpr long kRegAccessDenied = 5;   // read-only store or folder
inline constexpr long kRegInvalidData = 13;   // unreadable or unparsable store
inline constexpr long kRegWriteFault = 29;    // the new store could not be put in place
inline constexpr long kRegInvalidParameter = 87; // a value name the store cannot hold
inline constexpr long kRegDiskFull = 112;
inline constexpr long kRegMoreData = 234;     // value larger than the caller's buffer

inline constexpr const char* kRegistryHeader = "Windows Registry Editor Version 5.00";
inline constexpr const char* kRegistryRoot = "HKEY_LOCAL_MACHINE";

// Where the store lives now (the environment is consulted on every call).
std::string RegistryStorePath();

// Copies the stored bytes of `valueName` under `keyPath` (a string value's
// bytes are its UTF-8 text and a terminating zero; a DWORD is 4 bytes, least
// significant first). The stored type does not matter. Fails with
// kRegMoreData when the value holds more than `bufferSize` bytes.
long RegistryQueryValue(const std::string& keyPath, const std::string& valueName, std::size_t bufferSize,
                        std::string& bytes);

// Stores `text` (up to its first zero byte) as a string value. The value is
// created in the key when missing; the key must exist.
long RegistrySetString(const std::string& keyPath, const std::string& valueName, const std::string& text);

// The parsed form of a store, for the writer and for tools that check a store.
struct RegistryValueLine {
    std::string name;  // "" for the default value "@"
    std::string bytes; // stored bytes, as RegistryQueryValue gives them
    std::size_t begin = 0; // byte range of the value's line(s) in the file,
    std::size_t end = 0;   // line break included
};

struct RegistrySection {
    std::string key;       // full key, "HKEY_LOCAL_MACHINE\SOFTWARE\..."
    std::size_t headerEnd = 0;   // first byte after the "[...]" line
    std::size_t contentEnd = 0;  // first byte after the section's last value line
    std::vector<RegistryValueLine> values;
};

struct RegistryDocument {
    std::vector<RegistrySection> sections;
    std::string lineBreak = "\r\n"; // the break the file uses, for lines added to it
};

// Parses a whole store; nothing when it is not a well-formed store.
std::optional<RegistryDocument> ParseRegistry(const std::string& text);

// The line `"name"="text"` (with escapes; text with control characters is
// written as hex(1) bytes), without a line break.
std::string FormatRegistryString(const std::string& name, const std::string& text);
std::string FormatRegistryDword(const std::string& name, uint32_t value);

// Fault injection for the reliability tests: makes the next writes fail as a
// full disk or a failing rename would.
enum class RegistryFault { None, DiskFull, RenameFails };
void SetRegistryFaultForTesting(RegistryFault fault);

} // namespace platform
