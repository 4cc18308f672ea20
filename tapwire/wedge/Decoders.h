// The receive decoders: one byte in, the decoder state advanced, and a result:
//   above 0  a completed character: a UTF-16 unit (UTF-8: a code point)
//   0        the byte was held (a character is under way), or a character of
//            value 0 was completed; nothing is typed
//   -1       pass on: the byte is typed as a single byte
// They work strictly byte by byte: no look-ahead, no waiting for time. While
// the port is stopped (bytes still arriving) every decoder passes bytes on and
// leaves its state alone.
#pragma once

#include "DecoderState.h"

#include <cstdint>
#include <string>

namespace tapwire {

constexpr int kDecodeHeld = 0;
constexpr int kDecodePassOn = -1;

// Turns the bytes of a code page into UTF-16 units; false when the conversion
// fails. On Windows this is MultiByteToWideChar; tests bring their own.
using CodePageConverter = bool (*)(unsigned codePage, const std::uint8_t* bytes, int count,
                                   std::u16string& units);

// "Unicode": each two bytes form one unit, first byte low.
int DecodeUtf16Le(DecoderState& state, bool portOpen, std::uint8_t b);
// "Unicode(Big-Endian)": first byte high.
int DecodeUtf16Be(DecoderState& state, bool portOpen, std::uint8_t b);
// UTF-8, up to four bytes; later bytes count by their low six bits whatever
// their form, and a byte 0xF8 to 0xFF leads four bytes too.
int DecodeUtf8(DecoderState& state, bool portOpen, std::uint8_t b);

// The double-byte code pages: a completed pair gives the units the code page
// makes of it, in `units` (possibly none, possibly more than one). A control
// byte (00 to 1F) after a lead byte is consumed into the pair: it is never
// among those units.
enum class PairResult { kHeld, kPassOn, kCompleted };
// GBK (936): the lead bytes of code page 936, 0x81 to 0xFE, lead a pair; any
// byte completes it.
PairResult DecodeGbk(DecoderState& state, bool portOpen, std::uint8_t b, CodePageConverter convert,
                     std::u16string& units);
// Shift-JIS (932): the lead bytes of code page 932, 0x81-0x9F and 0xE0-0xFC,
// lead a pair.
PairResult DecodeShiftJis(DecoderState& state, bool portOpen, std::uint8_t b, CodePageConverter convert,
                          std::u16string& units);

} // namespace tapwire
