// The About box and the help manual.
#include "TapwireDlg.h"

#include "AboutDlg.h"
#include "TapwireApp.h"

void CTapwireDlg::ShowAboutBox()
{
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CTapwireDlg::OpenManual()
{
    CString strEnglish = L"Tapwire_Manual_EN_V2.2.chm";
    CString strChinese = L"Tapwire_Manual_CN_V2.2.chm";
    if (!g_strInstallDir.IsEmpty()) {
        strEnglish = g_strInstallDir + L"\\Tapwire_Manual_EN_V2.2.chm";
        strChinese = g_strInstallDir + L"\\Tapwire_Manual_CN_V2.2.chm";
    }
    // There is no Japanese manual: the Japanese interface opens the English one.
    const wchar_t* pszManual = nullptr;
    switch (g_nLanguage) {
    case 1:
    case 3:
        pszManual = strEnglish;
        break;
    case 2:
        pszManual = strChinese;
        break;
    default:
        return;
    }
    // What the shell does with a missing file or a missing viewer is its own business.
    ::ShellExecuteW(nullptr, L"open", pszManual, nullptr, nullptr, SW_SHOWNORMAL);
}
