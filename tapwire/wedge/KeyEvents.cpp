#include "KeyEvents.h"

namespace tapwire {

namespace {

constexpr unsigned kAnsiCodePage = 0;   // CP_ACP

Typed Outcome(bool inserted)
{
    return inserted ? Typed::kComplete : Typed::kFailed;
}

// A unit that was not inserted ends the character: its low surrogate is not
// typed after a lost high one.
Typed TypeCodePoint(const TypingOperations& typing, int codePoint)
{
    if (codePoint <= 0xFFFF)
        return Outcome(typing.pfnTypeUnicodeUnit(static_cast<std::uint16_t>(codePoint)));
    if (codePoint <= 0x10FFFF) {
        const int offset = codePoint - 0x10000;
        return Outcome(typing.pfnTypeUnicodeUnit(static_cast<std::uint16_t>(0xD800 + (offset >> 10))) &&
                       typing.pfnTypeUnicodeUnit(static_cast<std::uint16_t>(0xDC00 + (offset & 0x3FF))));
    }
    return Outcome(typing.pfnTypeUnicodeUnit(0xFFFD));
}

Typed TypeSingleByte(const TypingOperations& typing, int encoding, std::uint8_t b)
{
    switch (encoding) {
    case ENC_ASCII:
        return Outcome(typing.pfnTypeRawByte(b));
    // The double-byte encodings' single bytes belong to their code page
    // whatever the system's ANSI code page: the half-width katakana of
    // Shift-JIS, the euro sign 0x80 of GBK.
    case ENC_GBK:
        return Outcome(typing.pfnTypeCodePageByte(b, 936));
    case ENC_SHIFT_JIS:
        return Outcome(typing.pfnTypeCodePageByte(b, 932));
    case ENC_THAI:
        return Outcome(typing.pfnTypeCodePageByte(b, 874));
    case ENC_LATIN1:
        return Outcome(typing.pfnTypeCodePageByte(b, 1252));
    case ENC_ARABIC:
        return Outcome(typing.pfnTypeCodePageByte(b, 1256));
    default:
        return Outcome(typing.pfnTypeCodePageByte(b, kAnsiCodePage));
    }
}

} // namespace

bool IsKeyByte(std::uint8_t b)
{
    return b == 0x08 || b == 0x09 || b == 0x0A || b == 0x0D;
}

KeyPress UnicodeKeyPress(char16_t unit)
{
    return { { { 0, unit, kKeyEventUnicode }, { 0, unit, kKeyEventUnicode | kKeyEventKeyUp } } };
}

KeyPress VirtualKeyPress(std::uint16_t key, std::uint16_t scan)
{
    return { { { key, scan, 0 }, { key, scan, kKeyEventKeyUp } } };
}

std::optional<char16_t> CodePageByteUnit(std::uint8_t b, unsigned codePage, CodePageConverter convert)
{
    // The byte is converted as a text of its own: 0 is its terminator alone.
    if (b == 0)
        return u'\0';
    std::u16string units;
    if (convert(codePage, &b, 1, units) && !units.empty())
        return units.front();
    return std::nullopt;
}

Typed DispatchReceivedByte(DecoderState& state, int encoding, bool portOpen, std::uint8_t b,
                           CodePageConverter convert, const TypingOperations& typing)
{
    int result = kDecodePassOn;
    switch (encoding) {
    case ENC_UNICODE:
        result = DecodeUtf16Le(state, portOpen, b);
        break;
    case ENC_UNICODE_BE:
        result = DecodeUtf16Be(state, portOpen, b);
        break;
    case ENC_UTF8:
        result = DecodeUtf8(state, portOpen, b);
        break;
    case ENC_GBK:
    case ENC_SHIFT_JIS: {
        std::u16string units;
        const PairResult pair = encoding == ENC_GBK ? DecodeGbk(state, portOpen, b, convert, units)
                                                    : DecodeShiftJis(state, portOpen, b, convert, units);
        if (pair == PairResult::kCompleted) {
            // Every unit the code page gives, in order; a unit 0 types nothing.
            Typed typed = Typed::kNothing;
            for (char16_t unit : units) {
                if (unit == 0)
                    continue;
                if (!typing.pfnTypeUnicodeUnit(unit))
                    return Typed::kFailed;
                typed = Typed::kComplete;
            }
            return typed;
        }
        result = pair == PairResult::kHeld ? kDecodeHeld : kDecodePassOn;
        break;
    }
    case ENC_ASCII:
    case ENC_THAI:
    case ENC_LATIN1:
    case ENC_ARABIC:
        break;
    default:
        return Typed::kNothing;   // an index from a hand-edited file: nothing is typed
    }

    if (result > 0)
        return TypeCodePoint(typing, result);
    if (result == kDecodePassOn)
        return TypeSingleByte(typing, encoding, b);
    return Typed::kNothing;
}

} // namespace tapwire
