#include "KeyboardKeys.h"

namespace tapwire {

namespace {

constexpr unsigned kShiftState = 1;
constexpr unsigned kCtrlState = 2;
constexpr unsigned kAltState = 4;

bool IsControlCharacter(char16_t unit)
{
    return unit < 0x20 || unit == 0x7F;
}

} // namespace

std::optional<KeyStroke> KeyboardKeyStroke(char16_t unit, const LayoutKey& key, ScanCodeOf scanCodeOf,
                                           const void* layout)
{
    if (key.keyScan == -1 || key.deadKey || IsControlCharacter(unit))
        return std::nullopt;
    const auto vk = static_cast<std::uint16_t>(static_cast<std::uint16_t>(key.keyScan) & 0xFF);
    unsigned shiftState = (static_cast<std::uint16_t>(key.keyScan) >> 8) & 0xFF;
    if (shiftState & ~(kShiftState | kCtrlState | kAltState))
        return std::nullopt;   // Hankaku and the layout's own shift keys
    if (key.capsLockTurnsCase)
        shiftState ^= kShiftState;
    const bool ctrl = (shiftState & kCtrlState) != 0;
    const bool alt = (shiftState & kAltState) != 0;
    if (ctrl != alt)
        return std::nullopt;

    std::array<std::uint16_t, 3> modifiers{};
    std::size_t modifierCount = 0;
    if (shiftState & kShiftState)
        modifiers[modifierCount++] = kVkShift;
    if (ctrl) {
        modifiers[modifierCount++] = kVkControl;
        modifiers[modifierCount++] = kVkMenu;
    }

    KeyStroke stroke;
    for (std::size_t i = 0; i < modifierCount; ++i)
        stroke.Add({ modifiers[i], scanCodeOf(modifiers[i], layout), 0 });
    const std::uint16_t scan = scanCodeOf(vk, layout);
    stroke.Add({ vk, scan, 0 });
    stroke.Add({ vk, scan, kKeyEventKeyUp });
    for (std::size_t i = modifierCount; i-- > 0;)
        stroke.Add({ modifiers[i], scanCodeOf(modifiers[i], layout), kKeyEventKeyUp });
    return stroke;
}

} // namespace tapwire
