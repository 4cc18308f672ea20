// The settings load and the line-setting handlers of the main window.
#include "TapwireDlg.h"

#include "LanguageTexts.h"
#include "SettingsFile.h"
#include "SettingsLoad.h"
#include "Typing.h"
#include "Utf16.h"

namespace {

// A key as the program reads it: default "ERROR", a buffer of 10 units.
std::u16string ReadSetting(const CString& strPath, const char16_t* section, const char16_t* key)
{
    wchar_t szValue[tapwire::kSettingBufferUnits] = {};
    ::GetPrivateProfileStringW(AsWide(section), AsWide(key), L"ERROR", szValue, tapwire::kSettingBufferUnits, strPath);
    return ToU16(CString(szValue));
}

// Selects a list position as the file gives it; a position that is not in the
// list leaves the list without a selection. CB_SETCURSEL itself clears the
// selection only for -1 under Wine, and keeps the old one for any other
// position out of range.
void SelectListPosition(CComboBox& list, int nPosition)
{
    list.SetCurSel(nPosition >= 0 && nPosition < list.GetCount() ? nPosition : -1);
}

} // namespace

CMenu* CTapwireDlg::StartUpMenu() const
{
    CMenu* pMenuBar = GetMenu();
    CMenu* pSettings = pMenuBar ? pMenuBar->GetSubMenu(0) : nullptr;
    return pSettings ? pSettings->GetSubMenu(0) : nullptr;
}

CMenu* CTapwireDlg::EncodingMenu() const
{
    CMenu* pMenuBar = GetMenu();
    CMenu* pSettings = pMenuBar ? pMenuBar->GetSubMenu(0) : nullptr;
    return pSettings ? pSettings->GetSubMenu(1) : nullptr;
}

void CTapwireDlg::CheckStartUpEntry(UINT nPosition, BOOL bChecked)
{
    if (CMenu* pStartUp = StartUpMenu())
        pStartUp->CheckMenuItem(nPosition, MF_BYPOSITION | (bChecked ? MF_CHECKED : MF_UNCHECKED));
}

void CTapwireDlg::CheckEncodingEntry(int nEncoding)
{
    CMenu* pEncoding = EncodingMenu();
    if (!pEncoding)
        return;
    for (UINT nPosition = 0; nPosition < kEncodingCount; ++nPosition)
        pEncoding->CheckMenuItem(nPosition, MF_BYPOSITION | MF_UNCHECKED);
    // An index outside the menu (from a hand-edited file) checks nothing.
    if (nEncoding >= 0 && nEncoding < static_cast<int>(kEncodingCount))
        pEncoding->CheckMenuItem(static_cast<UINT>(nEncoding), MF_BYPOSITION | MF_CHECKED);
}

void CTapwireDlg::LoadSettings()
{
    // The interface always starts in Japanese.
    m_btnEnglish.SetCheck(BST_UNCHECKED);
    m_btnChinese.SetCheck(BST_UNCHECKED);
    g_nLanguage = tapwire::kJapanese;
    ApplyJapaneseTexts();

    const tapwire::SettingsOutcome outcome = tapwire::DecideSettings(
        [this](const char16_t* section, const char16_t* key) { return ReadSetting(m_strConfigPath, section, key); },
        [this] { return IsAutostartRegistered() != 0; }, m_nPortCount, m_cbPort.GetCurSel());
    for (const tapwire::SettingWrite& write : outcome.writes)
        settings::WriteSetting(m_strConfigPath, AsWide(write.section), AsWide(write.key), ToCString(write.value));

    m_bBootRun = outcome.bootRun;
    CheckStartUpEntry(kStartUpBootRun, m_bBootRun);
    m_bRunMini = outcome.runMini;
    CheckStartUpEntry(kStartUpRunMini, m_bRunMini);
    if (m_bRunMini)
        SetTimer(kHideToTrayTimer, kHideToTrayDelayMs);

    m_nEncoding = outcome.encoding;
    CheckEncodingEntry(m_nEncoding);

    SelectListPosition(m_cbPort, outcome.portPosition);
    m_strPortName = g_strPortNames[outcome.portPosition];
    SelectListPosition(m_cbBaudRate, outcome.baudPosition);
    m_strBaudRate = AsWide(outcome.baudRate);
    SelectListPosition(m_cbParity, outcome.parityPosition);
    m_strParity = AsWide(outcome.parity);
    SelectListPosition(m_cbDataBits, outcome.dataBitsPosition);
    m_strDataBits = AsWide(outcome.dataBits);
    SelectListPosition(m_cbStopBits, outcome.stopBitsPosition);
    m_strStopBits = AsWide(outcome.stopBits);

    m_nKeyDelayMs = outcome.keyDelayMs;
    m_nKeyMode = outcome.keyMode;
    SetKeyMode(static_cast<tapwire::KeyMode>(m_nKeyMode));
    CheckTypingEntries();

    m_bRunStart = outcome.runStart;
    CheckStartUpEntry(kStartUpRunStart, m_bRunStart);
    if (m_bRunStart) {
        if (m_bPortOpen)
            OnStartStop();   // stop, to start again with the loaded settings
        OnStartStop();
    }
    UpdateNoneCheck();
}

void CTapwireDlg::OnBaudRateChange()
{
    const int nPosition = m_cbBaudRate.GetCurSel();
    m_strBaudRate = AsWide(tapwire::BaudRateForPosition(nPosition));
    settings::WriteSetting(m_strConfigPath, settings::kUartSection, settings::kBaudRateKey, nPosition);
}

void CTapwireDlg::OnParityChange()
{
    const int nPosition = m_cbParity.GetCurSel();
    m_strParity = AsWide(tapwire::ParityForPosition(nPosition));
    settings::WriteSetting(m_strConfigPath, settings::kUartSection, settings::kParityBitKey, nPosition);
}

void CTapwireDlg::OnDataBitsChange()
{
    const int nPosition = m_cbDataBits.GetCurSel();
    m_strDataBits = AsWide(tapwire::DataBitsForPosition(nPosition));
    settings::WriteSetting(m_strConfigPath, settings::kUartSection, settings::kDataBitKey, nPosition);
}

void CTapwireDlg::OnStopBitsChange()
{
    const int nPosition = m_cbStopBits.GetCurSel();
    m_strStopBits = AsWide(tapwire::StopBitsForPosition(nPosition));
    settings::WriteSetting(m_strConfigPath, settings::kUartSection, settings::kStopBitKey, nPosition);
}
