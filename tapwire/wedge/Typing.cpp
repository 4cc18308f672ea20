#include "Typing.h"

namespace {
SendInputFn g_pfnSendInput = ::SendInput;
}

void SetSendInputForTesting(SendInputFn pfnSendInput)
{
    g_pfnSendInput = pfnSendInput ? pfnSendInput : ::SendInput;
}

void TypeKeyEvents(const tapwire::KeyEvents& events)
{
    for (const tapwire::KeyEvent& event : events) {
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

void TypeUnicodeUnit(WORD unit)
{
    tapwire::KeyEvents events;
    tapwire::AddUnicodeUnit(events, static_cast<char16_t>(unit));
    TypeKeyEvents(events);
}

void TypeVirtualKey(WORD key)
{
    tapwire::KeyEvents events;
    tapwire::AddVirtualKey(events, key);
    TypeKeyEvents(events);
}

void TypeRawByte(BYTE b)
{
    tapwire::KeyEvents events;
    tapwire::AddRawByte(events, b);
    TypeKeyEvents(events);
}

void TypeCodePageByte(BYTE b, UINT codePage)
{
    tapwire::KeyEvents events;
    tapwire::AddCodePageByte(events, b, codePage, ConvertCodePage);
    TypeKeyEvents(events);
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
