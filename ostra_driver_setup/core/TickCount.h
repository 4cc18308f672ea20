#pragma once

#include <atomic>
#include <cstdint>

// Extends a 32-bit millisecond tick count, which wraps every 49.7 days, to
// 64 bits. last holds the latest value handed out, 0 before the first call;
// readings taken by several threads may arrive slightly out of order and
// never move the result backwards. Calls must come at least every 24 days,
// which any run of the installer satisfies.
inline std::uint64_t ExtendTickCount(std::atomic<std::uint64_t>& last, std::uint32_t now)
{
    std::uint64_t seen = last.load();
    for (;;) {
        std::uint64_t value = now;
        if (seen != 0) {
            const std::uint32_t elapsed = now - static_cast<std::uint32_t>(seen);
            if (elapsed >= 0x80000000u)
                return seen;  // read before the value last handed out
            value = seen + elapsed;
        }
        if (value == seen || last.compare_exchange_weak(seen, value))
            return value;
    }
}
