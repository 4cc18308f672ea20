// What is typed for a character or a received byte, as key events: the rules
// behind the typing operations, without SendInput. A key press is always a
// key-down event followed by its key-up event.
#pragma once

#include "Decoders.h"

#include <cstdint>
#include <vector>

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

using KeyEvents = std::vector<KeyEvent>;

// The byte values typed as virtual keys (the byte is the key code): 0x08
// Backspace, 0x09 Tab, 0x0A key code 10, 0x0D Enter.
bool IsKeyByte(std::uint8_t b);

// One Unicode key press of the unit.
void AddUnicodeUnit(KeyEvents& events, char16_t unit);
// One virtual-key press.
void AddVirtualKey(KeyEvents& events, std::uint16_t key);
// A byte under "ASCII": the four key bytes as keys, every other byte as the
// Unicode character of the same number.
void AddRawByte(KeyEvents& events, std::uint8_t b);
// A byte as a character of the code page (0 is the system's ANSI code page):
// the key bytes as keys, 0 as unit 0, otherwise the first unit of its
// conversion; nothing when the code page gives no text for it.
void AddCodePageByte(KeyEvents& events, std::uint8_t b, unsigned codePage, CodePageConverter convert);
// A decoded character: a code point above U+FFFF as its surrogate pair (high,
// then low); one beyond U+10FFFF, which UTF-16 cannot carry, as U+FFFD.
void AddCodePoint(KeyEvents& events, int codePoint);

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

// One received byte through the decoder of the encoding into key events.
// An encoding outside 0 to 8 types nothing.
void DispatchReceivedByte(KeyEvents& events, DecoderState& state, int encoding, bool portOpen,
                          std::uint8_t b, CodePageConverter convert);

} // namespace tapwire
