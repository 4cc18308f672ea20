// The typing operations as the focused window's input gets them: the INPUT
// records each operation hands to SendInput, one record per call, key-down
// before key-up; the code pages through the system's own conversion.
#include "Typing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Sent {
    WORD wVk;
    WORD wScan;
    DWORD dwFlags;
    bool operator==(const Sent& other) const
    {
        return wVk == other.wVk && wScan == other.wScan && dwFlags == other.dwFlags;
    }
};

void PrintTo(const Sent& sent, std::ostream* out)
{
    char text[48];
    std::snprintf(text, sizeof text, "{vk %02X, scan %04X, flags %lX}", sent.wVk, sent.wScan, sent.dwFlags);
    *out << text;
}

std::vector<Sent> g_sent;

UINT WINAPI RecordSendInput(UINT cInputs, LPINPUT pInputs, int cbSize)
{
    EXPECT_EQ(cInputs, 1u) << "one record per call";
    EXPECT_EQ(cbSize, static_cast<int>(sizeof(INPUT)));
    for (UINT i = 0; i < cInputs; ++i) {
        const INPUT& input = pInputs[i];
        EXPECT_EQ(input.type, static_cast<DWORD>(INPUT_KEYBOARD));
        EXPECT_EQ(input.ki.time, 0u);
        EXPECT_EQ(input.ki.dwExtraInfo, 0u);
        g_sent.push_back({ input.ki.wVk, input.ki.wScan, input.ki.dwFlags });
    }
    return cInputs;
}

std::vector<Sent> UnicodePress(WORD unit)
{
    return { { 0, unit, KEYEVENTF_UNICODE }, { 0, unit, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP } };
}

std::vector<Sent> KeyPress(WORD vk)
{
    return { { vk, 0, 0 }, { vk, 0, KEYEVENTF_KEYUP } };
}

} // namespace

TEST(Typing, EachOperationSendsWhatItsByteOrUnitStandsFor)
{
    struct Case {
        const char* what;
        std::function<void()> type;
        std::vector<Sent> sent;
    };
    const Case cases[] = {
        { "a unit", [] { TypeUnicodeUnit(0x4E2D); }, UnicodePress(0x4E2D) },
        { "unit 0", [] { TypeUnicodeUnit(0); }, UnicodePress(0) },
        { "virtual key 10", [] { TypeVirtualKey(0x0A); }, KeyPress(0x0A) },
        // "ASCII": the four key bytes as keys, everything else as its Latin 1 unit.
        { "raw 08", [] { TypeRawByte(0x08); }, KeyPress(VK_BACK) },
        { "raw 09", [] { TypeRawByte(0x09); }, KeyPress(VK_TAB) },
        { "raw 0A", [] { TypeRawByte(0x0A); }, KeyPress(0x0A) },
        { "raw 0D", [] { TypeRawByte(0x0D); }, KeyPress(VK_RETURN) },
        { "raw 1B is no Escape key", [] { TypeRawByte(0x1B); }, UnicodePress(0x1B) },
        { "raw 00", [] { TypeRawByte(0x00); }, UnicodePress(0) },
        { "raw E9", [] { TypeRawByte(0xE9); }, UnicodePress(0xE9) },
        { "raw 80", [] { TypeRawByte(0x80); }, UnicodePress(0x80) },
        // A code page: its character, the key bytes as keys, 0 as unit 0.
        { "1252 80", [] { TypeCodePageByte(0x80, 1252); }, UnicodePress(0x20AC) },
        { "1252 E9", [] { TypeCodePageByte(0xE9, 1252); }, UnicodePress(0xE9) },
        { "874 E9", [] { TypeCodePageByte(0xE9, 874); }, UnicodePress(0x0E49) },
        { "1256 C7", [] { TypeCodePageByte(0xC7, 1256); }, UnicodePress(0x0627) },
        { "ANSI B1 (1252 here)", [] { TypeCodePageByte(0xB1, CP_ACP); }, UnicodePress(0xB1) },
        { "874 09", [] { TypeCodePageByte(0x09, 874); }, KeyPress(VK_TAB) },
        { "ANSI 0D", [] { TypeCodePageByte(0x0D, CP_ACP); }, KeyPress(VK_RETURN) },
        { "1256 00", [] { TypeCodePageByte(0x00, 1256); }, UnicodePress(0) },
        { "a code page without text", [] { TypeCodePageByte(0x41, 12345); }, {} },
    };
    SetSendInputForTesting(&RecordSendInput);
    for (const Case& c : cases) {
        g_sent.clear();
        c.type();
        EXPECT_EQ(g_sent, c.sent) << c.what;
    }
    SetSendInputForTesting(nullptr);
}

namespace {

// The input refuses the calls whose number (from 0, counted over the test)
// lies in [g_refuseFrom, g_refuseTo), like a window that runs as
// administrator or a locked workstation: SendInput inserts nothing.
int g_call = 0;
int g_refuseFrom = 0;
int g_refuseTo = 0;
unsigned g_waitedMs = 0;

UINT WINAPI RefusingSendInput(UINT cInputs, LPINPUT pInputs, int cbSize)
{
    const int call = g_call++;
    if (call >= g_refuseFrom && call < g_refuseTo) {
        SetLastError(ERROR_ACCESS_DENIED);
        g_sent.push_back({ 0xFFFF, 0xFFFF, 0xFFFF });   // marks a refused try
        return 0;
    }
    return RecordSendInput(cInputs, pInputs, cbSize);
}

void WINAPI CountSleep(DWORD milliseconds)
{
    g_waitedMs += milliseconds;
}

const Sent kRefused = { 0xFFFF, 0xFFFF, 0xFFFF };

} // namespace

