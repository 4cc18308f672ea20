#include "SettingsFile.h"

namespace settings {

void WriteSetting(const CString& strPath, const wchar_t* pszSection, const wchar_t* pszKey,
                  const wchar_t* pszValue)
{
    ::WritePrivateProfileStringW(pszSection, pszKey, pszValue, strPath);
}

void WriteSetting(const CString& strPath, const wchar_t* pszSection, const wchar_t* pszKey, int nValue)
{
    CString strValue;
    strValue.Format(L"%d", nValue);
    WriteSetting(strPath, pszSection, pszKey, strValue);
}

} // namespace settings
