#include "KeyEvents.h"

namespace tapwire {

namespace {

constexpr unsigned kAnsiCodePage = 0;   // CP_ACP

// The single-byte path of each encoding: 0 types raw bytes; 6 to 8 their own
// code page; the decoding encodings the system's ANSI code page.
void AddSingleByte(KeyEvents& events, int encoding, std::uint8_t b, CodePageConverter convert)
{
    switch (encoding) {
    case ENC_ASCII:
        AddRawByte(events, b);
        break;
    case ENC_THAI:
        AddCodePageByte(events, b, 874, convert);
        break;
    case ENC_LATIN1:
        AddCodePageByte(events, b, 1252, convert);
        break;
    case ENC_ARABIC:
        AddCodePageByte(events, b, 1256, convert);
        break;
    default:
        AddCodePageByte(events, b, kAnsiCodePage, convert);
        break;
    }
}

} // namespace

bool IsKeyByte(std::uint8_t b)
{
    return b == 0x08 || b == 0x09 || b == 0x0A || b == 0x0D;
}

void AddUnicodeUnit(KeyEvents& events, char16_t unit)
{
    events.push_back({ 0, unit, kKeyEventUnicode });
    events.push_back({ 0, unit, kKeyEventUnicode | kKeyEventKeyUp });
}

void AddVirtualKey(KeyEvents& events, std::uint16_t key)
{
    events.push_back({ key, 0, 0 });
    events.push_back({ key, 0, kKeyEventKeyUp });
}

void AddRawByte(KeyEvents& events, std::uint8_t b)
{
    if (IsKeyByte(b))
        AddVirtualKey(events, b);
    else
        AddUnicodeUnit(events, b);
}

void AddCodePageByte(KeyEvents& events, std::uint8_t b, unsigned codePage, CodePageConverter convert)
{
    if (IsKeyByte(b)) {
        AddVirtualKey(events, b);
        return;
    }
    if (b == 0) {
        AddUnicodeUnit(events, 0);
        return;
    }
    std::u16string units;
    if (convert(codePage, &b, 1, units) && !units.empty())
        AddUnicodeUnit(events, units.front());
}

void AddCodePoint(KeyEvents& events, int codePoint)
{
    if (codePoint <= 0xFFFF) {
        AddUnicodeUnit(events, static_cast<char16_t>(codePoint));
    } else if (codePoint <= 0x10FFFF) {
        const int offset = codePoint - 0x10000;
        AddUnicodeUnit(events, static_cast<char16_t>(0xD800 + (offset >> 10)));
        AddUnicodeUnit(events, static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
    } else {
        AddUnicodeUnit(events, u'\uFFFD');
    }
}

void DispatchReceivedByte(KeyEvents& events, DecoderState& state, int encoding, bool portOpen,
                          std::uint8_t b, CodePageConverter convert)
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
            for (char16_t unit : units) {
                if (unit != 0)
                    AddUnicodeUnit(events, unit);
            }
            return;
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
        return;   // an index from a hand-edited file: nothing is typed
    }

    if (result > 0)
        AddCodePoint(events, result);
    else if (result == kDecodePassOn)
        AddSingleByte(events, encoding, b, convert);
}

} // namespace tapwire
