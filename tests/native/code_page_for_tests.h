// A code page converter for the native tests, over glibc's iconv, for the few
// code pages the wedge uses. The program itself uses MultiByteToWideChar.
#pragma once

#include <cstdint>
#include <string>

bool ConvertWithIconv(unsigned codePage, const std::uint8_t* bytes, int count, std::u16string& units);
