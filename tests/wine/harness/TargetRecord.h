// The record file of TargetWindow.exe, shared by the program that writes it
// and the harness that reads it: one 8-byte event per message, in arrival
// order, little endian.
#pragma once

#include <cstdint>

namespace wineharness {

enum TargetEventKind : uint16_t {
    kTargetChar = 'C',     // WM_CHAR: value = one UTF-16 unit
    kTargetKeyDown = 'D',  // WM_KEYDOWN or WM_SYSKEYDOWN: value = virtual key
    kTargetKeyUp = 'U',    // WM_KEYUP or WM_SYSKEYUP: value = virtual key
};

struct TargetEvent {
    uint16_t kind;
    uint16_t value;
    // GetMessageTime of the message: for a key, when the input took the
    // event. Not compared.
    uint32_t timeMs;

    bool operator==(const TargetEvent& other) const
    {
        return kind == other.kind && value == other.value;
    }
};
static_assert(sizeof(TargetEvent) == 8, "the record format is 8 bytes per event");

constexpr wchar_t kTargetWindowClass[] = L"TapwireTestTarget";

}  // namespace wineharness
