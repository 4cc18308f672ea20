// The menu bar's commands: start-up options, encoding and typing, with their
// check marks.
#include "TapwireDlg.h"

#include "DecoderState.h"
#include "KeyEvents.h"
#include "KeyboardKeys.h"
#include "SettingsFile.h"
#include "SettingsLoad.h"
#include "Typing.h"

#include <iterator>

BOOL CTapwireDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT nID = LOWORD(wParam);
    switch (nID) {
    case ID_HELP_ABOUT:
        ShowAboutBox();
        break;
    case ID_HELP_MANUAL:
        OpenManual();
        break;
    case ID_ENCODING_ASCII:
    case ID_ENCODING_UNICODE:
    case ID_ENCODING_UNICODE_BE:
    case ID_ENCODING_UTF8:
    case ID_ENCODING_GBK:
    case ID_ENCODING_SHIFT_JIS:
    case ID_ENCODING_THAI:
    case ID_ENCODING_LATIN1:
        ChooseEncoding(static_cast<int>(nID - ID_ENCODING_ASCII));
        break;
    case ID_ENCODING_ARABIC:
        ChooseEncoding(tapwire::ENC_ARABIC);
        break;
    case ID_STARTUP_BOOTRUN:
        m_bUserRequest = TRUE;
        ToggleAutostart();
        m_bUserRequest = FALSE;
        CheckStartUpEntry(kStartUpBootRun, m_bBootRun);
        UpdateNoneCheck();
        break;
    case ID_STARTUP_RUNMINI:
        CheckStartUpEntry(kStartUpRunMini, !m_bRunMini);
        ToggleRunMini();
        UpdateNoneCheck();
        break;
    case ID_STARTUP_RUNSTART:
        m_bRunStart = !m_bRunStart;
        CheckStartUpEntry(kStartUpRunStart, m_bRunStart);
        settings::WriteSetting(m_strConfigPath, settings::kStartSection, settings::kRunStartKey, m_bRunStart ? 1 : 0);
        UpdateNoneCheck();
        break;
    case ID_STARTUP_NONE:
        ChooseNoStartUpOption();
        break;
    case ID_TYPING_NO_PAUSE:
    case ID_TYPING_PAUSE_5:
    case ID_TYPING_PAUSE_20:
    case ID_TYPING_PAUSE_50:
        ChooseKeyDelay(tapwire::kKeyDelaysMs[nID - ID_TYPING_NO_PAUSE]);
        break;
    case ID_TYPING_UNICODE:
    case ID_TYPING_KEYS:
        ChooseKeyMode(static_cast<int>(nID - ID_TYPING_UNICODE));
        break;
    default:
        break;
    }
    // Everything, the commands above included, goes on to the message map.
    return CDialog::OnCommand(wParam, lParam);
}

void CTapwireDlg::ChooseEncoding(int nEncoding)
{
    // Choosing UTF-8 drops a UTF-8 character under way; nothing else touches
    // the decoder state.
    if (nEncoding == tapwire::ENC_UTF8)
        g_decoderState.nUtf8Length = 0;
    m_nEncoding = nEncoding;
    CheckEncodingEntry(m_nEncoding);
    settings::WriteSetting(m_strConfigPath, settings::kEncodingSection, settings::kEncodingKey, m_nEncoding);
}

void CTapwireDlg::ChooseNoStartUpOption()
{
    if (!RemoveAutostart())
        return;
    CheckStartUpEntry(kStartUpNone, TRUE);
    settings::WriteSetting(m_strConfigPath, settings::kStartSection, settings::kBootRunKey, 0);
    m_bBootRun = FALSE;
    CheckStartUpEntry(kStartUpBootRun, FALSE);
    settings::WriteSetting(m_strConfigPath, settings::kStartSection, settings::kRunMiniKey, 0);
    m_bRunMini = FALSE;
    CheckStartUpEntry(kStartUpRunMini, FALSE);
    settings::WriteSetting(m_strConfigPath, settings::kStartSection, settings::kRunStartKey, 0);
    m_bRunStart = FALSE;
    CheckStartUpEntry(kStartUpRunStart, FALSE);
}

void CTapwireDlg::UpdateNoneCheck()
{
    CheckStartUpEntry(kStartUpNone, !m_bBootRun && !m_bRunMini && !m_bRunStart);
}

void CTapwireDlg::ToggleRunMini()
{
    m_bRunMini = !m_bRunMini;
    settings::WriteSetting(m_strConfigPath, settings::kStartSection, settings::kRunMiniKey, m_bRunMini ? 1 : 0);
}

CMenu* CTapwireDlg::TypingMenu() const
{
    CMenu* pMenuBar = GetMenu();
    CMenu* pSettings = pMenuBar ? pMenuBar->GetSubMenu(0) : nullptr;
    return pSettings ? pSettings->GetSubMenu(2) : nullptr;
}

void CTapwireDlg::CheckTypingEntries()
{
    CMenu* pTyping = TypingMenu();
    if (!pTyping)
        return;
    for (UINT nPosition = 0; nPosition < std::size(tapwire::kKeyDelaysMs); ++nPosition) {
        const bool bChecked = tapwire::kKeyDelaysMs[nPosition] == m_nKeyDelayMs;
        pTyping->CheckMenuItem(nPosition, MF_BYPOSITION | (bChecked ? MF_CHECKED : MF_UNCHECKED));
    }
    for (UINT nMode = 0; nMode < 2; ++nMode) {
        const bool bChecked = static_cast<int>(nMode) == m_nKeyMode;
        pTyping->CheckMenuItem(kTypingModePosition + nMode, MF_BYPOSITION | (bChecked ? MF_CHECKED : MF_UNCHECKED));
    }
}

void CTapwireDlg::ChooseKeyDelay(int nDelayMs)
{
    // Takes effect after the next typed character: the port thread asks for
    // the pause with every byte.
    m_nKeyDelayMs = nDelayMs;
    CheckTypingEntries();
    settings::WriteSetting(m_strConfigPath, settings::kTypingSection, settings::kKeyDelayKey, m_nKeyDelayMs);
}

void CTapwireDlg::ChooseKeyMode(int nKeyMode)
{
    m_nKeyMode = nKeyMode;
    SetKeyMode(static_cast<tapwire::KeyMode>(m_nKeyMode));
    CheckTypingEntries();
    settings::WriteSetting(m_strConfigPath, settings::kTypingSection, settings::kKeyModeKey, m_nKeyMode);
}
