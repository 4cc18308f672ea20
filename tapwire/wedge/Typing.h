// The typing operations: key events into whichever window has the keyboard
// focus, through SendInput, one INPUT record per call, so that every key press
// is a key-down call followed by a key-up call. Each is true when the input
// took every event it sent (an event it did not take is tried again for about
// 50 ms first; see KeyInsertion.h).
#pragma once

#include "KeyEvents.h"
#include "KeyboardKeys.h"

#include <windows.h>

// One Unicode key press of the unit; with keyboard keys, the key of the
// layout that gives the character, where there is one.
bool TypeUnicodeUnit(WORD unit);
// One press of the virtual key (with keyboard keys, with its scan code).
bool TypeVirtualKey(WORD key);
// A byte under "ASCII": the key bytes as keys, every other byte as the
// Unicode character of the same number (its Latin 1 reading).
bool TypeRawByte(BYTE b);
// A byte as a character of the code page (CP_ACP, 874, 932, 936, 1252,
// 1256): the key bytes as keys, any other byte as the first unit of its text;
// nothing when the code page gives it no text.
bool TypeCodePageByte(BYTE b, UINT codePage);

// The operations as the receive dispatcher takes them.
inline constexpr tapwire::TypingOperations kTypingOperations = { &TypeUnicodeUnit, &TypeRawByte,
                                                                 &TypeCodePageByte };

// How characters are typed from now on; Unicode characters until set.
void SetKeyMode(tapwire::KeyMode mode);

// MultiByteToWideChar behind the decoders' and TypeCodePageByte's conversions.
bool ConvertCodePage(unsigned codePage, const std::uint8_t* bytes, int count, std::u16string& units);

// Tests record the INPUT records instead of injecting them, and count the
// waits between tries instead of sleeping (nullptr: the system's own).
using SendInputFn = UINT(WINAPI*)(UINT, LPINPUT, int);
using SleepFn = void(WINAPI*)(DWORD);
void SetSendInputForTesting(SendInputFn pfnSendInput, SleepFn pfnSleep = nullptr);
