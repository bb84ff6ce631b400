// How the link reaches a phone. Version 1 has the folder backend (a phone that
// shows up as storage); a Bluetooth push backend would be a second class
// behind the same interface.
#pragma once

#include <cstdint>
#include <string>

struct SendOutcome {
    bool ok = false;
    int32_t status = 0; // 0, or the system's error number
    std::string text;   // on success where the file went, on failure why not
};

// What a backend reports while it sends, and how it learns that it should stop.
class CSendProgress {
public:
    virtual ~CSendProgress() = default;
    // `percent` rises from 0 to 100; `done` and `total` count bytes.
    virtual void Event(const std::string& text, int64_t done, int percent, int64_t total) = 0;
    // Asked between pieces of work; true when the wizard cancelled the transfer.
    virtual bool Cancelled() = 0;
};

class CLinkBackend {
public:
    virtual ~CLinkBackend() = default;
    // Sends the file at `path` to the phone folder `folder` (relative, "/" or
    // "\" between its parts).
    virtual SendOutcome SendFile(const std::string& path, const std::string& folder, CSendProgress& progress) = 0;
};
