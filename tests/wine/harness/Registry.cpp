#include "Registry.h"

#include "HarnessEnv.h"

#include <winternl.h>

#include <cstdio>

namespace wineharness {

std::string Describe(const RegistryValue& value)
{
    std::string text = "type " + std::to_string(value.type) + ", " +
                       std::to_string(value.data.size()) + " bytes:";
    for (BYTE b : value.data) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), " %02X", b);
        text += hex;
    }
    return text;
}

namespace {

class KeyHolder {
public:
    KeyHolder() = default;
    ~KeyHolder()
    {
        if (m_hKey)
            RegCloseKey(m_hKey);
    }
    KeyHolder(const KeyHolder&) = delete;
    KeyHolder& operator=(const KeyHolder&) = delete;
    HKEY* Out() { return &m_hKey; }
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

[[noreturn]] void ThrowRegistryError(const std::string& what, LONG status, const std::wstring& subKey)
{
    throw HarnessError(what + " " + Narrow(subKey) + " failed (error " + std::to_string(status) + ")");
}

}  // namespace

void SetRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                      const RegistryValue& value, REGSAM view)
{
    KeyHolder key;
    LONG status = RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view,
                                  nullptr, key.Out(), nullptr);
    if (status != ERROR_SUCCESS)
        ThrowRegistryError("RegCreateKeyExW", status, subKey);
    // Wine's RegSetValueExW adds a terminator to a string value that lacks
    // one; the native call stores the bytes as they are, as Windows does.
    using SetValueKey = LONG(NTAPI*)(HANDLE, UNICODE_STRING*, ULONG, ULONG, const void*, ULONG);
    static const auto s_setValueKey = reinterpret_cast<SetValueKey>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll"), "NtSetValueKey")));
    if (!s_setValueKey)
        throw HarnessError("ntdll has no NtSetValueKey");
    UNICODE_STRING valueName;
    valueName.Buffer = const_cast<PWSTR>(name.c_str());
    valueName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    valueName.MaximumLength = valueName.Length;
    status = s_setValueKey(key.Get(), &valueName, 0, value.type,
                           value.data.empty() ? nullptr : value.data.data(),
                           static_cast<ULONG>(value.data.size()));
    if (status != 0)
        ThrowRegistryError("NtSetValueKey", status, subKey + L"\\" + name);
}

void CreateRegistryKey(HKEY root, const std::wstring& subKey, REGSAM view)
{
    KeyHolder key;
    const LONG status = RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_READ | view,
                                        nullptr, key.Out(), nullptr);
    if (status != ERROR_SUCCESS)
        ThrowRegistryError("RegCreateKeyExW", status, subKey);
}

void SetRegistryString(HKEY root, const std::wstring& subKey, const std::wstring& name,
                       const std::wstring& text, REGSAM view)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    SetRegistryValue(root, subKey, name,
                     {REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))},
                     view);
}

void SetRegistryDword(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD value,
                      REGSAM view)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    SetRegistryValue(root, subKey, name, {REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof(value))},
                     view);
}

void SetRegistryMultiString(HKEY root, const std::wstring& subKey, const std::wstring& name,
                            const std::vector<std::wstring>& strings, REGSAM view)
{
    std::wstring joined;
    for (const std::wstring& s : strings) {
        joined += s;
        joined += L'\0';
    }
    joined += L'\0';
    const auto* bytes = reinterpret_cast<const BYTE*>(joined.data());
    SetRegistryValue(root, subKey, name,
                     {REG_MULTI_SZ, std::vector<BYTE>(bytes, bytes + joined.size() * sizeof(wchar_t))},
                     view);
}

std::optional<RegistryValue> GetRegistryValue(HKEY root, const std::wstring& subKey,
                                              const std::wstring& name, REGSAM view)
{
    KeyHolder key;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE | view, key.Out()) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryValue value;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type,
                              value.data.empty() ? nullptr : value.data.data(), &size);
    if (status != ERROR_SUCCESS)
        ThrowRegistryError("RegQueryValueExW", status, subKey + L"\\" + name);
    value.data.resize(size);
    return value;
}

std::optional<std::wstring> GetRegistryString(HKEY root, const std::wstring& subKey,
                                              const std::wstring& name, REGSAM view)
{
    const std::optional<RegistryValue> value = GetRegistryValue(root, subKey, name, view);
    if (!value)
        return std::nullopt;
    std::wstring text(reinterpret_cast<const wchar_t*>(value->data.data()),
                      value->data.size() / sizeof(wchar_t));
    const size_t end = text.find(L'\0');
    if (end != std::wstring::npos)
        text.resize(end);
    return text;
}

void DeleteRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                         REGSAM view)
{
    KeyHolder key;
    LONG status = RegOpenKeyExW(root, subKey.c_str(), 0, KEY_SET_VALUE | view, key.Out());
    if (status == ERROR_FILE_NOT_FOUND)
        return;
    if (status != ERROR_SUCCESS)
        ThrowRegistryError("RegOpenKeyExW", status, subKey);
    status = RegDeleteValueW(key.Get(), name.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        ThrowRegistryError("RegDeleteValueW", status, subKey + L"\\" + name);
}

void DeleteRegistryTree(HKEY root, const std::wstring& subKey, REGSAM view)
{
    // RegDeleteTreeW empties the key; the key itself goes with RegDeleteKeyExW.
    KeyHolder key;
    LONG status = RegOpenKeyExW(root, subKey.c_str(), 0, KEY_ALL_ACCESS | view, key.Out());
    if (status == ERROR_FILE_NOT_FOUND)
        return;
    if (status != ERROR_SUCCESS)
        ThrowRegistryError("RegOpenKeyExW", status, subKey);
    status = RegDeleteTreeW(key.Get(), nullptr);
    if (status != ERROR_SUCCESS)
        ThrowRegistryError("RegDeleteTreeW", status, subKey);
    status = RegDeleteKeyExW(root, subKey.c_str(), view, 0);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        ThrowRegistryError("RegDeleteKeyExW", status, subKey);
}

bool RegistryKeyExists(HKEY root, const std::wstring& subKey, REGSAM view)
{
    KeyHolder key;
    return RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, key.Out()) == ERROR_SUCCESS;
}

std::optional<RegistryKeyCounts> CountRegistryKey(HKEY root, const std::wstring& subKey, REGSAM view)
{
    KeyHolder key;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, key.Out()) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryKeyCounts counts{};
    const LONG status = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &counts.subKeys,
                                         nullptr, nullptr, &counts.values, nullptr, nullptr,
                                         nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        ThrowRegistryError("RegQueryInfoKeyW", status, subKey);
    return counts;
}

ScopedRegistryKey::ScopedRegistryKey(HKEY root, std::wstring subKey, REGSAM view)
    : m_hRoot(root), m_strSubKey(std::move(subKey)), m_view(view)
{
    DeleteRegistryTree(m_hRoot, m_strSubKey, m_view);
}

ScopedRegistryKey::~ScopedRegistryKey()
{
    try {
        DeleteRegistryTree(m_hRoot, m_strSubKey, m_view);
    } catch (const HarnessError&) {
        // A destructor cannot report; the next test's constructor retries.
    }
}

}  // namespace wineharness
