#include "code_page_for_tests.h"

#include <iconv.h>

#include <vector>

bool ConvertWithIconv(unsigned codePage, const std::uint8_t* bytes, int count, std::u16string& units)
{
    units.clear();
    const char* from = nullptr;
    switch (codePage) {
    case 0:
    case 1252: from = "CP1252"; break;   // the ANSI code page of the test machine
    case 874: from = "CP874"; break;
    case 932: from = "CP932"; break;
    case 936: from = "CP936"; break;
    case 1256: from = "CP1256"; break;
    default: return false;
    }
    iconv_t cd = iconv_open("UTF-16LE", from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::vector<char> in(bytes, bytes + count);
    std::vector<char> out(16 * (count + 1));
    char* pIn = in.data();
    char* pOut = out.data();
    size_t inLeft = in.size();
    size_t outLeft = out.size();
    const size_t done = iconv(cd, &pIn, &inLeft, &pOut, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1))
        return false;
    for (char* p = out.data(); p + 1 < pOut; p += 2)
        units.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(p[0]) | (static_cast<std::uint8_t>(p[1]) << 8)));
    return true;
}
