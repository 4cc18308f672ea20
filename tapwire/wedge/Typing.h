// The typing operations: key events into whichever window has the keyboard
// focus, through SendInput, one INPUT record per call, so that every key press
// is a key-down call followed by a key-up call.
#pragma once

#include "KeyEvents.h"

#include <windows.h>

void TypeUnicodeUnit(WORD unit);
void TypeVirtualKey(WORD key);
void TypeRawByte(BYTE b);
void TypeCodePageByte(BYTE b, UINT codePage);
void TypeKeyEvents(const tapwire::KeyEvents& events);

// MultiByteToWideChar behind the decoders' code page conversions.
bool ConvertCodePage(unsigned codePage, const std::uint8_t* bytes, int count, std::u16string& units);

// Tests record the INPUT records instead of injecting them.
using SendInputFn = UINT(WINAPI*)(UINT, LPINPUT, int);
void SetSendInputForTesting(SendInputFn pfnSendInput);
