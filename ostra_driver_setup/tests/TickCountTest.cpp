#include "TickCount.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ExtendTickCount, CarriesOverTheWrapAndNeverGoesBack)
{
    struct Case {
        const char* name;
        std::vector<std::uint32_t> readings;
        std::vector<std::uint64_t> expected;
    };
    const Case cases[] = {
        {"plain counting", {1000, 1500, 1500, 90000}, {1000, 1500, 1500, 90000}},
        {"across the wrap", {0xFFFFFFF0u, 0x10, 0x20}, {0xFFFFFFF0u, 0x100000010u, 0x100000020u}},
        {"second wrap, in steps of weeks", {0xFFFFFFF0u, 0x70000000u, 0xE0000000u, 0x10},
         {0xFFFFFFF0u, 0x170000000u, 0x1E0000000u, 0x200000010u}},
        {"a late reading from another thread", {5000, 4990, 5001}, {5000, 5000, 5001}},
        {"late reading just after the wrap", {0x5, 0xFFFFFFFEu, 0x6}, {0x5, 0x5, 0x6}},
        {"first reading on a machine up for weeks", {0xF0000000u, 0xF0000010u}, {0xF0000000u, 0xF0000010u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<std::uint64_t> last{0};
        std::vector<std::uint64_t> values;
        for (std::uint32_t reading : c.readings)
            values.push_back(ExtendTickCount(last, reading));
        EXPECT_EQ(values, c.expected);
    }
}
