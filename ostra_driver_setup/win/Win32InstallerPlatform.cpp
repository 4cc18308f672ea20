#include "Win32InstallerPlatform.h"

#include "SystemLibrary.h"

#include <windows.h>
#include <setupapi.h>

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);
using SetupCopyOEMInfAFn = decltype(&SetupCopyOEMInfA);

static_assert(sizeof(OSVERSIONINFOEXW) == 284, "RtlGetVersion expects the extended structure");

template <typename Fn>
Fn LookUp(HMODULE module, const char* name)
{
    if (!module)
        return nullptr;
    // GetProcAddress hands out a generic function pointer; going through
    // void(*)() keeps the compiler's function-type cast check quiet.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

RtlGetVersionFn RtlGetVersionAddress()
{
    // Looked up once per process; the initialisation of a local static is
    // thread-safe, and a missing export is remembered as null as well.
    static const RtlGetVersionFn s_rtlGetVersion =
        LookUp<RtlGetVersionFn>(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    return s_rtlGetVersion;
}

}  // namespace

std::optional<std::string> CWin32InstallerPlatform::ExecutablePath()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    // A full buffer means the path was cut short (and, on XP, left without
    // its terminator).
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return std::string(path, length);
}

bool CWin32InstallerPlatform::IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

bool CWin32InstallerPlatform::FolderExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<OsVersion> CWin32InstallerPlatform::QueryVersion()
{
    const RtlGetVersionFn rtlGetVersion = RtlGetVersionAddress();
    if (!rtlGetVersion)
        return std::nullopt;
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion(&info) != 0)
        return std::nullopt;
    return OsVersion{info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor};
}

std::uint16_t CWin32InstallerPlatform::ProcessorArchitecture()
{
    // A 32-bit process on 64-bit Windows sees its own emulated processor
    // through GetSystemInfo; GetNativeSystemInfo (XP and later) tells the truth.
    SYSTEM_INFO info = {};
    const auto getNativeSystemInfo =
        LookUp<GetNativeSystemInfoFn>(GetModuleHandleA("kernel32"), "GetNativeSystemInfo");
    if (getNativeSystemInfo)
        getNativeSystemInfo(&info);
    else
        GetSystemInfo(&info);
    return info.wProcessorArchitecture;
}

CopyResult CWin32InstallerPlatform::CopyNewFile(const std::string& source, const std::string& destination)
{
    if (CopyFileA(source.c_str(), destination.c_str(), /*bFailIfExists=*/TRUE))
        return {true, 0};
    return {false, GetLastError()};
}

PreinstallResult CWin32InstallerPlatform::CopyOemInf(const std::string& infPath)
{
    // setupapi is not imported but loaded here, from System32 only: an import
    // would be looked up in the program's folder first, before main runs.
    const HMODULE setupapi = LoadSystemLibrary(L"setupapi.dll");
    const auto setupCopyOemInf = LookUp<SetupCopyOEMInfAFn>(setupapi, "SetupCopyOEMInfA");
    if (!setupCopyOemInf) {
        const DWORD error = GetLastError();
        if (setupapi)
            FreeLibrary(setupapi);
        return {false, error != 0 ? error : static_cast<std::uint32_t>(ERROR_PROC_NOT_FOUND)};
    }
    char destination[MAX_PATH] = {};
    char* fileNamePart = nullptr;
    PreinstallResult result{true, 0};
    if (!setupCopyOemInf(infPath.c_str(), nullptr, SPOST_PATH, SP_COPY_NEWER_OR_SAME, destination, MAX_PATH,
                         nullptr, &fileNamePart)) {
        // After a failure the destination buffer and fileNamePart hold nothing
        // meaningful (some implementations leave garbage): only the code counts.
        result = {false, GetLastError()};
    }
    FreeLibrary(setupapi);
    return result;
}

CPatchFileIo& CWin32InstallerPlatform::ModemInfFiles()
{
    return m_modemInfFiles;
}
