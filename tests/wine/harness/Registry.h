// Registry helpers for tests that prepare what a program reads and check
// what it wrote. Every test leaves the prefix as it found it: remove what
// you add (ScopedRegistryKey does it for a whole key).
#pragma once

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace wineharness {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    bool operator==(const RegistryValue& other) const
    {
        return type == other.type && data == other.data;
    }
};
// "type 1, 6 bytes: 41 00 42 00 00 00", for test failure messages.
std::string Describe(const RegistryValue& value);
// Lets GoogleTest print values in failures.
inline void PrintTo(const RegistryValue& value, std::ostream* out)
{
    *out << Describe(value);
}

// Any type and any bytes, exactly as given: a REG_SZ without its
// terminator, an oversized value, a DWORD where text is expected. Creates
// the key when needed. `view` may add KEY_WOW64_64KEY or KEY_WOW64_32KEY.
void SetRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                      const RegistryValue& value, REGSAM view = 0);
// REG_SZ with its terminator.
void SetRegistryString(HKEY root, const std::wstring& subKey, const std::wstring& name,
                       const std::wstring& text, REGSAM view = 0);
void SetRegistryDword(HKEY root, const std::wstring& subKey, const std::wstring& name,
                      DWORD value, REGSAM view = 0);
// REG_MULTI_SZ: each string with its terminator, then one more.
void SetRegistryMultiString(HKEY root, const std::wstring& subKey, const std::wstring& name,
                            const std::vector<std::wstring>& strings, REGSAM view = 0);

// Nothing when the key or the value does not exist.
std::optional<RegistryValue> GetRegistryValue(HKEY root, const std::wstring& subKey,
                                              const std::wstring& name, REGSAM view = 0);
// The text of a string value up to its first terminator.
std::optional<std::wstring> GetRegistryString(HKEY root, const std::wstring& subKey,
                                              const std::wstring& name, REGSAM view = 0);

// Creates the key (and its parents) when it does not exist yet.
void CreateRegistryKey(HKEY root, const std::wstring& subKey, REGSAM view = 0);

// No error when the value or key is already gone.
void DeleteRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                         REGSAM view = 0);
void DeleteRegistryTree(HKEY root, const std::wstring& subKey, REGSAM view = 0);

bool RegistryKeyExists(HKEY root, const std::wstring& subKey, REGSAM view = 0);
struct RegistryKeyCounts {
    DWORD values;
    DWORD subKeys;
};
std::optional<RegistryKeyCounts> CountRegistryKey(HKEY root, const std::wstring& subKey,
                                                  REGSAM view = 0);

// Deletes a key with everything below it when constructed and again when
// destroyed: the test starts without the key and leaves none behind.
class ScopedRegistryKey {
public:
    ScopedRegistryKey(HKEY root, std::wstring subKey, REGSAM view = 0);
    ~ScopedRegistryKey();
    ScopedRegistryKey(const ScopedRegistryKey&) = delete;
    ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

private:
    HKEY m_hRoot;
    std::wstring m_strSubKey;
    REGSAM m_view;
};

}  // namespace wineharness
