// The interface language: the three text routines and the two hidden switches.
#include "TapwireDlg.h"

#include "LanguageTexts.h"
#include "SettingsFile.h"
#include "Utf16.h"

namespace {

constexpr UINT kStartUpIds[] = { ID_STARTUP_NONE, ID_STARTUP_BOOTRUN, ID_STARTUP_RUNMINI, ID_STARTUP_RUNSTART };
constexpr UINT kEncodingIds[] = {
    ID_ENCODING_ASCII, ID_ENCODING_UNICODE, ID_ENCODING_UNICODE_BE, ID_ENCODING_UTF8, ID_ENCODING_GBK,
    ID_ENCODING_SHIFT_JIS, ID_ENCODING_THAI, ID_ENCODING_LATIN1, ID_ENCODING_ARABIC,
};
constexpr UINT kTypingDelayIds[] = { ID_TYPING_NO_PAUSE, ID_TYPING_PAUSE_5, ID_TYPING_PAUSE_20, ID_TYPING_PAUSE_50 };
constexpr UINT kTypingModeIds[] = { ID_TYPING_UNICODE, ID_TYPING_KEYS };

// A new text for an entry that opens a submenu. Only the text changes: a
// ModifyMenu without MF_POPUP may drop the submenu on some systems.
void SetPopupText(CMenu* pMenu, UINT nPosition, const char16_t* text)
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<LPWSTR>(AsWide(text));
    ::SetMenuItemInfoW(pMenu->m_hMenu, nPosition, TRUE, &info);
}

// A new text for an entry, keeping its check mark.
void RenameKeepingCheck(CMenu* pMenu, UINT nPosition, UINT nID, const char16_t* text)
{
    const UINT nState = pMenu->GetMenuState(nPosition, MF_BYPOSITION);
    pMenu->ModifyMenu(nPosition, MF_BYPOSITION | MF_STRING, nID, AsWide(text));
    pMenu->CheckMenuItem(nPosition, (nState & MF_CHECKED) | MF_BYPOSITION);
}

} // namespace

void CTapwireDlg::ApplyTexts(int nLanguage)
{
    const tapwire::InterfaceTexts* texts = tapwire::TextsForLanguage(nLanguage);
    if (!texts)
        return;
    SetDlgItemText(IDC_GROUP_SERIAL, AsWide(texts->groupSerial));
    SetDlgItemText(IDC_LABEL_PORT, AsWide(texts->labelPort));
    SetDlgItemText(IDC_LABEL_BAUD_RATE, AsWide(texts->labelBaudRate));
    SetDlgItemText(IDC_LABEL_PARITY, AsWide(texts->labelParity));
    SetDlgItemText(IDC_LABEL_DATA_BITS, AsWide(texts->labelDataBits));
    SetDlgItemText(IDC_LABEL_STOP_BITS, AsWide(texts->labelStopBits));
    SetDlgItemText(IDC_START_STOP, AsWide(m_bPortOpen ? texts->buttonStarted : texts->buttonStopped));
    SetDlgItemText(IDC_STATUS_LINE, AsWide(!m_bPortOpen        ? texts->statusStopped
                                           : m_bTypingWarning ? texts->statusTypingFailed
                                                              : texts->statusStarted));

    CMenu* pMenuBar = GetMenu();
    CMenu* pSettings = pMenuBar ? pMenuBar->GetSubMenu(0) : nullptr;
    if (!pSettings)
        return;
    SetPopupText(pMenuBar, 0, texts->menuSettings);
    SetPopupText(pMenuBar, 1, texts->menuHelp);
    SetPopupText(pSettings, 0, texts->menuStartUp);
    SetPopupText(pSettings, 1, texts->menuEncoding);
    SetPopupText(pSettings, 2, texts->menuTyping);

    if (CMenu* pStartUp = StartUpMenu()) {
        for (UINT i = 0; i < 4; ++i)
            RenameKeepingCheck(pStartUp, i, kStartUpIds[i], texts->startUp[i]);
    }
    if (CMenu* pEncoding = EncodingMenu()) {
        for (UINT i = 0; i < kEncodingCount; ++i)
            RenameKeepingCheck(pEncoding, i, kEncodingIds[i], texts->encodings[i]);
    }
    if (CMenu* pTyping = TypingMenu()) {
        for (UINT i = 0; i < 4; ++i)
            RenameKeepingCheck(pTyping, i, kTypingDelayIds[i], texts->typingPauses[i]);
        for (UINT i = 0; i < 2; ++i)
            RenameKeepingCheck(pTyping, kTypingModePosition + i, kTypingModeIds[i], texts->typingModes[i]);
    }
    if (CMenu* pHelp = pMenuBar->GetSubMenu(1))
        RenameKeepingCheck(pHelp, 0, ID_HELP_ABOUT, texts->helpAbout);
    DrawMenuBar();
}

void CTapwireDlg::ApplyEnglishTexts()
{
    ApplyTexts(tapwire::kEnglish);
}

void CTapwireDlg::ApplyChineseTexts()
{
    ApplyTexts(tapwire::kChinese);
}

void CTapwireDlg::ApplyJapaneseTexts()
{
    ApplyTexts(tapwire::kJapanese);
}

void CTapwireDlg::OnLanguageEnglish()
{
    m_btnEnglish.SetCheck(BST_CHECKED);
    m_btnChinese.SetCheck(BST_UNCHECKED);
    g_nLanguage = tapwire::kEnglish;
    settings::WriteSetting(m_strConfigPath, settings::kLanguageSection, settings::kLanguageKey, 1);
    ApplyEnglishTexts();
}

void CTapwireDlg::OnLanguageChinese()
{
    m_btnEnglish.SetCheck(BST_UNCHECKED);
    m_btnChinese.SetCheck(BST_CHECKED);
    g_nLanguage = tapwire::kChinese;
    settings::WriteSetting(m_strConfigPath, settings::kLanguageSection, settings::kLanguageKey, 2);
    ApplyChineseTexts();
}
