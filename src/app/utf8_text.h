// UTF-8 text helpers shared by the catalogue, the movies' texts and the batch
// tool. Nothing here needs a widget library or the process locale.
#pragma once

#include <cstddef>
#include <string>

// `text` with every byte sequence that is not UTF-8 replaced by U+FFFD, so what
// comes out is always valid UTF-8.
std::string ValidUtf8(const std::string& text);

// Upper-cases UTF-8 text character by character with the Unicode simple case
// mapping ("é" becomes "É", "ру" becomes "РУ"); invalid bytes become U+FFFD.
std::string UpperCaseUtf8(const std::string& text);

// The longest prefix of `text` of at most `maxBytes` bytes that ends on a
// character boundary (`text` must be valid UTF-8).
std::string CutUtf8(const std::string& text, std::size_t maxBytes);

// Number of characters (code points) of valid UTF-8 text.
std::size_t CountUtf8(const std::string& text);
