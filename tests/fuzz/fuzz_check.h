// Shared by the fuzz targets: how a broken invariant is reported, and how
// fuzz bytes become UTF-16 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A broken invariant aborts, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzz {

// Bytes 00-7F stand for themselves; 80-FF pick from units that look like
// digits, white space or brackets to a human but not to the rules (and a few
// that are awkward in UTF-16), so the fuzzer reaches them with single bytes.
inline char16_t UnitOfByte(std::uint8_t b)
{
    static const char16_t kUnusual[] = {
        u'\u00A0', u'\u3000', u'\u2028', u'\u0085', u'\uFEFF', u'\u200B',    // spaces of other kinds
        u'\uFF10', u'\uFF11', u'\uFF19', u'\u0660', u'\u0669', u'\u00B2',    // digits of other scripts
        u'\uFF08', u'\uFF09', u'\uFF0D', u'\u2212', u'\uFE63', u'\uFF0B',    // full-width ( ) - and minus signs
        0xD800, 0xDBFF, 0xDC00, 0xDFFF, u'\uFFFD', u'\uFFFF',                // surrogates and non-characters
        u'\u0130', u'\u0131', u'\u017F', u'\u212A', u'\u00E9', u'\u4E2D',    // letters that fold oddly
    };
    if (b < 0x80)
        return static_cast<char16_t>(b);
    return kUnusual[(b - 0x80) % (sizeof kUnusual / sizeof kUnusual[0])];
}

inline std::u16string TextOfBytes(const std::uint8_t* data, std::size_t size)
{
    std::u16string text;
    text.reserve(size);
    for (std::size_t i = 0; i < size; ++i)
        text.push_back(UnitOfByte(data[i]));
    return text;
}

// The number rule of the settings and port names, written out on its own:
// white space (blank, TAB to CR), an optional sign, then ASCII digits;
// numbers beyond int saturate.
inline long long ReferenceLeadingInteger(const std::u16string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' ||
                               text[i] == u'\v' || text[i] == u'\f' || text[i] == u'\r'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string digits;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        digits.push_back(static_cast<char>(text[i++]));
    const std::size_t firstNonZero = digits.find_first_not_of('0');
    digits = firstNonZero == std::string::npos ? "0" : digits.substr(firstNonZero);
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    long long value = digits.size() > 10 ? limit : std::stoll(digits);
    if (value > limit)
        value = limit;
    return negative ? -value : value;
}

} // namespace fuzz
