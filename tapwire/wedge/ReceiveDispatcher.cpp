// The receive dispatcher: every byte the port thread hands over, decoded in the
// selected encoding and typed; and what the user is told when the input does
// not take a scan.
#include "TapwireDlg.h"

#include "DecoderState.h"
#include "KeyEvents.h"
#include "LanguageTexts.h"
#include "Messages.h"
#include "Typing.h"
#include "Utf16.h"

tapwire::DecoderState g_decoderState;

namespace {

// The rest of a scan whose typing failed is decoded, so that the decoder
// keeps in step with the bytes, but not typed.
constexpr tapwire::TypingOperations kNotTyping = {
    [](std::uint16_t) { return true; },
    [](std::uint8_t) { return true; },
    [](std::uint8_t, unsigned) { return true; },
};

constexpr DWORD kBalloonTimeoutMs = 10000;

} // namespace

LRESULT CTapwireDlg::OnPortRxChar(WPARAM wParam, LPARAM)
{
    // The port thread waits in its send until this returns, so m_byRx holds this
    // notification's byte. A failed read (count 0) leaves the previous byte
    // there, which must not be typed twice.
    if (wParam == 0)
        return 0;
    const bool bTyping = m_scanOutcome.ByteArrives(::GetTickCount64());
    const tapwire::Typed typed =
        tapwire::DispatchReceivedByte(g_decoderState, m_nEncoding, m_bPortOpen != FALSE, m_SerialPort.m_byRx,
                                      ConvertCodePage, bTyping ? kTypingOperations : kNotTyping);
    // The answer is how long the port thread waits before it hands over the
    // next byte: the pause after a typed character, none otherwise.
    LRESULT nHoldMs = 0;
    if (bTyping && typed == tapwire::Typed::kComplete) {
        m_scanOutcome.CharacterTyped();
        nHoldMs = m_nKeyDelayMs;
    } else if (typed == tapwire::Typed::kFailed && m_scanOutcome.TypingFailed()) {
        PostMessage(WM_TYPING_FAILED);
    }
    // Every byte pushes the end of such a scan back.
    if (m_scanOutcome.ScanEndMatters())
        SetTimer(kScanEndTimer, static_cast<UINT>(tapwire::ScanOutcome::kScanQuietMs));
    return nHoldMs;
}

LRESULT CTapwireDlg::OnTypingFailed(WPARAM, LPARAM)
{
    // A complete scan may have cleared it by now.
    if (!m_scanOutcome.IsWarning())
        return 0;
    ShowTypingWarning();
    if (!IsWindowVisible())
        ShowTypingBalloon();
    return 0;
}

void CTapwireDlg::OnScanEndTimer()
{
    KillTimer(kScanEndTimer);
    const ULONGLONG nNow = ::GetTickCount64();
    // The clock may say a little less than the timer waited.
    if (!m_scanOutcome.EndIfQuiet(nNow))
        SetTimer(kScanEndTimer, static_cast<UINT>(m_scanOutcome.QuietLeft(nNow)) + 1);
    ShowTypingWarning();
}

void CTapwireDlg::ShowTypingWarning()
{
    const BOOL bWarning = m_scanOutcome.IsWarning() ? TRUE : FALSE;
    if (bWarning == m_bTypingWarning)
        return;
    m_bTypingWarning = bWarning;
    ShowPortStateTexts();
    // The lamp turns amber, or back to what the port state says.
    InvalidateRect(nullptr, TRUE);
}

void CTapwireDlg::ShowTypingBalloon()
{
    const char16_t* pszNotice = tapwire::TypingFailedNoticeText(g_nLanguage);
    if (!pszNotice)
        return;
    NOTIFYICONDATAW nid = m_nid;
    // The balloon fields belong to the structure's second layout, whose size
    // depends on the program's width.
    nid.cbSize = NOTIFYICONDATAW_V2_SIZE;
    nid.uFlags = NIF_INFO;
    wcsncpy_s(nid.szInfo, AsWide(pszNotice), _TRUNCATE);
    wcscpy_s(nid.szInfoTitle, L"Tapwire");
    nid.uTimeout = kBalloonTimeoutMs;
    nid.dwInfoFlags = NIIF_WARNING;
    ::Shell_NotifyIconW(NIM_MODIFY, &nid);
}
