// Start and stop: the port-open step and the port list's selection.
#include "TapwireDlg.h"

#include "DecoderState.h"
#include "LanguageTexts.h"
#include "Messages.h"
#include "NumberText.h"
#include "PortList.h"
#include "SettingsFile.h"
#include "Utf16.h"

namespace {

constexpr UINT kSettingControls[] = { IDC_PORT_LIST, IDC_BAUD_RATE, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS };
constexpr DWORD kPortEventMask = EV_RXCHAR | EV_RXFLAG;
constexpr UINT kTxBufferSize = 512;

} // namespace

void CTapwireDlg::ShowPortStateTexts()
{
    const bool bStarted = m_bPortOpen != FALSE;
    if (const char16_t* pszButton = tapwire::StartStopButtonText(g_nLanguage, bStarted))
        SetDlgItemText(IDC_START_STOP, AsWide(pszButton));
    const char16_t* pszStatus = bStarted && m_bTypingWarning ? tapwire::TypingFailedStatusText(g_nLanguage)
                                                             : tapwire::PortStatusText(g_nLanguage, bStarted);
    if (pszStatus)
        SetDlgItemText(IDC_STATUS_LINE, AsWide(pszStatus));
}

void CTapwireDlg::OnStartStop()
{
    if (PutOffWhileThePortWaits(WM_COMMAND, IDC_START_STOP, 0))
        return;
    if (!m_bPortOpen) {
        if (m_nPortCount == 0)
            return;
        if (OpenSelectedPort() == 1)
            return;
        m_bPortOpen = TRUE;
        m_scanOutcome.Reset();
        m_bTypingWarning = FALSE;
        ShowPortStateTexts();
        for (UINT nID : kSettingControls)
            GetDlgItem(static_cast<int>(nID))->EnableWindow(FALSE);
    } else {
        m_bPortOpen = FALSE;
        // Nothing is handed over during this pause: Sleep delivers no sent
        // messages, so the port thread waits in its send of the next byte and
        // what the scanner goes on sending stays in the port's queue. Those
        // bytes reach OnPortRxChar once this handler has returned, while the
        // thread finishes its drain, and are typed as single bytes, since the
        // port no longer counts as open.
        ::Sleep(100);
        m_SerialPort.SwitchPort(FALSE);
        // A character that was being decoded is dropped.
        g_decoderState.bLeadPending = false;
        g_decoderState.nUtf8Length = 0;
        // The warning belonged to the started port.
        KillTimer(kScanEndTimer);
        m_scanOutcome.Reset();
        m_bTypingWarning = FALSE;
        ShowPortStateTexts();
        for (UINT nID : kSettingControls)
            GetDlgItem(static_cast<int>(nID))->EnableWindow(TRUE);
    }
    // The status lamp follows the state at the next paint.
    InvalidateRect(nullptr, TRUE);
}

int CTapwireDlg::OpenSelectedPort()
{
    const UINT nBaud = static_cast<UINT>(tapwire::LeadingInteger(ToU16(m_strBaudRate)));
    const wchar_t chParity = m_strParity.IsEmpty() ? L'\0' : m_strParity[0];
    const UINT nDataBits = static_cast<UINT>(tapwire::LeadingInteger(ToU16(m_strDataBits)));
    const UINT nStopBits = static_cast<UINT>(tapwire::LeadingInteger(ToU16(m_strStopBits)));
    if (m_strPortName.IsEmpty())
        return 1;
    const UINT nPort = static_cast<UINT>(tapwire::PortNumberFromName(ToU16(m_strPortName)));

    if (m_SerialPort.OpenPort(this, nPort, nBaud, chParity, nDataBits, nStopBits, kPortEventMask, kTxBufferSize)) {
        m_SerialPort.StartPortThread();
        return 0;
    }
    // The one text of this message, in every interface language.
    AfxMessageBox(L"COMが見つからない、または開放できませんでした。", MB_OK);
    return 1;
}

void CTapwireDlg::OnPortListCloseUp()
{
    // The list reports its close-up before the selection change: a choice made
    // in the dropped list is committed here and applied by OnPortListSelChange.
    int nIndex = m_cbPort.GetCurSel();
    if (nIndex < 0)
        nIndex = 0;
    m_nPortIndex = nIndex;
    m_cbPort.SetCurSel(m_nPortIndex);
    settings::WriteSetting(m_strConfigPath, settings::kUartSection, settings::kComPortKey, m_nPortIndex);
}

void CTapwireDlg::OnPortListSelChange()
{
    // A change without a close-up (arrow keys, wheel) is undone.
    if (m_nPortIndex >= 0 && m_nPortIndex < kMaxPortNames)
        m_strPortName = g_strPortNames[m_nPortIndex];
    m_cbPort.SetCurSel(m_nPortIndex);
}

bool CTapwireDlg::PutOffWhileThePortWaits(UINT nMessage, WPARAM wParam, LPARAM lParam, const CString& strDevice)
{
    if (!m_SerialPort.IsWaitingForThread())
        return false;
    m_putOff.push_back({ nMessage, wParam, lParam, strDevice });
    // One timer for all of them: it looks again until the wait is over.
    SetTimer(kPutOffTimer, kPutOffRetryMs);
    return true;
}

void CTapwireDlg::HandlePutOffNotifications()
{
    // A timer tick can come in a modal loop that runs inside the wait.
    if (m_SerialPort.IsWaitingForThread())
        return;
    KillTimer(kPutOffTimer);
    // Each one may wait for the port again and put off what comes meanwhile:
    // that is handled after it, in the same loop.
    while (!m_putOff.empty() && !m_SerialPort.IsWaitingForThread()) {
        const PutOffNotification notification = m_putOff.front();
        m_putOff.pop_front();
        switch (notification.nMessage) {
        case WM_COMMAND:
            OnStartStop();
            break;
        case WM_DEVICECHANGE:
            OnScannerChange(notification.wParam, notification.strDevice);
            break;
        case WM_TRAYNOTIFY:
            OnTrayNotify(notification.wParam, notification.lParam);
            break;
        default:
            break;
        }
    }
}
