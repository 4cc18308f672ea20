#include "InstallLocation.h"

#include <gtest/gtest.h>

#include <vector>

using tapwire::ConfigPathFor;
using tapwire::FolderOfPath;
using tapwire::InstallDirFromRegistryData;

namespace {

// UTF-16LE bytes of text, with or without its terminator.
std::vector<unsigned char> Utf16Bytes(const std::u16string& text, bool terminated)
{
    std::vector<unsigned char> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    if (terminated)
        bytes.insert(bytes.end(), { 0, 0 });
    return bytes;
}

} // namespace

TEST(InstallDirFromRegistryData, ReadsTextUpToItsTerminator)
{
    struct Case {
        std::u16string text;
        bool terminated;
        std::u16string expected;
    };
    const std::u16string longest(129, u'x');      // 258 bytes + terminator = 260
    const Case cases[] = {
        { u"C:\\Program Files\\Tapwire", true, u"C:\\Program Files\\Tapwire" },
        { u"D:\\\u30c4\u30fc\u30eb", true, u"D:\\\u30c4\u30fc\u30eb" },
        { u"", true, u"" },
        { longest, true, longest },
        // A value stored without terminator that does not fill the buffer is whole.
        { u"C:\\Tools", false, u"C:\\Tools" },
        // 130 units without terminator fill the 260-byte buffer: too long.
        { std::u16string(130, u'y'), false, u"" },
    };
    for (const Case& c : cases) {
        const auto bytes = Utf16Bytes(c.text, c.terminated);
        EXPECT_EQ(InstallDirFromRegistryData(bytes.data(), bytes.size()), c.expected)
            << "length " << c.text.size() << (c.terminated ? " terminated" : " unterminated");
    }
}

TEST(InstallDirFromRegistryData, StopsAtTheFirstZeroUnitAndIgnoresAnOddByte)
{
    const unsigned char embedded[] = { 'A', 0, 0, 0, 'B', 0, 0, 0 };
    EXPECT_EQ(InstallDirFromRegistryData(embedded, sizeof embedded), u"A");

    const unsigned char odd[] = { 'C', 0, ':', 0, 'x' };
    EXPECT_EQ(InstallDirFromRegistryData(odd, sizeof odd), u"C:");
}

TEST(InstallDirFromRegistryData, RejectsMoreBytesThanTheBufferHolds)
{
    const auto bytes = Utf16Bytes(std::u16string(140, u'z'), true);
    EXPECT_EQ(InstallDirFromRegistryData(bytes.data(), bytes.size()), u"");
    EXPECT_EQ(InstallDirFromRegistryData(nullptr, 0), u"");
}

TEST(InstallPaths, FolderAndSettingsFile)
{
    struct Case {
        std::u16string exePath;
        std::u16string folder;
        std::u16string config;
    };
    const Case cases[] = {
        { u"C:\\Program Files\\Tapwire\\Tapwire.exe", u"C:\\Program Files\\Tapwire",
          u"C:\\Program Files\\Tapwire\\Config.ini" },
        { u"C:\\Tapwire.exe", u"C:", u"C:\\Config.ini" },
        { u"\\\\server\\share\\Tapwire.exe", u"\\\\server\\share", u"\\\\server\\share\\Config.ini" },
        // No backslash: the folder is unknown and the file is relative.
        { u"Tapwire.exe", u"", u".\\Config.ini" },
        { u"", u"", u".\\Config.ini" },
    };
    for (const Case& c : cases) {
        const std::u16string folder = FolderOfPath(c.exePath);
        EXPECT_EQ(folder, c.folder);
        EXPECT_EQ(ConfigPathFor(folder), c.config);
    }
}
