// The typing operations: key events into whichever window has the keyboard
// focus, through SendInput, one INPUT record per call, so that every key press
// is a key-down call followed by a key-up call.
#pragma once

#include "KeyEvents.h"

#include <windows.h>

// One Unicode key press of the unit.
void TypeUnicodeUnit(WORD unit);
// One press of the virtual key.
void TypeVirtualKey(WORD key);
// A byte under "ASCII": the key bytes as keys, every other byte as the
// Unicode character of the same number (its Latin 1 reading).
void TypeRawByte(BYTE b);
// A byte as a character of the code page (CP_ACP, 874, 932, 936, 1252,
// 1256): the key bytes as keys, any other byte as the first unit of its text;
// nothing when the code page gives it no text.
void TypeCodePageByte(BYTE b, UINT codePage);

// The operations as the receive dispatcher takes them.
inline constexpr tapwire::TypingOperations kTypingOperations = { &TypeUnicodeUnit, &TypeRawByte,
                                                                 &TypeCodePageByte };

// MultiByteToWideChar behind the decoders' and TypeCodePageByte's conversions.
bool ConvertCodePage(unsigned codePage, const std::uint8_t* bytes, int count, std::u16string& units);

// Tests record the INPUT records instead of injecting them.
using SendInputFn = UINT(WINAPI*)(UINT, LPINPUT, int);
void SetSendInputForTesting(SendInputFn pfnSendInput);
