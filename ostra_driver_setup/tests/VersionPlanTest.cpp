#include "TestSupport.h"
#include "VersionPlan.h"

#include <gtest/gtest.h>

TEST(VersionAtLeast, ComparesMajorThenMinorThenServicePack)
{
    struct Case {
        OsVersion version;
        std::uint16_t major, minor, servicePack;
        bool expected;
    };
    const Case cases[] = {
        {{6, 1, 1}, 6, 1, 0, true},   {{6, 1, 1}, 6, 1, 1, true},  {{6, 1, 1}, 6, 1, 2, false},
        {{6, 1, 0}, 6, 2, 0, false},  {{6, 3, 0}, 6, 2, 9, true},  {{10, 0, 0}, 6, 3, 5, true},
        {{5, 2, 2}, 6, 0, 0, false},  {{6, 0, 0}, 5, 9, 9, true},  {{5, 1, 3}, 5, 1, 3, true},
        {{11, 0, 0}, 10, 0, 0, true}, {{5, 0, 4}, 5, 1, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionAtLeast(c.version, c.major, c.minor, c.servicePack), c.expected)
            << c.version.major << "." << c.version.minor << " SP" << c.version.servicePackMajor << " >= "
            << c.major << "." << c.minor << " SP" << c.servicePack;
    }
    EXPECT_FALSE(VersionAtLeast(std::nullopt, 0, 0, 0));
}

TEST(ClassifyWindows, VersionNumberAloneDecides)
{
    struct Case {
        const char* system;
        std::optional<OsVersion> version;
        WindowsClass expected;
    };
    const Case cases[] = {
        {"Windows 11 reports 10.0", OsVersion{10, 0, 0}, Windows10},
        {"a later 10.x", OsVersion{10, 1, 0}, Windows10},
        {"a later major", OsVersion{11, 0, 0}, Windows10},
        {"8.1 / Server 2012 R2", OsVersion{6, 3, 0}, Windows8_1},
        {"8 / Server 2012", OsVersion{6, 2, 0}, Windows8},
        {"7 SP1", OsVersion{6, 1, 1}, Windows7},
        {"Vista / Server 2008", OsVersion{6, 0, 2}, WindowsVISTA},
        {"Server 2003 / XP x64", OsVersion{5, 2, 2}, WindowsXP},
        {"XP SP3", OsVersion{5, 1, 3}, WindowsXP},
        {"2000", OsVersion{5, 0, 4}, BeforeXP},
        {"NT 4", OsVersion{4, 0, 6}, BeforeXP},
        {"no RtlGetVersion, or it failed", std::nullopt, BeforeXP},
    };
    for (const Case& c : cases) {
        CFakePlatform platform;
        platform.version = c.version;
        EXPECT_EQ(ClassifyWindows(platform), c.expected) << c.system;
    }
}

TEST(Is64BitSystem, OnlyAmd64AndIa64Count)
{
    struct Case {
        std::uint16_t architecture;
        int expected;
    };
    const Case cases[] = {{0, 0} /* x86 */, {5, 0} /* ARM */, {6, 1} /* IA64 */,
                          {9, 1} /* AMD64 */, {12, 0} /* ARM64 */, {0xFFFF, 0} /* unknown */};
    for (const Case& c : cases) {
        CFakePlatform platform;
        platform.architecture = c.architecture;
        EXPECT_EQ(Is64BitSystem(platform), c.expected) << "architecture " << c.architecture;
    }
}
