// Finding the phone when no storage folder is set: a phone shows up on Linux
// as storage, either through MTP (mounted by gvfs under the user's runtime
// folder, or by jmtpfs) or as a removable disk (USB mass storage or its memory
// card, mounted under /media or /run/media) that holds a "DCIM" folder.
#pragma once

#include <string>
#include <vector>

struct StorageScan {
    std::string mountTable;   // the text of /proc/self/mounts
    std::string gvfsFolder;   // "$XDG_RUNTIME_DIR/gvfs"
    std::vector<std::string> removableRoots{"/media/", "/run/media/"};
};

// What this machine shows now.
StorageScan CurrentStorageScan();

// Every phone storage the scan shows: each storage of an MTP device (the
// folders inside a gvfs "mtp:host=" mount or a jmtpfs mount), and each
// removable mount with a DCIM folder. In the order found, without repeats.
std::vector<std::string> FindPhoneStorages(const StorageScan& scan);

// The one storage found; otherwise false with the reason for the user.
bool ChoosePhoneStorage(const std::vector<std::string>& found, std::string* root, std::string* error);

// A mount point of /proc/self/mounts with its octal escapes ("\040") decoded.
std::string DecodeMountField(const std::string& field);
