// Registration to run at log-on: the value "TapwirePath" under the current
// user's Run key. The decisions (access rights, what counts as registered,
// what is written, which message shows) over a small registry interface; the
// dialog brings the real registry and the message box.
#pragma once

#include <cstdint>
#include <string>

namespace tapwire {

constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kKeyWrite = 0x20006;
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
constexpr long kErrorSuccess = 0;
constexpr long kErrorAccessDenied = 5;

// The value is read into a zero-filled buffer of this many units.
constexpr std::size_t kRunValueBufferUnits = 260;

// HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Run, value "TapwirePath".
class RunKey {
public:
    virtual ~RunKey() = default;
    // RegCreateKeyExW (create) or RegOpenKeyExW; a Win32 error code.
    virtual long Open(bool create, std::uint32_t access) = 0;
    virtual void Close() = 0;
    // RegQueryValueExW into the buffer; fails for a missing or too long value.
    virtual long QueryValue(std::u16string& value) = 0;
    // REG_SZ, stored without its terminator.
    virtual long SetValue(const std::u16string& value) = 0;
    virtual long DeleteValue() = 0;
};

enum class AutostartMessage {
    kNone,
    kReadError,              // "CheckRegStartBootInfo:Read Reg error!"
    kAccessDeniedJapanese,
    kAccessDeniedEnglish,
    kAccessDeniedChinese,
};

// The Run value for an executable path: quoted, so that a path with blanks
// cannot be taken for a shorter program path plus arguments.
std::u16string RunValueForPath(const std::u16string& exePath);

// 0 only when the value exists and names another program; 1 otherwise. The
// value counts as this program's in its quoted form and in the unquoted form
// earlier versions stored.
int IsAutostartRegistered(RunKey& key, bool wow64, const std::u16string& exePath, AutostartMessage& message);

// Registers (bootRun false) or unregisters (bootRun true) and flips bootRun,
// only when the key could be opened. true when it changed.
bool ToggleAutostart(RunKey& key, bool wow64, bool userRequest, const std::u16string& exePath, bool& bootRun,
                     AutostartMessage& message);

// Deletes the value; 1 when the key could be opened with all access, else 0.
int RemoveAutostart(RunKey& key, bool wow64, int language, AutostartMessage& message);

} // namespace tapwire
