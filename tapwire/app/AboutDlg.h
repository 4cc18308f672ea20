// CAboutDlg: the About box, dialog template 100, with the program's name and
// version and the maker's copyright line in the interface language.
#pragma once

#include "Afx.h"
#include "resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

    enum { IDD = IDD_ABOUTBOX };

protected:
    BOOL OnInitDialog() override;
};
