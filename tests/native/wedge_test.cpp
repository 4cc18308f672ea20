// The decoders and the byte-to-key rules, byte by byte, as the window sees them.
#include "KeyEvents.h"
#include "code_page_for_tests.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tapwire;

namespace {

// What a run of bytes types: Unicode units as themselves, virtual keys as
// "<VK n>". Checks on the way that every press is a down event then its up event.
std::u16string Typed(const std::vector<KeyEvent>& events)
{
    std::u16string text;
    for (size_t i = 0; i < events.size(); i += 2) {
        const KeyEvent& down = events[i];
        EXPECT_LT(i + 1, events.size()) << "a key-down without its key-up";
        if (i + 1 >= events.size())
            break;
        const KeyEvent& up = events[i + 1];
        EXPECT_EQ(down.wVk, up.wVk);
        EXPECT_EQ(down.wScan, up.wScan);
        EXPECT_EQ(up.dwFlags, down.dwFlags | kKeyEventKeyUp);
        EXPECT_EQ(down.dwFlags & kKeyEventKeyUp, 0u);
        if (down.dwFlags & kKeyEventUnicode) {
            EXPECT_EQ(down.wVk, 0);
            text.push_back(static_cast<char16_t>(down.wScan));
        } else {
            EXPECT_EQ(down.wScan, 0);
            text += u"<VK" + std::u16string(1, static_cast<char16_t>(u'0' + down.wVk / 10)) +
                    std::u16string(1, static_cast<char16_t>(u'0' + down.wVk % 10)) + u">";
        }
    }
    return text;
}

struct Wedge {
    DecoderState state;
    int encoding = ENC_ASCII;
    bool portOpen = true;

    std::u16string Feed(const std::vector<std::uint8_t>& bytes)
    {
        std::vector<KeyEvent> events;
        for (std::uint8_t b : bytes)
            DispatchReceivedByte(events, state, encoding, portOpen, b, ConvertWithIconv);
        return Typed(events);
    }
};

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    std::string s;
    char buf[4];
    for (std::uint8_t b : bytes) {
        snprintf(buf, sizeof buf, "%02X ", b);
        s += buf;
    }
    return s;
}

} // namespace

TEST(Wedge, EachEncodingTypesWhatItsBytesMean)
{
    struct Case {
        int encoding;
        std::vector<std::uint8_t> bytes;
        std::u16string typed;
    };
    const Case cases[] = {
        // ASCII: control keys as virtual keys, everything else as its Latin-1 unit.
        { ENC_ASCII, { 0x41, 0x0D, 0x0A }, u"A<VK13><VK10>" },
        { ENC_ASCII, { 0x08, 0x09, 0x1B, 0x00 }, u"<VK08><VK09>\u001B" + std::u16string(1, u'\0') },
        { ENC_ASCII, { 0xE9, 0x80 }, u"\u00E9\u0080" },
        // Unicode, both byte orders; bytes taken unsigned; 00 00 types nothing.
        { ENC_UNICODE, { 0x41, 0x00, 0x8C, 0x4E, 0xE9, 0x00, 0x00, 0x00 }, u"A\u4E8C\u00E9" },
        { ENC_UNICODE_BE, { 0x00, 0x41, 0x4E, 0x8C }, u"A\u4E8C" },
        // UTF-8, one to four bytes; a four-byte character as its surrogate pair.
        { ENC_UTF8, { 0x41, 0xC3, 0xA9, 0xE4, 0xB8, 0xAD, 0x0D }, u"A\u00E9\u4E2D<VK13>" },
        { ENC_UTF8, { 0xF0, 0x9F, 0x98, 0x80 }, u"\U0001F600" },
        // A continuation byte without a lead is passed on (ANSI code page 1252 here).
        { ENC_UTF8, { 0x80 }, u"\u20AC" },
        // Later bytes count by their low six bits only: the ASCII byte is swallowed.
        { ENC_UTF8, { 0xC3, 0x41, 0x42 }, u"\u00C1B" },
        // F8 to FF lead four bytes; beyond U+10FFFF the replacement character.
        { ENC_UTF8, { 0xF7, 0xBF, 0xBF, 0xBF }, u"\uFFFD" },
        // An overlong zero completes with value 0: nothing typed.
        { ENC_UTF8, { 0xC0, 0x80, 0x41 }, u"A" },
        // GBK: a pair through code page 936; any byte completes a pending pair.
        { ENC_GBK, { 0x41, 0xD6, 0xD0, 0x0D }, u"A\u4E2D<VK13>" },
        { ENC_GBK, { 0xD6, 0x0D, 0x41 }, u"A" },   // D6 0D is no character: nothing
        // Shift-JIS: half-width katakana are single bytes through the ANSI code page.
        { ENC_SHIFT_JIS, { 0x82, 0xA0, 0x41 }, u"\u3042A" },
        { ENC_SHIFT_JIS, { 0xB1 }, u"\u00B1" },
        // The single-byte code pages.
        { ENC_THAI, { 0xE9 }, u"\u0E49" },
        { ENC_LATIN1, { 0x80, 0xE9, 0x09 }, u"\u20AC\u00E9<VK09>" },
        { ENC_ARABIC, { 0xC7 }, u"\u0627" },
        // An index from a hand-edited settings file types nothing.
        { 9, { 0x41, 0x0D }, u"" },
        { -1, { 0x41 }, u"" },
    };
    for (const Case& c : cases) {
        Wedge wedge;
        wedge.encoding = c.encoding;
        EXPECT_EQ(wedge.Feed(c.bytes), c.typed) << "encoding " << c.encoding << ": " << Hex(c.bytes);
    }
}

TEST(Wedge, StoppedPortPassesBytesOnAndLeavesTheStateAlone)
{
    Wedge wedge;
    wedge.encoding = ENC_GBK;
    EXPECT_EQ(wedge.Feed({ 0xD6 }), u"");
    wedge.portOpen = false;
    // Typed as single bytes through the ANSI code page; the held lead stays.
    EXPECT_EQ(wedge.Feed({ 0xE9, 0x41 }), u"\u00E9A");
    EXPECT_TRUE(wedge.state.bLeadPending);
    wedge.portOpen = true;
    EXPECT_EQ(wedge.Feed({ 0xD0 }), u"\u4E2D");
}

TEST(Wedge, StopResetDropsAHalfReceivedUtf8Character)
{
    Wedge wedge;
    wedge.encoding = ENC_UTF8;
    EXPECT_EQ(wedge.Feed({ 0xE4, 0xB8 }), u"");
    // What Stop (and choosing UTF-8) does to the state.
    wedge.state.bLeadPending = false;
    wedge.state.nUtf8Length = 0;
    EXPECT_EQ(wedge.Feed({ 0xE4, 0xB8, 0xAD }), u"\u4E2D");
}

TEST(Wedge, ALeadHeldUnderOneEncodingIsCompletedUnderTheNext)
{
    Wedge wedge;
    wedge.encoding = ENC_GBK;
    EXPECT_EQ(wedge.Feed({ 0x8C }), u"");
    wedge.encoding = ENC_UNICODE;
    EXPECT_EQ(wedge.Feed({ 0x4E }), u"\u4E8C");
}

TEST(Wedge, CodePageByteWithoutTextTypesNothing)
{
    std::vector<KeyEvent> events;
    AddCodePageByte(events, 0x41, 12345, ConvertWithIconv);   // no such code page
    EXPECT_TRUE(events.empty());
    AddCodePageByte(events, 0x00, 12345, ConvertWithIconv);   // 0 is its own terminator
    EXPECT_EQ(Typed(events), std::u16string(1, u'\0'));
}
