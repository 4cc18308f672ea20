// What the black-box tests know about the world they run in: the paths of the
// programs under test and the serial port pairs of with-harness.sh, plus the
// small helpers every part of the harness shares.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace wineharness {

// Thrown when the harness cannot do what a test asked of it (a program that
// does not start, a port that does not open). GoogleTest reports the message
// as the test's failure.
class HarnessError : public std::runtime_error {
public:
    explicit HarnessError(const std::string& what) : std::runtime_error(what) {}
};

// Throws HarnessError with the text and the code of GetLastError.
[[noreturn]] void ThrowLastError(const std::string& what);

std::string Narrow(const std::wstring& text);   // UTF-8
std::wstring Widen(const std::string& text);    // from UTF-8

// Polls `done` every `pollMs` until it holds or `timeoutMs` has passed;
// returns its last answer. For waits on another process, where there is no
// event to wait for.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs = 10);

// A Linux path as the Windows programs of this prefix see it (/a/b -> Z:\a\b).
std::wstring WindowsPathFromUnix(const std::string& unixPath);

// Paths of the programs built with the tests.
std::wstring TapwireExePath();
std::wstring TargetWindowExePath();
std::wstring AppProbeDllPath();

// One serial port pair of the harness: the program under test opens
// COM<appPort>; bytes written to COM<scannerPort> arrive there.
struct ComPair {
    int appPort;
    int scannerPort;
};
// The pairs listed in TAPWIRE_COM_PAIRS ("7:27,8:28,12:32"). Throws when the
// variable is missing: the tests run inside with-harness.sh.
std::vector<ComPair> ComPairs();

// The COM port of with-harness.sh that opens but is no serial line (every
// port call on it fails). Throws when the variable is missing.
int BrokenPort();

// A file in the scratch folder of with-harness.sh, as a Windows path.
// Throws when the harness's variable is missing.
std::wstring HarnessFile(const std::string& name);

// Hangs up the pair whose app side is COM<appPort>, as when a scanner's
// cable is pulled: both ptys go away under whoever holds them, and the pair
// comes back with new ones (a new open reaches them). Returns once the new
// pair is there; throws HarnessError when it does not come back in time.
void HangUpPair(int appPort);

// How many open file descriptors point at the pty behind COM<appPort>, in
// every process but the pair's own socat (the harness reads them in /proc):
// whether the port is still held, by the program or by the wineserver on its
// behalf, whatever the handles say. Throws HarnessError.
int OpenDescriptorsOnPort(int appPort);

// Takes COM<appPort> out of the prefix (a new open fails, handles already
// open stay) and puts it back; return once it is done.
void UnlinkPort(int appPort);
void RelinkPort(int appPort);

// The X keyboard layout of the harness's display (setxkbmap: "de", "fr",
// ...) while the object lives; the US layout again afterwards. Wine's
// programs take the layout when they start: start Tapwire and the target
// after this. Throws HarnessError when the harness does not set it.
class ScopedKeyboardLayout {
public:
    explicit ScopedKeyboardLayout(const std::string& xkbLayout);
    ~ScopedKeyboardLayout();
    ScopedKeyboardLayout(const ScopedKeyboardLayout&) = delete;
    ScopedKeyboardLayout& operator=(const ScopedKeyboardLayout&) = delete;
};

// A fresh empty folder under the prefix's temporary folder; removed with
// everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return m_strPath; }
    std::wstring File(const std::wstring& name) const { return m_strPath + L"\\" + name; }

private:
    std::wstring m_strPath;
};

// Removes a folder and everything in it; no error when it does not exist.
void RemoveFolderTree(const std::wstring& path);
bool FileExists(const std::wstring& path);

}  // namespace wineharness
