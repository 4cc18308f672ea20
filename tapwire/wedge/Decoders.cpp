#include "Decoders.h"

#include <algorithm>

namespace tapwire {

namespace {

// The pair decoders share the held lead byte.
bool TakeLead(DecoderState& state, std::uint8_t& lead)
{
    if (!state.bLeadPending)
        return false;
    lead = state.byLead;
    state.byLead = 0;
    state.bLeadPending = false;
    return true;
}

void HoldLead(DecoderState& state, std::uint8_t b)
{
    state.byLead = b;
    state.bLeadPending = true;
}

PairResult DecodePair(DecoderState& state, bool portOpen, std::uint8_t b, bool isLead, unsigned codePage,
                      CodePageConverter convert, std::u16string& units)
{
    units.clear();
    if (!portOpen)
        return PairResult::kPassOn;
    std::uint8_t lead = 0;
    if (TakeLead(state, lead)) {
        // Any byte completes a pending pair, control bytes included.
        const std::uint8_t pair[2] = { lead, b };
        if (!convert(codePage, pair, 2, units))
            units.clear();
        // A control byte is consumed into the pair: should the code page make
        // no character of the two and give the control byte back as a unit of
        // its own, that unit is dropped, so that neither the key nor the bare
        // control character is typed for it.
        if (b < 0x20)
            units.erase(std::remove(units.begin(), units.end(), static_cast<char16_t>(b)), units.end());
        return PairResult::kCompleted;
    }
    if (!isLead)
        return PairResult::kPassOn;
    HoldLead(state, b);
    return PairResult::kHeld;
}

} // namespace

int DecodeUtf16Le(DecoderState& state, bool portOpen, std::uint8_t b)
{
    if (!portOpen)
        return kDecodePassOn;
    std::uint8_t lead = 0;
    if (!TakeLead(state, lead)) {
        HoldLead(state, b);
        return kDecodeHeld;
    }
    return lead + 256 * b;
}

int DecodeUtf16Be(DecoderState& state, bool portOpen, std::uint8_t b)
{
    if (!portOpen)
        return kDecodePassOn;
    std::uint8_t lead = 0;
    if (!TakeLead(state, lead)) {
        HoldLead(state, b);
        return kDecodeHeld;
    }
    return 256 * lead + b;
}

int DecodeUtf8(DecoderState& state, bool portOpen, std::uint8_t b)
{
    if (!portOpen)
        return kDecodePassOn;
    if (state.nUtf8Length == 0) {
        if (b < 0xC0)   // ASCII, or a continuation byte without a lead
            return kDecodePassOn;
        state.nUtf8Length = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        state.byLead = b;
        state.nUtf8Held = 1;
        return kDecodeHeld;
    }
    if (state.nUtf8Held < state.nUtf8Length - 1) {
        if (state.nUtf8Held == 1)
            state.byUtf8Second = b;
        else
            state.byUtf8Third = b;
        ++state.nUtf8Held;
        return kDecodeHeld;
    }

    int codePoint = 0;
    switch (state.nUtf8Length) {
    case 2:
        codePoint = ((state.byLead & 0x1F) << 6) | (b & 0x3F);
        break;
    case 3:
        codePoint = ((state.byLead & 0x0F) << 12) | ((state.byUtf8Second & 0x3F) << 6) | (b & 0x3F);
        break;
    default:
        codePoint = ((state.byLead & 0x07) << 18) | ((state.byUtf8Second & 0x3F) << 12) |
                    ((state.byUtf8Third & 0x3F) << 6) | (b & 0x3F);
        break;
    }
    state.nUtf8Length = 0;
    state.nUtf8Held = 0;
    state.byLead = 0;
    state.bLeadPending = false;
    return codePoint;
}

PairResult DecodeGbk(DecoderState& state, bool portOpen, std::uint8_t b, CodePageConverter convert,
                     std::u16string& units)
{
    // The lead bytes of code page 936; 0x80 is the euro sign and 0xFF no lead.
    return DecodePair(state, portOpen, b, b >= 0x81 && b <= 0xFE, 936, convert, units);
}

PairResult DecodeShiftJis(DecoderState& state, bool portOpen, std::uint8_t b, CodePageConverter convert,
                          std::u16string& units)
{
    // The lead bytes of code page 932: besides JIS X 0208 (up to 0xEA) the
    // NEC-selected IBM extensions (0xED, 0xEE), the user-defined area (0xF0 to
    // 0xF9) and the IBM extensions (0xFA to 0xFC); pairs of 0xEB, 0xEC and 0xEF
    // go to the code page like any other.
    const bool isLead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return DecodePair(state, portOpen, b, isLead, 932, convert, units);
}

} // namespace tapwire
