// Between AppProbe (in the test) and the hook DLL app_probe.dll (loaded into
// the program under test by a WH_GETMESSAGE hook on its interface thread).
//
// The test posts the registered message kProbeMessageName to a window of the
// program: wParam = request kind | (sequence number << 8), lParam = the test's
// process id. When the program's thread takes that message from its queue,
// the hook writes the answer into the test's named block, sets the block's
// reply sequence and signals the test's named event. Because the program
// takes posted messages in order, an answer also means that everything
// posted before the request has been taken and dispatched.
#pragma once

#include <windows.h>

#include <string>

namespace wineharness {

constexpr wchar_t kProbeMessageName[] = L"TapwireHarnessProbe";

enum ProbeRequest : WPARAM {
    kProbeSync = 1,        // answer with nothing
    kProbeMenuBar = 2,     // the menu bar of the window (GetMenu)
    kProbeSystemMenu = 3,  // its system menu (GetSystemMenu without revert)
    kProbePopupMenu = 4,   // the pop-up menu the thread shows now (TrackPopupMenu)
    // From now on the program's SendInput inserts nothing (as when the window
    // in front runs as administrator): answered with "1" when its import
    // could be taken over, "0" otherwise.
    kProbeRefuseInput = 5,
    // SendInput inserts again; answered with the number of calls refused.
    kProbeAcceptInput = 6,
};
constexpr WPARAM kProbeRequestMask = 0xFF;
constexpr int kProbeSequenceShift = 8;

// Menus are answered as records separated by kProbeRecordEnd, each of the
// fields depth, id, state, type, has-submenu, text separated by
// kProbeFieldEnd (numbers in decimal).
constexpr wchar_t kProbeRecordEnd = L'\x1E';
constexpr wchar_t kProbeFieldEnd = L'\x1F';

constexpr DWORD kProbeBlockSize = 64 * 1024;
struct ProbeBlock {
    volatile LONG replySequence;
    DWORD textUnits;
    wchar_t text[(kProbeBlockSize - 2 * sizeof(DWORD)) / sizeof(wchar_t)];
};
static_assert(sizeof(ProbeBlock) <= kProbeBlockSize, "the answer block fits its mapping");

// The names end in the test's process id in decimal.
constexpr wchar_t kProbeBlockNamePrefix[] = L"TapwireHarnessProbeBlock.";
constexpr wchar_t kProbeEventNamePrefix[] = L"TapwireHarnessProbeDone.";

inline std::wstring ProbeBlockName(DWORD testProcessId)
{
    return kProbeBlockNamePrefix + std::to_wstring(testProcessId);
}

inline std::wstring ProbeEventName(DWORD testProcessId)
{
    return kProbeEventNamePrefix + std::to_wstring(testProcessId);
}

}  // namespace wineharness
