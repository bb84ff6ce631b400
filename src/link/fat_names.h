// Names that every phone storage takes: memory cards and many phones use FAT,
// which refuses some characters and device names, and ignores trailing dots.
#pragma once

#include <string>

// `name` (one file or folder name) made valid on FAT storage: bytes that are
// not UTF-8 become U+FFFD, control characters and \ / : * ? " < > | become
// '_', trailing dots and spaces go, a device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9, with or without an extension) gets a leading '_', and
// the name is cut to 255 bytes keeping its extension. Never empty.
std::string FatSafeName(const std::string& name);

// The n-th alternative name for a file that is already there: "holiday.gif"
// with n = 2 gives "holiday-2.gif"; a name without extension gets "-2" at the
// end, as does one whose extension leaves no room for the number within 255
// bytes (the name is cut to make room). `n` below 2 gives the name itself.
std::string NumberedName(const std::string& name, int n);
