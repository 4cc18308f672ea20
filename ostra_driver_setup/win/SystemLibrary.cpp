#include "SystemLibrary.h"

#include <string>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);

FARPROC Kernel32Export(const char* name)
{
    // kernel32 is loaded into every process before our code runs.
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}

template <typename Fn>
Fn As(FARPROC proc)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

// Whether the search is narrowed to System32 for the whole process.
bool s_searchRestricted = false;

}  // namespace

void RestrictDllSearchToSystem32()
{
    if (const auto setDefault = As<SetDefaultDllDirectoriesFn>(Kernel32Export("SetDefaultDllDirectories"))) {
        if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            s_searchRestricted = true;
            return;
        }
    }
    // XP SP1 and later: an empty string removes the current folder.
    if (const auto setDllDirectory = As<SetDllDirectoryWFn>(Kernel32Export("SetDllDirectoryW")))
        setDllDirectory(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    if (s_searchRestricted)
        return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);

    // Without the restriction: the full System32 path, and the altered search
    // order, in which the DLL's imports are looked up from its own folder
    // (System32) and never from the program's folder.
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
