// Stands in for the help viewer while the tests run: made the handler of
// .chm files, it appends the file that the shell asked it to open to a
// record, one UTF-8 line per start, and ends.
//   ManualViewerStandIn.exe <record file> <file to open>
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 3)
        return 2;
    const std::wstring opened = argv[2];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, opened.c_str(), static_cast<int>(opened.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, opened.c_str(), static_cast<int>(opened.size()), line.data(), bytes,
                        nullptr, nullptr);
    line += '\n';
    HANDLE record = CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, 0, nullptr);
    LocalFree(argv);
    if (record == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    const BOOL ok = WriteFile(record, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(record);
    return ok && written == line.size() ? 0 : 4;
}
