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
