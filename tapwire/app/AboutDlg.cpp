#include "AboutDlg.h"

#include "TapwireDlg.h"

namespace {

// The same line in every language.
const wchar_t kVersionLine[] = L"Tapwire  V2.5.9 JP";

struct AboutTexts {
    const wchar_t* caption;
    const wchar_t* copyright;
    const wchar_t* company;   // its control is hidden, but the text is kept up to date
};

// By g_nLanguage; nullptr for a language without texts of its own, which
// leaves the template's texts in place.
const AboutTexts* AboutTextsFor(int nLanguage)
{
    static const AboutTexts kEnglish = {
        L"About Tapwire", L"Copyright (C) 2019-2026 Pelk", L"Pelk Co., Ltd." };
    static const AboutTexts kChinese = {
        L"关于 Tapwire", L"版权所有 (C) 2019-2026 Pelk", L"Pelk 有限公司" };
    // The Japanese edition names no holder.
    static const AboutTexts kJapanese = {
        L"About Tapwire", L"Copyright (C) 2019-2026", L"" };
    switch (nLanguage) {
    case 1: return &kEnglish;
    case 2: return &kChinese;
    case 3: return &kJapanese;
    default: return nullptr;
    }
}

} // namespace

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    const AboutTexts* pTexts = AboutTextsFor(g_nLanguage);
    if (!pTexts)
        return TRUE;
    SetWindowText(pTexts->caption);
    SetDlgItemText(IDC_ABOUT_COPYRIGHT, pTexts->copyright);
    SetDlgItemText(IDC_ABOUT_COMPANY, pTexts->company);
    SetDlgItemText(IDC_ABOUT_VERSION, kVersionLine);
    return TRUE;
}
