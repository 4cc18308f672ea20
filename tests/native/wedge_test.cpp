// The decoders and the dispatcher, byte by byte: which typing operation each
// received byte ends up in, and the key-event rules those operations build on.
#include "KeyEvents.h"
#include "code_page_for_tests.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace tapwire;

namespace {

// The calls the dispatcher makes, one entry each: "U+0041" for a Unicode
// unit, "raw 0D" for a byte under "ASCII", "cp1252 80" for a byte through a
// code page.
std::string g_calls;

void Record(const char* format, unsigned a, unsigned b = 0)
{
    char entry[32];
    std::snprintf(entry, sizeof entry, format, a, b);
    g_calls += (g_calls.empty() ? "" : ", ") + std::string(entry);
}

const TypingOperations kRecorder = {
    [](std::uint16_t unit) { Record("U+%04X", unit); return true; },
    [](std::uint8_t b) { Record("raw %02X", b); return true; },
    [](std::uint8_t b, unsigned codePage) { Record("cp%u %02X", codePage, b); return true; },
};

struct Wedge {
    DecoderState state;
    int encoding = ENC_ASCII;
    bool portOpen = true;
    CodePageConverter convert = ConvertWithIconv;

    std::string Feed(const std::vector<std::uint8_t>& bytes)
    {
        g_calls.clear();
        for (std::uint8_t b : bytes)
            DispatchReceivedByte(state, encoding, portOpen, b, convert, kRecorder);
        return g_calls;
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

TEST(Wedge, EachEncodingHandsItsBytesToTheirTypingOperation)
{
    struct Case {
        int encoding;
        std::vector<std::uint8_t> bytes;
        const char* calls;
    };
    const Case cases[] = {
        // ASCII: every byte raw, keys and 0 included.
        { ENC_ASCII, { 0x41, 0x0D, 0x0A, 0xE9, 0x00 }, "raw 41, raw 0D, raw 0A, raw E9, raw 00" },
        // Unicode, both byte orders; bytes taken unsigned; 00 00 types nothing.
        { ENC_UNICODE, { 0x41, 0x00, 0x8C, 0x4E, 0xE9, 0x00, 0x00, 0x00 }, "U+0041, U+4E8C, U+00E9" },
        { ENC_UNICODE_BE, { 0x00, 0x41, 0x4E, 0x8C }, "U+0041, U+4E8C" },
        // UTF-8, one to four bytes; single bytes through the ANSI code page; a
        // four-byte character as its surrogate pair.
        { ENC_UTF8, { 0x41, 0xC3, 0xA9, 0xE4, 0xB8, 0xAD, 0x0D }, "cp0 41, U+00E9, U+4E2D, cp0 0D" },
        { ENC_UTF8, { 0xF0, 0x9F, 0x98, 0x80 }, "U+D83D, U+DE00" },
        // A continuation byte without a lead is passed on.
        { ENC_UTF8, { 0x80 }, "cp0 80" },
        // Later bytes count by their low six bits only: the ASCII byte is swallowed.
        { ENC_UTF8, { 0xC3, 0x41, 0x42 }, "U+00C1, cp0 42" },
        // F8 to FF lead four bytes; beyond U+10FFFF the replacement character.
        { ENC_UTF8, { 0xF7, 0xBF, 0xBF, 0xBF }, "U+FFFD" },
        // An overlong zero completes with value 0: nothing typed.
        { ENC_UTF8, { 0xC0, 0x80, 0x41 }, "cp0 41" },
        // GBK: a pair through code page 936, single bytes too; any byte
        // completes a pending pair.
        { ENC_GBK, { 0x41, 0xD6, 0xD0, 0x0D }, "cp936 41, U+4E2D, cp936 0D" },
        { ENC_GBK, { 0xD6, 0x0D, 0x41 }, "cp936 41" },   // no text for D6 0D here: nothing
        // Shift-JIS: single bytes, half-width katakana and keys among them,
        // through code page 932, whatever the ANSI code page.
        { ENC_SHIFT_JIS, { 0x82, 0xA0, 0x41, 0x0D }, "U+3042, cp932 41, cp932 0D" },
        { ENC_SHIFT_JIS, { 0xA1, 0xB1, 0xB2, 0xB3, 0xDF }, "cp932 A1, cp932 B1, cp932 B2, cp932 B3, cp932 DF" },
        // The single-byte code pages.
        { ENC_THAI, { 0xE9 }, "cp874 E9" },
        { ENC_LATIN1, { 0x80, 0xE9, 0x09 }, "cp1252 80, cp1252 E9, cp1252 09" },
        { ENC_ARABIC, { 0xC7 }, "cp1256 C7" },
        // An index from a hand-edited settings file types nothing.
        { 9, { 0x41, 0x0D }, "" },
        { -1, { 0x41 }, "" },
    };
    for (const Case& c : cases) {
        Wedge wedge;
        wedge.encoding = c.encoding;
        EXPECT_EQ(wedge.Feed(c.bytes), c.calls) << "encoding " << c.encoding << ": " << Hex(c.bytes);
    }
}

// A pair starts exactly at a lead byte of the code page: at the edges of the
// lead byte ranges, a lead byte and the next byte go to the code page as one
// pair, any other byte is a single byte. The 41 after each case shows that
// nothing of it is left over.
TEST(Wedge, APairStartsExactlyAtALeadByteOfTheCodePage)
{
    struct Case {
        int encoding;
        std::vector<std::uint8_t> bytes;
        const char* calls;   // then the 41's
    };
    const Case cases[] = {
        { ENC_SHIFT_JIS, { 0x80 }, "cp932 80" },
        { ENC_SHIFT_JIS, { 0x81, 0x40 }, "U+3000" },
        { ENC_SHIFT_JIS, { 0x9F, 0xFC }, "U+6ECC" },
        { ENC_SHIFT_JIS, { 0xA0 }, "cp932 A0" },
        { ENC_SHIFT_JIS, { 0xE0, 0x40 }, "U+6F3E" },
        { ENC_SHIFT_JIS, { 0xEA, 0xA4 }, "U+7199" },
        // Leads of pairs this converter has no character for: nothing.
        { ENC_SHIFT_JIS, { 0xEB, 0x40 }, "" },
        { ENC_SHIFT_JIS, { 0xEC, 0x9F }, "" },
        // The NEC-selected IBM extensions, the same kanji as at FA to FC.
        { ENC_SHIFT_JIS, { 0xED, 0x40 }, "U+7E8A" },
        { ENC_SHIFT_JIS, { 0xEE, 0xEC }, "U+9ED1" },
        { ENC_SHIFT_JIS, { 0xEE, 0xFC }, "U+FF02" },
        // The user-defined area.
        { ENC_SHIFT_JIS, { 0xF0, 0x40 }, "U+E000" },
        { ENC_SHIFT_JIS, { 0xF9, 0xFC }, "U+E757" },
        // The IBM extensions.
        { ENC_SHIFT_JIS, { 0xFA, 0x40 }, "U+2170" },
        { ENC_SHIFT_JIS, { 0xFC, 0x4B }, "U+9ED1" },
        { ENC_SHIFT_JIS, { 0xFD }, "cp932 FD" },
        { ENC_SHIFT_JIS, { 0xFF }, "cp932 FF" },
        { ENC_SHIFT_JIS, { 0x4B, 0xB1, 0xB2, 0xB3, 0xED, 0x40, 0xF0, 0x40 },
          "cp932 4B, cp932 B1, cp932 B2, cp932 B3, U+7E8A, U+E000" },
        // GBK: 80 is the euro sign, FF no lead.
        { ENC_GBK, { 0x7F }, "cp936 7F" },
        { ENC_GBK, { 0x80 }, "cp936 80" },
        { ENC_GBK, { 0x81, 0x40 }, "U+4E02" },
        { ENC_GBK, { 0xFE, 0x4F }, "U+FA29" },
        { ENC_GBK, { 0xFF }, "cp936 FF" },
        { ENC_GBK, { 0x41, 0x80, 0xD6, 0xD0, 0x42 }, "cp936 41, cp936 80, U+4E2D, cp936 42" },
        { ENC_GBK, { 0xFF, 0xD6, 0xD0 }, "cp936 FF, U+4E2D" },
    };
    for (const Case& c : cases) {
        Wedge wedge;
        wedge.encoding = c.encoding;
        std::vector<std::uint8_t> bytes = c.bytes;
        bytes.push_back(0x41);
        const std::string after = c.encoding == ENC_GBK ? "cp936 41" : "cp932 41";
        EXPECT_EQ(wedge.Feed(bytes), *c.calls ? c.calls + (", " + after) : after)
            << "encoding " << c.encoding << ": " << Hex(bytes);
    }
}

TEST(Wedge, StoppedPortPassesBytesOnAndLeavesTheStateAlone)
{
    Wedge wedge;
    wedge.encoding = ENC_GBK;
    EXPECT_EQ(wedge.Feed({ 0xD6 }), "");
    wedge.portOpen = false;
    // Typed as single bytes of the code page; the held lead stays.
    EXPECT_EQ(wedge.Feed({ 0xE9, 0x41 }), "cp936 E9, cp936 41");
    EXPECT_TRUE(wedge.state.bLeadPending);
    wedge.portOpen = true;
    EXPECT_EQ(wedge.Feed({ 0xD0 }), "U+4E2D");
}

TEST(Wedge, StopResetDropsAHalfReceivedUtf8Character)
{
    Wedge wedge;
    wedge.encoding = ENC_UTF8;
    EXPECT_EQ(wedge.Feed({ 0xE4, 0xB8 }), "");
    // What Stop (and choosing UTF-8) does to the state.
    wedge.state.bLeadPending = false;
    wedge.state.nUtf8Length = 0;
    EXPECT_EQ(wedge.Feed({ 0xE4, 0xB8, 0xAD }), "U+4E2D");
}

TEST(Wedge, ALeadHeldUnderOneEncodingIsCompletedUnderTheNext)
{
    Wedge wedge;
    wedge.encoding = ENC_GBK;
    EXPECT_EQ(wedge.Feed({ 0x8C }), "");
    wedge.encoding = ENC_UNICODE;
    EXPECT_EQ(wedge.Feed({ 0x4E }), "U+4E8C");
}

// What a code page may make of a lead byte and a control byte: no text, one
// stand-in character for the two, or a stand-in followed by the control byte
// as a character of its own.
bool ConvertToNothing(unsigned, const std::uint8_t*, int, std::u16string& units)
{
    units.clear();
    return false;
}
bool ConvertToOneStandIn(unsigned, const std::uint8_t*, int count, std::u16string& units)
{
    units = count == 2 ? u"?" : u"";
    return count == 2;
}
bool ConvertToStandInAndControl(unsigned, const std::uint8_t* bytes, int count, std::u16string& units)
{
    units = count == 2 ? u"?" + std::u16string(1, static_cast<char16_t>(bytes[1])) : u"";
    return count == 2;
}

TEST(Wedge, AControlByteAfterALeadByteIsConsumedIntoThePair)
{
    struct Pair {
        int encoding;
        std::uint8_t lead, control;
        const char* after;   // the 41 after the pair
    };
    struct Conversion {
        CodePageConverter convert;
        const char* calls;   // for the pair
    };
    const Conversion conversions[] = {
        { ConvertToNothing, "" },
        { ConvertToOneStandIn, "U+003F, " },
        { ConvertToStandInAndControl, "U+003F, " },
    };
    const Pair pairs[] = {
        { ENC_GBK, 0xD6, 0x0D, "cp936 41" },
        { ENC_SHIFT_JIS, 0x81, 0x0A, "cp932 41" },
        { ENC_GBK, 0xD6, 0x09, "cp936 41" },
    };
    for (const Pair& pair : pairs) {
        for (const Conversion& conversion : conversions) {
            Wedge wedge;
            wedge.encoding = pair.encoding;
            wedge.convert = conversion.convert;
            EXPECT_EQ(wedge.Feed({ pair.lead, pair.control, 0x41 }), std::string(conversion.calls) + pair.after)
                << "encoding " << pair.encoding << ": " << Hex({ pair.lead, pair.control });
        }
    }
}

TEST(Wedge, AUnitTheInputDoesNotTakeEndsItsCharacter)
{
    // The recorder refuses the unit given here: the units after it are not
    // typed, and the byte's outcome says so.
    static std::uint16_t s_refused;
    static const TypingOperations kRefusing = {
        [](std::uint16_t unit) {
            Record("U+%04X", unit);
            return unit != s_refused;
        },
        [](std::uint8_t b) { Record("raw %02X", b); return b != s_refused; },
        [](std::uint8_t b, unsigned codePage) { Record("cp%u %02X", codePage, b); return true; },
    };
    struct Case {
        const char* what;
        int encoding;
        std::vector<std::uint8_t> bytes;
        std::uint16_t refused;
        const char* calls;
        Typed last;
    };
    const Case cases[] = {
        { "a surrogate pair, its high unit refused", ENC_UTF8, { 0xF0, 0x9F, 0x98, 0x80 }, 0xD83D, "U+D83D",
          Typed::kFailed },
        { "a surrogate pair, its low unit refused", ENC_UTF8, { 0xF0, 0x9F, 0x98, 0x80 }, 0xDE00,
          "U+D83D, U+DE00", Typed::kFailed },
        { "a surrogate pair typed", ENC_UTF8, { 0xF0, 0x9F, 0x98, 0x80 }, 0, "U+D83D, U+DE00", Typed::kComplete },
        { "a lead byte is held: nothing", ENC_GBK, { 0xD6 }, 0, "", Typed::kNothing },
        { "a GBK pair refused", ENC_GBK, { 0xD6, 0xD0 }, 0x4E2D, "U+4E2D", Typed::kFailed },
        { "a raw byte refused", ENC_ASCII, { 0x41 }, 0x41, "raw 41", Typed::kFailed },
        { "an index outside the menu types nothing", 9, { 0x41 }, 0x41, "", Typed::kNothing },
    };
    for (const Case& c : cases) {
        s_refused = c.refused;
        DecoderState state;
        g_calls.clear();
        Typed last = Typed::kNothing;
        for (std::uint8_t b : c.bytes)
            last = DispatchReceivedByte(state, c.encoding, true, b, ConvertWithIconv, kRefusing);
        EXPECT_EQ(g_calls, c.calls) << c.what;
        EXPECT_EQ(last, c.last) << c.what;
    }
}

TEST(KeyEvents, AKeyPressIsItsDownEventThenItsUpEvent)
{
    EXPECT_EQ(UnicodeKeyPress(u'\u4E2D'),
              (KeyPress{ { { 0, 0x4E2D, kKeyEventUnicode }, { 0, 0x4E2D, kKeyEventUnicode | kKeyEventKeyUp } } }));
    EXPECT_EQ(VirtualKeyPress(0x0D), (KeyPress{ { { 0x0D, 0, 0 }, { 0x0D, 0, kKeyEventKeyUp } } }));
    EXPECT_EQ(VirtualKeyPress(0x0D, 0x1C), (KeyPress{ { { 0x0D, 0x1C, 0 }, { 0x0D, 0x1C, kKeyEventKeyUp } } }));

    std::vector<int> keys;
    for (int b = 0; b < 256; ++b) {
        if (IsKeyByte(static_cast<std::uint8_t>(b)))
            keys.push_back(b);
    }
    EXPECT_EQ(keys, (std::vector<int>{ 0x08, 0x09, 0x0A, 0x0D }));
}

TEST(KeyEvents, ACodePageByteStandsForTheFirstUnitOfItsText)
{
    struct Case {
        std::uint8_t b;
        unsigned codePage;
        std::optional<char16_t> unit;
    };
    const Case cases[] = {
        { 0x80, 1252, u'\u20AC' },
        { 0xE9, 874, u'\u0E49' },
        { 0xC7, 1256, u'\u0627' },
        { 0x41, 12345, std::nullopt },   // no such code page: no text
        { 0x00, 12345, u'\0' },          // 0 is its own terminator
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodePageByteUnit(c.b, c.codePage, ConvertWithIconv), c.unit) << c.codePage << " " << int(c.b);
}
