#include "HarnessEnv.h"

#include "IniFile.h"

#include <cstdlib>
#include <optional>
#include <sstream>

namespace wineharness {

void ThrowLastError(const std::string& what)
{
    const DWORD error = GetLastError();
    std::ostringstream text;
    text << what << " (error " << error << ")";
    throw HarnessError(text.str());
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size, nullptr, nullptr);
    return result;
}

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
    std::wstring result(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        Sleep(pollMs);
    }
}

std::wstring WindowsPathFromUnix(const std::string& unixPath)
{
    // Wine's own conversion knows the prefix's drive mapping; it exists only
    // under Wine, hence the lookup at run time.
    using DosName = LPWSTR(CDECL*)(LPCSTR);
    const auto convert = reinterpret_cast<DosName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
    if (convert) {
        if (LPWSTR name = convert(unixPath.c_str())) {
            std::wstring result(name);
            HeapFree(GetProcessHeap(), 0, name);
            return result;
        }
    }
    std::wstring result = L"Z:" + Widen(unixPath);
    for (auto& c : result)
        if (c == L'/')
            c = L'\\';
    return result;
}

#ifndef TAPWIRE_EXE
#define TAPWIRE_EXE ""
#endif

std::wstring TapwireExePath()
{
    // The tests of the shipped 32-bit build run the same harness against
    // that build's program.
    if (const char* underTest = std::getenv("TAPWIRE_EXE_UNDER_TEST"); underTest && *underTest)
        return WindowsPathFromUnix(underTest);
    if (!*TAPWIRE_EXE)
        throw HarnessError("this build has no Tapwire target");
    return WindowsPathFromUnix(TAPWIRE_EXE);
}

std::wstring TargetWindowExePath()
{
    return WindowsPathFromUnix(TARGET_WINDOW_EXE);
}

std::wstring AppProbeDllPath()
{
    return WindowsPathFromUnix(APP_PROBE_DLL);
}

std::vector<ComPair> ComPairs()
{
    const char* list = std::getenv("TAPWIRE_COM_PAIRS");
    if (!list || !*list)
        throw HarnessError("TAPWIRE_COM_PAIRS is not set: run the tests through with-harness.sh");
    std::vector<ComPair> pairs;
    std::istringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        ComPair pair{};
        char colon = 0;
        std::istringstream fields(item);
        if (!(fields >> pair.appPort >> colon >> pair.scannerPort) || colon != ':')
            throw HarnessError("bad entry in TAPWIRE_COM_PAIRS: " + item);
        pairs.push_back(pair);
    }
    return pairs;
}

int BrokenPort()
{
    const char* number = std::getenv("TAPWIRE_BROKEN_PORT");
    if (!number || !*number)
        throw HarnessError("TAPWIRE_BROKEN_PORT is not set: run the tests through with-harness.sh");
    return std::atoi(number);
}

std::wstring HarnessFile(const std::string& name)
{
    const char* dir = std::getenv("TAPWIRE_HARNESS_DIR");
    if (!dir || !*dir)
        throw HarnessError("TAPWIRE_HARNESS_DIR is not set: run the tests through with-harness.sh");
    return WindowsPathFromUnix(std::string(dir) + "/" + name);
}

namespace {

// Asks with-harness.sh for something by creating a file in its folder, and
// waits until it has been done (the file is gone).
void AskHarness(const std::string& request)
{
    const std::wstring path = HarnessFile(request);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        ThrowLastError("cannot ask the harness for " + request);
    CloseHandle(file);
    if (!WaitUntil([&] { return !FileExists(path); }, 5000, 20))
        throw HarnessError("the harness did not do " + request);
}

}  // namespace

void HangUpPair(int appPort)
{
    AskHarness("hangup-" + std::to_string(appPort));
    // The pair is back when its app side can be found again.
    const std::wstring link = HarnessFile("com" + std::to_string(appPort));
    Sleep(100);
    if (!WaitUntil([&] { return FileExists(link); }, 5000, 20))
        throw HarnessError("COM" + std::to_string(appPort) + " did not come back after its hang-up");
}

int OpenDescriptorsOnPort(int appPort)
{
    const std::wstring reply = HarnessFile("fds." + std::to_string(appPort));
    DeleteFileW(reply.c_str());
    AskHarness("fds-" + std::to_string(appPort));
    const std::optional<std::string> text = ReadFileBytes(reply);
    if (!text || text->empty() || text->find_first_not_of("0123456789\n") != std::string::npos)
        throw HarnessError("the harness did not count the descriptors on COM" + std::to_string(appPort));
    return std::stoi(*text);
}

void UnlinkPort(int appPort) { AskHarness("unlink-" + std::to_string(appPort)); }

void RelinkPort(int appPort) { AskHarness("link-" + std::to_string(appPort)); }

ScopedKeyboardLayout::ScopedKeyboardLayout(const std::string& xkbLayout)
{
    AskHarness("xkb-" + xkbLayout);
}

ScopedKeyboardLayout::~ScopedKeyboardLayout()
{
    try {
        AskHarness("xkb-us");
    } catch (const HarnessError&) {
        // A destructor cannot throw; a layout left behind shows in what the
        // next tests type.
    }
}

ScratchFolder::ScratchFolder()
{
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        ThrowLastError("GetTempPathW failed");
    static LONG s_nCounter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring path = temp;
        path += L"harness-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(InterlockedIncrement(&s_nCounter));
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            m_strPath = path;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            ThrowLastError("CreateDirectoryW failed for " + Narrow(path));
    }
    throw HarnessError("no free scratch folder name");
}

ScratchFolder::~ScratchFolder()
{
    RemoveFolderTree(m_strPath);
}

void RemoveFolderTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolderTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace wineharness
