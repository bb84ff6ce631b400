// The folder backend: the phone is a folder on this machine (its mounted
// storage, or any folder set for it). A file is written under a hidden part
// name in pieces, flushed, closed with its result checked and renamed, so the
// phone never shows half a file; it never replaces a different file that is
// already there.
#pragma once

#include "link_backend.h"
#include "storage_finder.h"

#include <string>
#include <vector>

// Splits the phone folder into names safe for the phone's storage. False, with
// the reason, for an absolute folder ("/x", "\x", "C:x") or one with "..".
bool SplitPhoneFolder(const std::string& folder, std::vector<std::string>* parts, std::string* error);

// Size of the pieces a file of `total` bytes is written in: about 25 pieces,
// at least 512 bytes and at most 1 MiB each.
std::size_t PieceSize(int64_t total);

// Makes a signal that ends the link (SIGTERM, SIGINT, SIGHUP, SIGPIPE) remove
// the part file being written first, and a file size limit a write error
// instead of a signal.
void InstallPartFileCleanup();

class CFolderBackend : public CLinkBackend {
public:
    // `root`: the phone's storage folder; empty to look for the phone.
    explicit CFolderBackend(std::string root, StorageScan scan = CurrentStorageScan());

    SendOutcome SendFile(const std::string& path, const std::string& folder, CSendProgress& progress) override;

    // As on storage that refuses renames (some MTP mounts). For tests.
    void RefuseRenameForTesting(bool refuse) { m_bRefuseRename = refuse; }

private:
    std::string m_root;
    StorageScan m_scan;
    bool m_bRefuseRename = false;
};
