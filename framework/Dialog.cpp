#include "Dialog.h"

#include "DataExchange.h"
#include "WinApp.h"

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    HWND hControl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (hControl)
        rControl.SubclassWindow(hControl);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

CDialog::~CDialog()
{
    if (m_hWnd)
        DestroyWindow();
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bContinueModal = false;
    // The loop may be asleep in GetMessage (a sent message does not wake it).
    if (m_hWnd)
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return FALSE;
    if (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd))
        return FALSE;
    return ::IsDialogMessageW(m_hWnd, pMsg);
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    HRSRC hResource = ::FindResourceW(hInstance, MAKEINTRESOURCEW(m_nIDHelp),
                                      MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    HGLOBAL hTemplate = hResource ? ::LoadResource(hInstance, hResource) : nullptr;
    auto pTemplate = static_cast<LPCDLGTEMPLATEW>(hTemplate ? ::LockResource(hTemplate) : nullptr);
    if (!pTemplate)
        return -1;

    // Without a parent the dialog belongs to the application's main window (the
    // About box is owned by the main dialog), which is disabled while it runs.
    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hOwner) {
        CWnd* pMainWnd = AfxGetMainWnd();
        if (pMainWnd && pMainWnd != this)
            hOwner = pMainWnd->m_hWnd;
    }
    const bool bEnableOwner = hOwner && ::IsWindowEnabled(hOwner);
    if (bEnableOwner)
        ::EnableWindow(hOwner, FALSE);

    m_nModalResult = -1;
    m_bContinueModal = true;
    HWND hWnd = ::CreateDialogIndirectParamW(hInstance, pTemplate, hOwner, &AfxDlgProc,
                                             reinterpret_cast<LPARAM>(this));
    if (hWnd && m_bContinueModal)
        RunModalLoop();

    // Re-enable the owner before the dialog goes, so that it gets the activation.
    if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (bEnableOwner)
        ::EnableWindow(hOwner, TRUE);
    if (hOwner && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hOwner);
    if (m_hWnd)
        DestroyWindow();
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    // A template without WS_VISIBLE is shown when the loop first finds the queue
    // empty, so that what initialisation posted is handled first. A timer that
    // is already due does not hold the window back: its handler may want to
    // hide it (as a hide-to-tray timer does), which must come after the show.
    bool bShowOnIdle = !(GetStyle() & WS_VISIBLE);
    MSG msg;
    while (m_bContinueModal) {
        if (bShowOnIdle && (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) || msg.message == WM_TIMER)) {
            ShowWindow(SW_SHOWNORMAL);
            UpdateWindow();
            bShowOnIdle = false;
        }
        const BOOL bGot = ::GetMessageW(&msg, nullptr, 0, 0);
        if (bGot == 0) {
            // WM_QUIT ends this loop and is put back for whoever runs outside it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (bGot == -1)
            break;
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* pDialog = reinterpret_cast<CDialog*>(lParam);
    if (!pDialog || !pDialog->SubclassWindow(hWnd))
        return FALSE;
    return pDialog->OnInitDialog();
}