TEST(Typing, AnEventTheInputRefusesIsTriedAgainThenTheRestOfTheCharacterIsNotSent)
{
    struct Case {
        const char* what;
        int refuseFrom, refuseTo;   // SendInput calls refused
        bool typed;
        std::vector<Sent> sent;
        unsigned waitedMs;
    };
    const Sent down = { 0, 'A', KEYEVENTF_UNICODE };
    const Sent up = { 0, 'A', KEYEVENTF_UNICODE | KEYEVENTF_KEYUP };
    const Case cases[] = {
        { "taken at once", 0, 0, true, { down, up }, 0 },
        { "the key-down refused twice", 0, 2, true, { kRefused, kRefused, down, up }, 15 },
        { "the key-down refused for good", 0, 99, false, { kRefused, kRefused, kRefused, kRefused, kRefused }, 50 },
        // The key-up is given up: the key is let go with one more try.
        { "the key-up refused for good", 1, 6, false, { down, kRefused, kRefused, kRefused, kRefused, kRefused, up },
          50 },
    };
    SetSendInputForTesting(&RefusingSendInput, &CountSleep);
    for (const Case& c : cases) {
        g_sent.clear();
        g_call = 0;
        g_refuseFrom = c.refuseFrom;
        g_refuseTo = c.refuseTo;
        g_waitedMs = 0;
        EXPECT_EQ(TypeUnicodeUnit('A'), c.typed) << c.what;
        EXPECT_EQ(g_sent, c.sent) << c.what;
        EXPECT_EQ(g_waitedMs, c.waitedMs) << c.what;
    }
    SetSendInputForTesting(nullptr);
}

TEST(Typing, TheDispatcherStopsAtACharacterTheInputRefuses)
{
    // "A", then U+1F600 as UTF-8, whose low surrogate's key-down (the 4th
    // SendInput call of the character) is refused for good.
    tapwire::DecoderState state;
    SetSendInputForTesting(&RefusingSendInput, &CountSleep);
    g_sent.clear();
    g_call = 0;
    g_refuseFrom = 2 + 2;
    g_refuseTo = 99;
    EXPECT_EQ(tapwire::DispatchReceivedByte(state, tapwire::ENC_UTF8, true, 'A', ConvertCodePage, kTypingOperations),
              tapwire::Typed::kComplete);
    tapwire::Typed typed = tapwire::Typed::kNothing;
    for (BYTE b : { 0xF0, 0x9F, 0x98, 0x80 })
        typed = tapwire::DispatchReceivedByte(state, tapwire::ENC_UTF8, true, b, ConvertCodePage, kTypingOperations);
    EXPECT_EQ(typed, tapwire::Typed::kFailed);
    std::vector<Sent> expected = UnicodePress('A');
    for (const Sent& sent : UnicodePress(0xD83D))
        expected.push_back(sent);
    expected.insert(expected.end(), 5, kRefused);
    EXPECT_EQ(g_sent, expected) << "the low surrogate is not sent after it";
    SetSendInputForTesting(nullptr);
}

TEST(Typing, KeyboardKeysAreTheLayoutsKeysWithTheirScanCodes)
{
    // The harness's display has the US layout.
    SetSendInputForTesting(&RecordSendInput);
    SetKeyMode(tapwire::KeyMode::kKeyboardKeys);
    struct Case {
        const char* what;
        std::function<bool()> type;
        std::vector<Sent> sent;
    };
    const Case cases[] = {
        { "z", [] { return TypeUnicodeUnit('z'); }, { { 'Z', 0x2C, 0 }, { 'Z', 0x2C, KEYEVENTF_KEYUP } } },
        { "! is Shift+1", [] { return TypeUnicodeUnit('!'); },
          { { VK_SHIFT, 0x2A, 0 }, { '1', 0x02, 0 }, { '1', 0x02, KEYEVENTF_KEYUP }, { VK_SHIFT, 0x2A, KEYEVENTF_KEYUP } } },
        { "no US key gives é", [] { return TypeUnicodeUnit(0xE9); }, UnicodePress(0xE9) },
        { "Enter with its scan code", [] { return TypeRawByte(0x0D); },
          { { VK_RETURN, 0x1C, 0 }, { VK_RETURN, 0x1C, KEYEVENTF_KEYUP } } },
        { "key 10 has none", [] { return TypeRawByte(0x0A); }, KeyPress(0x0A) },
        { "a control character stays Unicode", [] { return TypeRawByte(0x1B); }, UnicodePress(0x1B) },
    };
    for (const Case& c : cases) {
        g_sent.clear();
        EXPECT_TRUE(c.type()) << c.what;
        EXPECT_EQ(g_sent, c.sent) << c.what;
    }
    SetKeyMode(tapwire::KeyMode::kUnicodeCharacters);
    SetSendInputForTesting(nullptr);
}
