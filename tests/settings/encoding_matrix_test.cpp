// Every encoding of the menu end to end: chosen by its command while the
// port runs, bytes written by the scanner arrive in the focused window as
// the characters and keys of that encoding, in order.
#include "ScannerPort.h"
#include "SettingsTestSupport.h"
#include "TargetWindow.h"

#include <cstdio>
#include <sstream>

using namespace settingstest;

namespace {

// One thing typed: a Unicode key press of a UTF-16 unit, or a press of a
// virtual key.
struct Typed {
    bool isKey;
    WORD value;

    bool operator==(const Typed& other) const { return isKey == other.isKey && value == other.value; }
};
Typed Unit(WORD unit) { return {false, unit}; }
Typed Key(WORD vk) { return {true, vk}; }

void PrintTo(const Typed& typed, std::ostream* out)
{
    char text[16];
    std::snprintf(text, sizeof(text), typed.isKey ? "key %02X" : "U+%04X", typed.value);
    *out << text;
}

// What the window received, as presses: a Unicode press shows as VK_PACKET
// followed by its character; a virtual key as its own key-down (the
// character the system may translate it into is the system's, not counted).
std::vector<Typed> TypedFrom(const std::vector<TargetEvent>& events)
{
    std::vector<Typed> typed;
    bool packet = false;
    for (const TargetEvent& event : events) {
        if (event.kind == kTargetKeyDown) {
            packet = event.value == VK_PACKET;
            if (!packet)
                typed.push_back(Key(event.value));
        } else if (event.kind == kTargetChar && packet) {
            typed.push_back(Unit(event.value));
            packet = false;
        }
    }
    return typed;
}

struct EncodingCase {
    int index;
    std::vector<uint8_t> bytes;
    std::vector<Typed> typed;
};

}  // namespace

TEST_F(SettingsTest, EveryEncodingTypesItsExampleBytes)
{
    PortDevices ports(1);
    TapwireApp app;
    SettingsValues values;
    values.runStart = "1";
    values.encoding = "9";   // no such encoding: nothing is typed
    WriteFileBytes(app.SettingsPath(), IniText(SettingsFile(values)));
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    ASSERT_EQ(dialog.Child(1017).Text(), JapaneseTexts().buttonStarted) << "the port did not start";
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, true, -1));

    TargetWindow target;
    ScannerPort scanner(ports.Pairs()[0].scannerPort);
    scanner.Write(std::vector<uint8_t>{0x41, 0x42});
    Sleep(500);
    EXPECT_EQ(target.Events().size(), 0u) << "typed under encoding 9";

    const EncodingCase cases[] = {
        {0, {0x41, 0x0D, 0x0A, 0x09, 0xE9, 0x80}, {Unit('A'), Key(VK_RETURN), Key(0x0A), Key(VK_TAB), Unit(0xE9), Unit(0x80)}},
        {1, {0x41, 0x00, 0x8C, 0x4E}, {Unit('A'), Unit(0x4E8C)}},
        {2, {0x00, 0x41}, {Unit('A')}},
        {3, {0xE4, 0xB8, 0xAD, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80},
         {Unit(0x4E2D), Unit(0xE9), Unit(0xD83D), Unit(0xDE00)}},
        {4, {0x41, 0xD6, 0xD0, 0x0D}, {Unit('A'), Unit(0x4E2D), Key(VK_RETURN)}},
        // B1 is a single byte of Shift-JIS, typed through code page 932 also
        // where the ANSI code page is another (1252 here).
        {5, {0x82, 0xA0, 0xB1, 0x0D}, {Unit(0x3042), Unit(0xFF71), Key(VK_RETURN)}},
        {6, {0xE9}, {Unit(0x0E49)}},
        {7, {0x80}, {Unit(0x20AC)}},
        {8, {0xC7}, {Unit(0x0627)}},
    };
    std::vector<Typed> expected;
    for (const EncodingCase& c : cases) {
        SCOPED_TRACE("encoding " + std::to_string(c.index));
        Command(dialog, probe, kEncodingIds[c.index]);
        EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, true, c.index));
        scanner.Write(c.bytes);
        expected.insert(expected.end(), c.typed.begin(), c.typed.end());
        std::vector<Typed> typed;
        WaitUntil([&] { return (typed = TypedFrom(target.Events())).size() >= expected.size(); }, 5000);
        // Anything late would come now.
        Sleep(100);
        typed = TypedFrom(target.Events());
        ASSERT_EQ(typed, expected);
    }
    EXPECT_TRUE(target.IsForeground());
    EXPECT_TRUE(ClosesCleanly(app));
}

// A lead byte of GBK or Shift-JIS followed by a carriage return, line feed or
// tab, through the system's real conversion: the control byte is consumed into
// the pair, typed neither as its key nor as its control character; what the
// code page makes of the pair is typed (this Wine gives one character for
// each: "?" for GBK, U+30FB for Shift-JIS), and the byte after it as usual.
TEST_F(SettingsTest, AControlByteAfterALeadByteIsConsumedIntoThePair)
{
    PortDevices ports(1);
    TapwireApp app;
    SettingsValues values;
    values.runStart = "1";
    values.encoding = "4";
    WriteFileBytes(app.SettingsPath(), IniText(SettingsFile(values)));
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    ASSERT_EQ(dialog.Child(1017).Text(), JapaneseTexts().buttonStarted) << "the port did not start";

    TargetWindow target;
    ScannerPort scanner(ports.Pairs()[0].scannerPort);
    const EncodingCase cases[] = {
        {4, {0xD6, 0x0D, 0x41}, {Unit('?'), Unit('A')}},
        {5, {0x81, 0x0A, 0x42}, {Unit(0x30FB), Unit('B')}},
        {4, {0xD6, 0x09, 0x43}, {Unit('?'), Unit('C')}},
    };
    std::vector<Typed> expected;
    for (const EncodingCase& c : cases) {
        SCOPED_TRACE("encoding " + std::to_string(c.index));
        Command(dialog, probe, kEncodingIds[c.index]);
        scanner.Write(c.bytes);
        expected.insert(expected.end(), c.typed.begin(), c.typed.end());
        // The last character of each case comes after the pair: once it is
        // there, everything the pair typed is there too.
        std::vector<Typed> typed;
        WaitUntil([&] { return (typed = TypedFrom(target.Events())).size() >= expected.size(); }, 5000);
        ASSERT_EQ(typed, expected);
    }
    EXPECT_TRUE(ClosesCleanly(app));
}
