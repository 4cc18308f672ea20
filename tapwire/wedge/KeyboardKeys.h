// Typing a character as the keys of the keyboard layout: the key that gives
// it and the modifiers held for it, as a program that listens to key codes
// (a remote desktop, a virtual machine's console) needs it. What the layout
// says comes in from the caller: on Windows VkKeyScanExW, the dead-key flag of
// MapVirtualKeyExW and the scan codes of MapVirtualKeyExW.
#pragma once

#include "KeyEvents.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tapwire {

// How the typing operations type characters ("KeyMode" of Config.ini).
enum class KeyMode {
    kUnicodeCharacters = 0,   // the character travels in the key event
    kKeyboardKeys = 1,        // the layout's key with its modifiers, where the layout has one
};

constexpr std::uint16_t kVkShift = 0x10;     // VK_SHIFT
constexpr std::uint16_t kVkControl = 0x11;   // VK_CONTROL
constexpr std::uint16_t kVkMenu = 0x12;      // VK_MENU (Alt)

// The key events of one typed character, in the order they are sent.
struct KeyStroke {
    static constexpr std::size_t kMaxEvents = 8;   // three modifiers and the key, down and up
    std::array<KeyEvent, kMaxEvents> events{};
    std::size_t count = 0;

    void Add(const KeyEvent& event) { events[count++] = event; }
    const KeyEvent* begin() const { return events.data(); }
    const KeyEvent* end() const { return events.data() + count; }
    // The modifiers pressed first, and the character's own key-down after them.
    std::size_t ModifierCount() const { return count / 2 - 1; }
    const KeyEvent& KeyDown() const { return events[ModifierCount()]; }
};

// The layout's answer for a character: the key scan (low byte the virtual
// key, high byte the shift state: 1 Shift, 2 Ctrl, 4 Alt; -1 when no key
// gives it), whether that key is a dead key of the layout, and whether Caps
// Lock, switched on, turns the character's case (a letter with an upper and
// a lower case form): then Shift gives the other case, and is pressed
// exactly when the key scan does not ask for it.
struct LayoutKey {
    std::int16_t keyScan = -1;
    bool deadKey = false;
    bool capsLockTurnsCase = false;
};

// Scan code of a virtual key in the layout; 0 when it has none.
using ScanCodeOf = std::uint16_t (*)(std::uint16_t vk, const void* layout);

// The key presses that type the unit on the layout: modifiers down (Shift,
// Ctrl, Alt), the key down and up, modifiers up, last pressed first, every
// event with its virtual key and scan code. Nothing when the character is to
// go as a Unicode key event instead: no key gives it; a control character; a
// dead key, which would combine with the next character; or a shift state
// other than none, Shift, Ctrl+Alt (AltGr) and Shift+Ctrl+Alt, since Ctrl or
// Alt alone make a shortcut, not a character. The caller still makes sure
// that the layout's own translation of the stroke gives the character.
std::optional<KeyStroke> KeyboardKeyStroke(char16_t unit, const LayoutKey& key, ScanCodeOf scanCodeOf,
                                           const void* layout);

} // namespace tapwire
