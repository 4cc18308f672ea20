#include "Typing.h"

namespace {

SendInputFn g_pfnSendInput = ::SendInput;

void SendKeyPress(const tapwire::KeyPress& press)
{
    for (const tapwire::KeyEvent& event : press) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = event.wVk;
        input.ki.wScan = event.wScan;
        input.ki.dwFlags = event.dwFlags;
        // Events the system does not insert are lost without notice; there is
        // no one to tell while typing into another program.
        g_pfnSendInput(1, &input, sizeof(INPUT));
    }
}

} // namespace

void SetSendInputForTesting(SendInputFn pfnSendInput)
{
    g_pfnSendInput = pfnSendInput ? pfnSendInput : ::SendInput;
}

void TypeUnicodeUnit(WORD unit)
{
    SendKeyPress(tapwire::UnicodeKeyPress(static_cast<char16_t>(unit)));
}

void TypeVirtualKey(WORD key)
{
    SendKeyPress(tapwire::VirtualKeyPress(key));
}

void TypeRawByte(BYTE b)
{
    if (tapwire::IsKeyByte(b))
        TypeVirtualKey(b);
    else
        TypeUnicodeUnit(b);
}

void TypeCodePageByte(BYTE b, UINT codePage)
{
    if (tapwire::IsKeyByte(b)) {
        TypeVirtualKey(b);
        return;
    }
    if (const std::optional<char16_t> unit = tapwire::CodePageByteUnit(b, codePage, ConvertCodePage))
        TypeUnicodeUnit(*unit);
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
