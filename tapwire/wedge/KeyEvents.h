// What is typed for a character or a received byte: the key events of a key
// press, which bytes are keys, and which typing operation the dispatcher
// hands each decoded character or single byte to. No SendInput here; the
// typing operations themselves are in Typing.h.
#pragma once

#include "Decoders.h"

#include <array>
#include <cstdint>
#include <optional>

namespace tapwire {

constexpr std::uint32_t kKeyEventKeyUp = 0x0002;     // KEYEVENTF_KEYUP
constexpr std::uint32_t kKeyEventUnicode = 0x0004;   // KEYEVENTF_UNICODE

struct KeyEvent {
    std::uint16_t wVk;
    std::uint16_t wScan;
    std::uint32_t dwFlags;
    friend bool operator==(const KeyEvent& a, const KeyEvent& b)
    {
        return a.wVk == b.wVk && a.wScan == b.wScan && a.dwFlags == b.dwFlags;
    }
};

// A key press: the key-down event, then its key-up event.
using KeyPress = std::array<KeyEvent, 2>;

// The byte values typed as virtual keys (the byte is the key code): 0x08
// Backspace, 0x09 Tab, 0x0A key code 10, 0x0D Enter.
bool IsKeyByte(std::uint8_t b);

// A Unicode key press of the unit (it travels in wScan).
KeyPress UnicodeKeyPress(char16_t unit);
// A press of the virtual key, with the key's scan code (0: none given).
KeyPress VirtualKeyPress(std::uint16_t key, std::uint16_t scan = 0);

// The unit a byte that is no key byte stands for in a code page (0 is the
// system's ANSI code page): unit 0 for the byte 0, otherwise the first unit
// of its text; nothing when the code page gives it no text.
std::optional<char16_t> CodePageByteUnit(std::uint8_t b, unsigned codePage, CodePageConverter convert);

// The encodings, by their position in the Encoding menu.
enum Encoding {
    ENC_ASCII = 0,
    ENC_UNICODE = 1,
    ENC_UNICODE_BE = 2,
    ENC_UTF8 = 3,
    ENC_GBK = 4,
    ENC_SHIFT_JIS = 5,
    ENC_THAI = 6,
    ENC_LATIN1 = 7,
    ENC_ARABIC = 8,
};

// The typing operations the dispatcher types through: in the program
// TypeUnicodeUnit, TypeRawByte and TypeCodePageByte of Typing.h. Each is true
// when everything it typed was inserted into the input, or when there was
// nothing to type.
struct TypingOperations {
    bool (*pfnTypeUnicodeUnit)(std::uint16_t unit);
    bool (*pfnTypeRawByte)(std::uint8_t b);
    bool (*pfnTypeCodePageByte)(std::uint8_t b, unsigned codePage);
};

// What came of a received byte.
enum class Typed {
    kNothing,    // held, or nothing to type
    kComplete,   // its character (all its units) or key was typed
    kFailed,     // the input did not take it; units after the failing one were not typed
};

// One received byte through the decoder of the encoding, typed: a decoded
// character as its units (a code point above U+FFFF as its surrogate pair,
// high first; one beyond U+10FFFF as U+FFFD), a byte that is passed on by
// the single-byte path of the encoding: raw under "ASCII", code page 936 or
// 932 under GBK and Shift-JIS, 874, 1252 or 1256 under Thai, Latin 1 and
// Arabic, the ANSI code page under UTF-8 and UTF-16. An encoding outside 0 to
// 8 types nothing.
Typed DispatchReceivedByte(DecoderState& state, int encoding, bool portOpen, std::uint8_t b,
                           CodePageConverter convert, const TypingOperations& typing);

} // namespace tapwire
