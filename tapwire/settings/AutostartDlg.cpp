// The autostart registration of the main window, on the real registry.
#include "TapwireDlg.h"

#include "Autostart.h"
#include "SettingsFile.h"
#include "Utf16.h"

namespace {

const wchar_t kRunKeyPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValueName[] = L"TapwirePath";

class CRegistryRunKey : public tapwire::RunKey {
public:
    ~CRegistryRunKey() override { Close(); }

    long Open(bool bCreate, std::uint32_t access) override
    {
        Close();
        if (bCreate)
            return ::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                     nullptr, &m_hKey, nullptr);
        return ::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, access, &m_hKey);
    }
    void Close() override
    {
        if (m_hKey)
            ::RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
    long QueryValue(std::u16string& value) override
    {
        // Zero-filled, so a value stored without its terminator still ends.
        wchar_t szValue[tapwire::kRunValueBufferUnits] = {};
        DWORD cbValue = sizeof(szValue);
        const long result = ::RegQueryValueExW(m_hKey, kRunValueName, nullptr, nullptr,
                                               reinterpret_cast<BYTE*>(szValue), &cbValue);
        if (result != ERROR_SUCCESS)
            return result;
        // A value that fills the buffer without a terminator would go on beyond it.
        if (wcsnlen(szValue, tapwire::kRunValueBufferUnits) == tapwire::kRunValueBufferUnits)
            return ERROR_MORE_DATA;
        value = ToU16(CString(szValue));
        return ERROR_SUCCESS;
    }
    long SetValue(const std::u16string& value) override
    {
        return ::RegSetValueExW(m_hKey, kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() * sizeof(char16_t)));
    }
    long DeleteValue() override { return ::RegDeleteValueW(m_hKey, kRunValueName); }

private:
    HKEY m_hKey = nullptr;
};

std::u16string ExecutablePath()
{
    wchar_t szPath[MAX_PATH] = {};
    const DWORD nLength = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    return ToU16(CString(szPath, static_cast<int>(nLength)));
}

void ShowAutostartMessage(tapwire::AutostartMessage message)
{
    switch (message) {
    case tapwire::AutostartMessage::kReadError:
        AfxMessageBox(L"CheckRegStartBootInfo:Read Reg error!", MB_OK);
        break;
    case tapwire::AutostartMessage::kAccessDeniedJapanese:
        AfxMessageBox(L"管理者権限でTapwireを実行した後、このオプションを設定してください", MB_OK);
        break;
    case tapwire::AutostartMessage::kAccessDeniedEnglish:
        AfxMessageBox(L"Please run the Tapwire with administrator privileges and then set the option!", MB_OK);
        break;
    case tapwire::AutostartMessage::kAccessDeniedChinese:
        AfxMessageBox(L"请使用管理员权限运行Tapwire之后，设定此选项", MB_OK);
        break;
    case tapwire::AutostartMessage::kNone:
        break;
    }
}

} // namespace

int CTapwireDlg::IsAutostartRegistered()
{
    CRegistryRunKey key;
    tapwire::AutostartMessage message;
    const int nResult = tapwire::IsAutostartRegistered(key, m_bIsWow64 != FALSE, ExecutablePath(), message);
    ShowAutostartMessage(message);
    return nResult;
}

void CTapwireDlg::ToggleAutostart()
{
    CRegistryRunKey key;
    tapwire::AutostartMessage message;
    bool bBootRun = m_bBootRun != FALSE;
    if (tapwire::ToggleAutostart(key, m_bIsWow64 != FALSE, m_bUserRequest != FALSE, ExecutablePath(), bBootRun,
                                 message)) {
        m_bBootRun = bBootRun;
        settings::WriteSetting(m_strConfigPath, settings::kStartSection, settings::kBootRunKey, m_bBootRun ? 1 : 0);
    }
    ShowAutostartMessage(message);
}

int CTapwireDlg::RemoveAutostart()
{
    CRegistryRunKey key;
    tapwire::AutostartMessage message;
    const int nResult = tapwire::RemoveAutostart(key, m_bIsWow64 != FALSE, g_nLanguage, message);
    ShowAutostartMessage(message);
    return nResult;
}
