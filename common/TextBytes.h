#pragma once
// Text stored in a file, turned into the UTF-8 the panes show.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrova {

bool IsUtf8(const std::uint8_t* s, std::size_t n);
// Bytes taken from the file as text: kept when they are UTF-8, else read as Latin-1.
std::string TextFromFileBytes(const std::uint8_t* bytes, std::size_t n);
// UTF-16 code units (big- or little-endian) up to n bytes, as UTF-8; an
// unpaired surrogate becomes U+FFFD.
std::string TextFromUtf16(const std::uint8_t* bytes, std::size_t n, bool bigEndian);

}  // namespace kestrova
