// The rules behind the typing operations: the keys of a layout that type a
// character, what happens when the input does not take an event, and how
// scans are told apart and their failure reported.
#include "KeyInsertion.h"
#include "KeyboardKeys.h"
#include "ScanOutcome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace tapwire;

namespace {

// Scan codes of a US/German PC keyboard, enough for the cases below.
std::uint16_t PcScanCode(std::uint16_t vk, const void*)
{
    switch (vk) {
    case kVkShift: return 0x2A;
    case kVkControl: return 0x1D;
    case kVkMenu: return 0x38;
    case 'Q': return 0x10;
    case 'Z': return 0x2C;
    case '2': return 0x03;
    default: return 0;
    }
}

std::string Describe(const KeyEvent& e)
{
    char text[40];
    std::snprintf(text, sizeof text, "%s%02X/%02X", (e.dwFlags & kKeyEventKeyUp) ? "^" : "v", e.wVk, e.wScan);
    return text;
}

std::string Describe(const std::optional<KeyStroke>& stroke)
{
    if (!stroke)
        return "unicode";
    std::string text;
    for (const KeyEvent& e : *stroke)
        text += (text.empty() ? "" : " ") + Describe(e);
    return text;
}

} // namespace

TEST(KeyboardKeys, ACharacterIsItsLayoutKeyWithItsModifiersOrAUnicodeEvent)
{
    struct Case {
        const char* what;
        char16_t unit;
        LayoutKey key;
        const char* events;   // v down, ^ up: vk/scan
    };
    const Case cases[] = {
        { "US z", u'z', { 0x005A, false }, "v5A/2C ^5A/2C" },
        { "US @ is Shift+2", u'@', { 0x0132, false }, "v10/2A v32/03 ^32/03 ^10/2A" },
        { "German @ is AltGr+Q", u'@', { 0x0651, false }, "v11/1D v12/38 v51/10 ^51/10 ^12/38 ^11/1D" },
        { "Shift+AltGr", u'\u2019', { 0x0751, false }, "v10/2A v11/1D v12/38 v51/10 ^51/10 ^12/38 ^11/1D ^10/2A" },
        { "Caps Lock on: A without Shift", u'A', { 0x0141, false, true }, "v41/00 ^41/00" },
        { "Caps Lock on: a with Shift", u'a', { 0x0041, false, true }, "v10/2A v41/00 ^41/00 ^10/2A" },
        { "no key gives it", u'\u00E9', { -1, false }, "unicode" },
        { "a dead key would combine", u'^', { 0x00DC, true }, "unicode" },
        { "Ctrl alone is a shortcut", u'x', { 0x0258, false }, "unicode" },
        { "Alt alone is a shortcut", u'x', { 0x0458, false }, "unicode" },
        { "Hankaku and other shift keys", u'x', { 0x0858, false }, "unicode" },
        { "a control character", u'\x1B', { 0x00DB, false }, "unicode" },
        { "DEL", u'\x7F', { 0x0208, false }, "unicode" },
        { "a high surrogate", u'\xD83D', { -1, false }, "unicode" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Describe(KeyboardKeyStroke(c.unit, c.key, &PcScanCode, nullptr)), c.events) << c.what;
}

namespace {

// The input: refuses an event while its try count is below `refusals` of
// that event's position; counts the waits between tries.
struct FakeInput {
    std::vector<int> refusals;         // per event position: tries refused
    std::vector<std::string> tries;    // every try, in order, "!" when refused
    unsigned waitedMs = 0;
    size_t position = 0;
    int triesOfPosition = 0;
    const KeyEvent* first = nullptr;

    bool Insert(const KeyEvent& event)
    {
        const bool refused = &event >= first && &event < first + refusals.size() &&
                             triesOfPosition < refusals[static_cast<size_t>(&event - first)];
        if (&event >= first && &event < first + refusals.size()) {
            const size_t at = static_cast<size_t>(&event - first);
            if (at != position) {
                position = at;
                triesOfPosition = 0;
            }
            ++triesOfPosition;
        }
        tries.push_back(Describe(event) + (refused ? "!" : ""));
        return !refused;
    }

    bool Run(const std::vector<KeyEvent>& events)
    {
        first = events.data();
        const KeyInserter inserter = {
            [](const KeyEvent& event, void* self) { return static_cast<FakeInput*>(self)->Insert(event); },
            [](unsigned ms, void* self) { static_cast<FakeInput*>(self)->waitedMs += ms; },
            this,
        };
        return InsertKeyEvents(events.data(), events.size(), inserter);
    }
};

std::string Joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : " ") + part;
    return text;
}

