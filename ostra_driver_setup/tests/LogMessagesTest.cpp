#include "LogMessages.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

// UTF-8 to GBK by the system's own converter, independent of the one the
// build uses: glibc's iconv natively, code page 936 on Windows.
std::string ToGbk(std::string_view utf8)
{
#ifdef _WIN32
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                               static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength);
    BOOL defaultUsed = FALSE;
    const int length =
        WideCharToMultiByte(936, 0, wide.data(), wideLength, nullptr, 0, nullptr, &defaultUsed);
    std::string gbk(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(936, 0, wide.data(), wideLength, gbk.data(), length, nullptr, &defaultUsed);
    EXPECT_FALSE(defaultUsed) << "not representable in code page 936";
    return gbk;
#else
    iconv_t converter = iconv_open("GBK", "UTF-8");
    EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
    std::string in(utf8);
    std::string out(in.size() * 2 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    EXPECT_NE(iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1));
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
#endif
}

TEST(LogMessages, AreTheGbkOfTheirTexts)
{
    for (const msg::LogMessageSource& m : msg::kLogMessageTable)
        EXPECT_EQ(m.gbk, ToGbk(m.utf8)) << m.name;
}

TEST(LogMessages, PunctuationIsFullWidthWhereTheTextsSaySo)
{
    struct Case {
        std::string_view message;
        std::string_view bytes;
    };
    const Case cases[] = {
        {msg::kDriverVersion, "\xA3\xBAV1.1.0 \n"},               // full-width colon
        {msg::kModemInfCopied, "\xA3\xAC"},                        // full-width comma
        {msg::kPreinstallSucceeded, "\xA1\xA3\n"},                 // ideographic full stop
        {msg::kCallingPreinstall, "\xA1\xAD\xA1\xAD \n"},          // two ellipses
        {msg::kVendorDriverReady, "\xA3\xA1\xA1\xAD\xA1\xAD \n"},  // exclamation mark, ellipses
        {msg::kModemInfShortRead, "\xB6\xC1\xC8\xA1\xCA\xA7\xB0\xDC: file"},  // ASCII colon
        {msg::kLogClosing, "\xB9\xD8\xB1\xD5\xC8\xD5\xD6\xBE\n"},
    };
    for (const Case& c : cases)
        EXPECT_NE(c.message.find(c.bytes), std::string_view::npos) << c.message;
}

}  // namespace
