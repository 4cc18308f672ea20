#pragma once

#include <windows.h>

// The installer runs elevated from wherever it was unpacked, often a downloads
// folder that holds other files too. A DLL placed there under a system DLL's
// name must never be loaded into it: system DLLs come from System32 only.

// Narrows the process's DLL search to System32, for every later load, also
// those made by system DLLs on our behalf. Call it first thing in main, before
// any DLL beyond kernel32 and ntdll is loaded. Where the system lacks
// SetDefaultDllDirectories (XP, and Vista and 7 without KB2533623) it at least
// takes the current folder out of the search.
void RestrictDllSearchToSystem32();

// Loads a system DLL from System32, never from the program's folder or the
// current folder; its own imports are looked up from System32 as well.
// Null when it cannot be loaded (GetLastError tells why).
HMODULE LoadSystemLibrary(const wchar_t* name);
