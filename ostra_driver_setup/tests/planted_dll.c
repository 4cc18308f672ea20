/* A DLL planted beside the installer under a system DLL's name, as an attacker
   would leave one in a downloads folder. When any process loads it, it leaves
   the marker file <its own path>.loaded. It exports SetupCopyOEMInfA, so that
   a program importing it would start (and fail its pre-install). */
#include <windows.h>

static void LeaveMarker(HMODULE self)
{
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    lstrcpyW(path + length, L".loaded");
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        LeaveMarker(instance);
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI SetupCopyOEMInfA(PCSTR source, PCSTR media, DWORD mediaType, DWORD style,
                                                   PSTR destination, DWORD size, PDWORD required, PSTR* part)
{
    (void)source; (void)media; (void)mediaType; (void)style;
    (void)destination; (void)size; (void)required; (void)part;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
