#include "Typing.h"

#include "KeyInsertion.h"

namespace {

// Interface thread only, like every caller of the typing operations.
tapwire::KeyMode g_keyMode = tapwire::KeyMode::kUnicodeCharacters;
// nullptr: the system's SendInput, called through the import table each time.
SendInputFn g_pfnSendInput = nullptr;
SleepFn g_pfnSleep = nullptr;

bool InsertOne(const tapwire::KeyEvent& event, void*)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = event.wVk;
    input.ki.wScan = event.wScan;
    input.ki.dwFlags = event.dwFlags;
    const UINT nInserted = g_pfnSendInput ? g_pfnSendInput(1, &input, sizeof(INPUT))
                                          : ::SendInput(1, &input, sizeof(INPUT));
    return nInserted == 1;
}

void WaitBeforeRetry(unsigned milliseconds, void*)
{
    if (g_pfnSleep)
        g_pfnSleep(milliseconds);
    else
        ::Sleep(milliseconds);
}

constexpr tapwire::KeyInserter kInserter = { &InsertOne, &WaitBeforeRetry, nullptr };

bool SendKeyEvents(const tapwire::KeyEvent* events, size_t count)
{
    return tapwire::InsertKeyEvents(events, count, kInserter);
}

bool SendKeyPress(const tapwire::KeyPress& press)
{
    return SendKeyEvents(press.data(), press.size());
}

// The layout of the thread that owns the window in front: the keys that the
// user's own typing there would press. Asked for every character, so that a
// change of layout while typing is followed.
HKL ForegroundLayout()
{
    const HWND hForeground = ::GetForegroundWindow();
    return ::GetKeyboardLayout(hForeground ? ::GetWindowThreadProcessId(hForeground, nullptr) : 0);
}

std::uint16_t ScanCodeIn(std::uint16_t vk, const void* layout)
{
    return static_cast<std::uint16_t>(
        ::MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, static_cast<HKL>(const_cast<void*>(layout))));
}

// Whether the layout's own translation of the key with the stroke's
// modifiers (and Caps Lock as it is) gives exactly the unit: only then does
// the window get the character from the keys. Where it does not (a layout
// whose key scan does not hold both ways; a system that gives Ctrl+Alt no
// character, as Wine does), the character goes as a Unicode key event.
bool LayoutTypesUnit(const tapwire::KeyStroke& stroke, WORD unit, HKL hLayout)
{
    BYTE abyState[256] = {};
    for (size_t i = 0; i < stroke.ModifierCount(); ++i)
        abyState[stroke.events[i].wVk] = 0x80;
    if (::GetKeyState(VK_CAPITAL) & 1)
        abyState[VK_CAPITAL] = 0x01;
    const tapwire::KeyEvent& key = stroke.KeyDown();
    WCHAR szText[4] = {};
    // Flag 4: the translation leaves the thread's dead-key state alone.
    const int nUnits = ::ToUnicodeEx(key.wVk, key.wScan, abyState, szText, 4, 0x4, hLayout);
    return nUnits == 1 && szText[0] == unit;
}

} // namespace

void SetSendInputForTesting(SendInputFn pfnSendInput, SleepFn pfnSleep)
{
    g_pfnSendInput = pfnSendInput;
    g_pfnSleep = pfnSleep;
}

void SetKeyMode(tapwire::KeyMode mode)
{
    g_keyMode = mode;
}

bool TypeUnicodeUnit(WORD unit)
{
    if (g_keyMode == tapwire::KeyMode::kKeyboardKeys) {
        const HKL hLayout = ForegroundLayout();
        tapwire::LayoutKey key;
        key.keyScan = ::VkKeyScanExW(static_cast<WCHAR>(unit), hLayout);
        // The top bit of a key's character marks a dead key of the layout.
        if (key.keyScan != -1)
            key.deadKey = (::MapVirtualKeyExW(LOBYTE(key.keyScan), MAPVK_VK_TO_CHAR, hLayout) & 0x80000000u) != 0;
        const WCHAR ch = static_cast<WCHAR>(unit);
        key.capsLockTurnsCase = (::GetKeyState(VK_CAPITAL) & 1) && ::IsCharAlphaW(ch) &&
                                (::IsCharUpperW(ch) || ::IsCharLowerW(ch));
        const std::optional<tapwire::KeyStroke> stroke =
            tapwire::KeyboardKeyStroke(static_cast<char16_t>(unit), key, &ScanCodeIn, hLayout);
        if (stroke && LayoutTypesUnit(*stroke, unit, hLayout))
            return SendKeyEvents(stroke->begin(), stroke->count);
    }
    return SendKeyPress(tapwire::UnicodeKeyPress(static_cast<char16_t>(unit)));
}

bool TypeVirtualKey(WORD key)
{
    const std::uint16_t scan = g_keyMode == tapwire::KeyMode::kKeyboardKeys ? ScanCodeIn(key, ForegroundLayout()) : 0;
    return SendKeyPress(tapwire::VirtualKeyPress(key, scan));
}

bool TypeRawByte(BYTE b)
{
    if (tapwire::IsKeyByte(b))
        return TypeVirtualKey(b);
    return TypeUnicodeUnit(b);
}

bool TypeCodePageByte(BYTE b, UINT codePage)
{
    if (tapwire::IsKeyByte(b))
        return TypeVirtualKey(b);
    if (const std::optional<char16_t> unit = tapwire::CodePageByteUnit(b, codePage, ConvertCodePage))
        return TypeUnicodeUnit(*unit);
    return true;
}

bool ConvertCodePage(unsigned codePage, const std::uint8_t* bytes, int count, std::u16string& units)
{
    const auto* pBytes = reinterpret_cast<const char*>(bytes);
    const int nUnits = ::MultiByteToWideChar(codePage, 0, pBytes, count, nullptr, 0);
    if (nUnits <= 0) {
        units.clear();
        return false;
    }
    units.assign(static_cast<size_t>(nUnits), u'\0');
    const int nDone = ::MultiByteToWideChar(codePage, 0, pBytes, count,
                                            reinterpret_cast<wchar_t*>(&units[0]), nUnits);
    units.resize(static_cast<size_t>(nDone > 0 ? nDone : 0));
    return nDone > 0;
}