const std::vector<KeyEvent> kShiftA = {
    { kVkShift, 0x2A, 0 }, { 'A', 0x1E, 0 }, { 'A', 0x1E, kKeyEventKeyUp }, { kVkShift, 0x2A, kKeyEventKeyUp },
};

} // namespace

TEST(KeyInsertion, ARefusedEventIsTriedAgainInOrderAndGivenUpAfterAbout50Ms)
{
    struct Case {
        const char* what;
        std::vector<int> refusals;
        bool inserted;
        const char* tries;
        unsigned waitedMs;
    };
    const Case cases[] = {
        { "all taken", { 0, 0, 0, 0 }, true, "v10/2A v41/1E ^41/1E ^10/2A", 0 },
        { "the key-down refused twice, then taken", { 0, 2, 0, 0 }, true,
          "v10/2A v41/1E! v41/1E! v41/1E ^41/1E ^10/2A", 15 },
        { "the last try is taken", { 4, 0, 0, 0 }, true, "v10/2A! v10/2A! v10/2A! v10/2A! v10/2A v41/1E ^41/1E ^10/2A",
          50 },
        // Given up: nothing after it, and the held Shift is let go.
        { "the key-down refused for good", { 0, 5, 0, 0 }, false,
          "v10/2A v41/1E! v41/1E! v41/1E! v41/1E! v41/1E! ^10/2A", 50 },
        { "the first event refused for good: nothing held", { 5, 0, 0, 0 }, false,
          "v10/2A! v10/2A! v10/2A! v10/2A! v10/2A!", 50 },
        { "the key-up refused for good: both held keys let go, last pressed first", { 0, 0, 5, 0 }, false,
          "v10/2A v41/1E ^41/1E! ^41/1E! ^41/1E! ^41/1E! ^41/1E! ^41/1E ^10/2A", 50 },
    };
    for (const Case& c : cases) {
        FakeInput input;
        input.refusals = c.refusals;
        EXPECT_EQ(input.Run(kShiftA), c.inserted) << c.what;
        EXPECT_EQ(Joined(input.tries), c.tries) << c.what;
        EXPECT_EQ(input.waitedMs, c.waitedMs) << c.what;
    }
}

TEST(ScanOutcome, AFailedScanIsDroppedToItsEndAndWarnsUntilAScanIsTypedCompletely)
{
    ScanOutcome scans;
    EXPECT_TRUE(scans.ByteArrives(1000));
    scans.CharacterTyped();
    EXPECT_FALSE(scans.ScanEndMatters()) << "a scan typed without a warning needs no watch";

    // The input refuses a character 150 ms into the next scan: told once,
    // the rest of that scan is not typed, however long it goes on.
    EXPECT_TRUE(scans.ByteArrives(1300));
    EXPECT_TRUE(scans.TypingFailed());
    EXPECT_TRUE(scans.IsWarning());
    EXPECT_TRUE(scans.ScanEndMatters());
    for (std::uint64_t t = 1400; t <= 2000; t += 150)
        EXPECT_FALSE(scans.ByteArrives(t)) << t;
    EXPECT_FALSE(scans.TypingFailed()) << "one notice per scan";
    EXPECT_FALSE(scans.EndIfQuiet(2000 + 199));
    EXPECT_EQ(scans.QuietLeft(2000 + 150), 50u);

    // 200 ms of quiet end it; the warning stays until a scan types completely.
    EXPECT_TRUE(scans.EndIfQuiet(2000 + 200 + 60));
    EXPECT_TRUE(scans.IsWarning());
    EXPECT_TRUE(scans.ByteArrives(3000));
    EXPECT_TRUE(scans.ScanEndMatters()) << "a scan that may clear the warning is watched";
    EXPECT_TRUE(scans.TypingFailed()) << "a new scan fails anew: told again";
    EXPECT_TRUE(scans.ByteArrives(3300)) << "a byte after the quiet begins a new scan";
    scans.CharacterTyped();
    EXPECT_TRUE(scans.IsWarning()) << "cleared only once that scan has ended";
    EXPECT_TRUE(scans.EndIfQuiet(3500));
    EXPECT_FALSE(scans.IsWarning());

    // A scan of bytes that typed nothing (all held) clears nothing; a stop does.
    EXPECT_TRUE(scans.ByteArrives(4000));
    scans.TypingFailed();
    EXPECT_TRUE(scans.ByteArrives(4300));
    EXPECT_TRUE(scans.EndIfQuiet(4600));
    EXPECT_TRUE(scans.IsWarning());
    scans.Reset();
    EXPECT_FALSE(scans.IsWarning());
    EXPECT_TRUE(scans.ByteArrives(4700));
}
