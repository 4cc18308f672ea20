// The decoders and the dispatcher over arbitrary byte streams.
//
// Input: a selector byte, then the received bytes.
//   selector bit 7 clear: one encoding (selector % 11: 0 to 8, then 9 and -1,
//     the indices a hand-edited settings file can hold) for the whole stream.
//     What is handed to the typing operations must equal what an independent
//     reference decoder of that encoding hands them; before each byte the
//     same byte also arrives with the port stopped, which must pass it to the
//     encoding's single-byte operation and leave the state alone.
//   selector bit 7 set: the stream is pairs (command, byte): the command picks
//     the encoding, whether the port is open, and may first reset the state
//     as Stop or the UTF-8 menu command does. Only the invariants are checked.
// Invariants everywhere: a stopped port types every byte as one single byte;
// the decoder state stays in its ranges.
#include "KeyEvents.h"
#include "code_page_for_tests.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace tapwire;

namespace {

// One call of a typing operation: a Unicode unit, a byte under "ASCII", or a
// byte through a code page.
struct Call {
    enum Kind { kUnit, kRaw, kCodePage } kind;
    unsigned value;
    unsigned codePage;
    bool operator==(const Call& other) const
    {
        return kind == other.kind && value == other.value && codePage == other.codePage;
    }
};
using Calls = std::vector<Call>;

// The native tests' converter, remembered per byte sequence: opening an iconv
// descriptor for every byte would take most of the fuzzer's time.
bool ConvertCodePage(unsigned codePage, const std::uint8_t* bytes, int count, std::u16string& units)
{
    struct Result {
        bool ok;
        std::u16string units;
    };
    static std::map<std::pair<unsigned, std::string>, Result> s_known;
    const std::pair<unsigned, std::string> key(codePage, std::string(bytes, bytes + count));
    auto found = s_known.find(key);
    if (found == s_known.end()) {
        Result result;
        result.ok = ConvertWithIconv(codePage, bytes, count, result.units);
        found = s_known.emplace(key, result).first;
    }
    units = found->second.units;
    return found->second.ok;
}

// Where the recording operations put their calls.
Calls* g_pTyped = nullptr;

const TypingOperations kRecorder = {
    [](std::uint16_t unit) { g_pTyped->push_back({ Call::kUnit, unit, 0 }); return true; },
    [](std::uint8_t b) { g_pTyped->push_back({ Call::kRaw, b, 0 }); return true; },
    [](std::uint8_t b, unsigned codePage) { g_pTyped->push_back({ Call::kCodePage, b, codePage }); return true; },
};

void Dispatch(Calls& typed, DecoderState& state, int encoding, bool portOpen, std::uint8_t b)
{
    g_pTyped = &typed;
    DispatchReceivedByte(state, encoding, portOpen, b, ConvertCodePage, kRecorder);
    g_pTyped = nullptr;
}

void CheckStateRanges(const DecoderState& state)
{
    const int length = state.nUtf8Length;
    FUZZ_CHECK(length == 0 || length == 2 || length == 3 || length == 4);
    // Stop clears only the length, so a stale count may stay behind it.
    FUZZ_CHECK(state.nUtf8Held >= 0 && state.nUtf8Held <= 3);
    if (length > 0)
        FUZZ_CHECK(state.nUtf8Held >= 1 && state.nUtf8Held < length);
}

bool SameState(const DecoderState& a, const DecoderState& b)
{
    return a.byLead == b.byLead && a.bLeadPending == b.bLeadPending && a.nUtf8Length == b.nUtf8Length &&
           a.nUtf8Held == b.nUtf8Held && a.byUtf8Second == b.byUtf8Second && a.byUtf8Third == b.byUtf8Third;
}

// ---- the reference: each encoding's rules, over the whole stream at once ----

void TypeUnit(Calls& typed, std::uint32_t unit)
{
    typed.push_back({ Call::kUnit, unit, 0 });
}

// The single-byte path of an encoding: raw under ASCII, its own code page for
// GBK, Shift-JIS, Thai, Latin 1 and Arabic, the ANSI code page (0) for UTF-16
// and UTF-8.
void TypeSingleByte(Calls& typed, int encoding, std::uint8_t b)
{
    switch (encoding) {
    case 0:
        typed.push_back({ Call::kRaw, b, 0 });
        break;
    case 1: case 2: case 3:
        typed.push_back({ Call::kCodePage, b, 0 });
        break;
    case 4:
        typed.push_back({ Call::kCodePage, b, 936 });
        break;
    case 5:
        typed.push_back({ Call::kCodePage, b, 932 });
        break;
    case 6:
        typed.push_back({ Call::kCodePage, b, 874 });
        break;
    case 7:
        typed.push_back({ Call::kCodePage, b, 1252 });
        break;
    case 8:
        typed.push_back({ Call::kCodePage, b, 1256 });
        break;
    default:
        break;   // not an encoding: nothing at all
    }
}

// A decoded character: 0 types nothing; beyond the BMP a surrogate pair;
// beyond U+10FFFF the replacement character.
void TypeCharacter(Calls& typed, std::uint32_t cp)
{
    if (cp == 0)
        return;
    if (cp < 0x10000) {
        TypeUnit(typed, cp);
    } else if (cp < 0x110000) {
        TypeUnit(typed, 0xD800 | ((cp - 0x10000) >> 10));
        TypeUnit(typed, 0xDC00 | ((cp - 0x10000) & 0x3FF));
    } else {
        TypeUnit(typed, 0xFFFD);
    }
}

Calls Reference(int encoding, const std::uint8_t* data, std::size_t size)
{
    Calls typed;
    std::size_t i = 0;
    switch (encoding) {
    case 1:   // UTF-16LE: every two bytes one unit, low byte first
    case 2:   // UTF-16BE
        for (; i + 1 < size; i += 2) {
            const std::uint32_t first = data[i], second = data[i + 1];
            TypeCharacter(typed, encoding == 1 ? first | (second << 8) : (first << 8) | second);
        }
        break;
    case 3:   // UTF-8 as the wedge reads it: the lead byte decides the length,
              // later bytes give their low six bits, whatever they look like
        while (i < size) {
            const std::uint8_t lead = data[i];
            if (lead < 0xC0) {
                TypeSingleByte(typed, encoding, lead);
                ++i;
                continue;
            }
            const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if (i + length > size)
                break;   // still under way at the end of the stream
            std::uint32_t cp = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
            for (std::size_t k = 1; k < length; ++k)
                cp = (cp << 6) | (data[i + k] & 0x3F);
            TypeCharacter(typed, cp);
            i += length;
        }
        break;
    case 4:   // GBK and Shift-JIS: a lead byte and any next byte form a pair,
    case 5:   // typed as every nonzero unit the code page makes of it, but for
              // a control byte after the lead, which is consumed into the pair
        while (i < size) {
            const std::uint8_t b = data[i];
            const bool lead = encoding == 4 ? b >= 0x81 && b <= 0xFE
                                            : (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
            if (!lead) {
                TypeSingleByte(typed, encoding, b);
                ++i;
                continue;
            }
            if (i + 1 >= size)
                break;
            std::u16string units;
            if (ConvertCodePage(encoding == 4 ? 936 : 932, data + i, 2, units)) {
                for (char16_t unit : units) {
                    if (unit != 0 && !(data[i + 1] < 0x20 && unit == data[i + 1]))
                        TypeUnit(typed, unit);
                }
            }
            i += 2;
        }
        break;
    default:
        for (; i < size; ++i)
            TypeSingleByte(typed, encoding, data[i]);
        break;
    }
    return typed;
}

int EncodingOf(std::uint8_t selector)
{
    const int index = selector % 11;
    return index == 10 ? -1 : index;
}

void OneEncoding(int encoding, const std::uint8_t* data, std::size_t size)
{
    DecoderState state;
    Calls typed;
    for (std::size_t i = 0; i < size; ++i) {
        // The same byte first arrives after Stop, before the port has closed.
        const DecoderState before = state;
        Calls stopped;
        Dispatch(stopped, state, encoding, false, data[i]);
        FUZZ_CHECK(SameState(state, before));
        Calls single;
        TypeSingleByte(single, encoding, data[i]);
        FUZZ_CHECK(stopped == single);

        Dispatch(typed, state, encoding, true, data[i]);
        CheckStateRanges(state);
        if (encoding == 3)
            FUZZ_CHECK(!state.bLeadPending);
        else
            FUZZ_CHECK(state.nUtf8Length == 0);
    }
    FUZZ_CHECK(typed == Reference(encoding, data, size));
}

void MixedCommands(const std::uint8_t* data, std::size_t size)
{
    DecoderState state;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint8_t command = data[i];
        switch (command >> 6) {
        case 1:   // Stop
            state.bLeadPending = false;
            state.nUtf8Length = 0;
            break;
        case 2:   // "UTF-8" chosen in the Encoding menu
            state.nUtf8Length = 0;
            break;
        default:
            break;
        }
        const bool portOpen = (command & 0x20) == 0;
        const int encoding = EncodingOf(command & 0x1F);
        Calls typed;
        Dispatch(typed, state, encoding, portOpen, data[i + 1]);
        if (!portOpen) {
            Calls single;
            TypeSingleByte(single, encoding, data[i + 1]);
            FUZZ_CHECK(typed == single);
        }
        CheckStateRanges(state);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 0x80)
        MixedCommands(data + 1, size - 1);
    else
        OneEncoding(EncodingOf(data[0]), data + 1, size - 1);
    return 0;
}
