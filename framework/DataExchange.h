// CDataExchange and DDX_Control: binding dialog controls to member objects.
#pragma once

#include <windows.h>

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;   // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

// Subclasses control nIDC of the dialog with rControl, the first time only.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
