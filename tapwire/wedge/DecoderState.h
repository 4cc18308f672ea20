// The receive decoders' state: held bytes and UTF-8 progress between bytes.
#pragma once

#include <cstdint>

namespace tapwire {

struct DecoderState {
    std::uint8_t byLead = 0;        // held first byte of a pair, or lead byte of UTF-8
    bool bLeadPending = false;      // a pair decoder holds byLead
    int nUtf8Length = 0;            // length of the UTF-8 sequence under way: 0, 2, 3 or 4
    int nUtf8Held = 0;              // bytes of that sequence held so far, lead included
    std::uint8_t byUtf8Second = 0;
    std::uint8_t byUtf8Third = 0;
};

} // namespace tapwire

// The program's one decoder state. Only the interface thread touches it: the
// port thread hands each byte over by a synchronous message.
extern tapwire::DecoderState g_decoderState;
