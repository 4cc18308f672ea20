// CDialog: a dialog from a template in the program's resources, run modally by a
// loop of the framework's own, so that PreTranslateMessage sees every message
// before IsDialogMessage does.
#pragma once

#include "Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    UINT m_nIDHelp;            // the template id
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    void RunModalLoop();

    INT_PTR m_nModalResult = -1;
    bool m_bContinueModal = false;
};

// The dialog procedure of every framework dialog. It only sees WM_INITDIALOG
// through: the window is then subclassed with AfxWndProc, and the rest of its
// messages go through the message maps.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
