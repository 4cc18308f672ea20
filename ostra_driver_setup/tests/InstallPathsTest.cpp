#include "InstallPaths.h"

#include <gtest/gtest.h>

TEST(InstallFolderOf, CutsAtTheLastBackslashThatIsOne)
{
    const auto gbkLead = [](unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; };
    struct Case {
        std::string exePath;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"C:\\Tools\\Ostra\\ostra_driver_setup.exe", "C:\\Tools\\Ostra"},
        {"C:\\ostra_driver_setup.exe", "C:"},
        // 81 5C is one double-byte character: its second byte is no backslash.
        {"C:\\Ostra\\\x81\x5C.exe", "C:\\Ostra"},
        {"C:\\\xB0\x5C\\setup.exe", "C:\\\xB0\x5C"},
        // A lead byte as the very last byte stands alone.
        {"C:\\a\\b\x81", "C:\\a"},
        {"setup.exe", std::nullopt},
        {"\x81\x5C", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InstallFolderOf(c.exePath, gbkLead), c.expected) << c.exePath;
}

TEST(BuildPath, FitsUpTo259Characters)
{
    const std::string folder(250, 'x');
    EXPECT_EQ(BuildPath(folder, "\\123456789"), std::nullopt);
    EXPECT_EQ(BuildPath(folder, "\\12345678"), folder + "\\12345678");
    EXPECT_EQ(BuildPath("C:", "\\logs"), "C:\\logs");
}
