// The About box: its texts by interface language, its hidden company line,
// and the OK button that ends it.
#include "AboutDlg.h"
#include "TapwireDlg.h"
#include "framework_test_support.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT_PTR kReadTimer = 1;
const wchar_t kUntouched[] = L"(untouched)";

// What the About box shows once it is up.
struct AboutView {
    CString caption;
    CString version;
    CString copyright;
    CString company;
    bool bVisible = false;
    bool bCopyrightVisible = false;
    bool bCompanyVisible = true;
    BOOL bInitResult = FALSE;   // what OnInitDialog returned
};

// Runs the real OnInitDialog; reads the window when the modal loop has gone
// idle (the first timer tick comes after the dialog is shown), then presses OK.
// With bMarkTexts every text is overwritten beforehand, so that the view tells
// which texts OnInitDialog wrote and which it left alone.
class CAboutProbe : public CAboutDlg {
public:
    explicit CAboutProbe(bool bMarkTexts) : m_bMarkTexts(bMarkTexts) {}

    AboutView view;
    bool bRead = false;

protected:
    BOOL OnInitDialog() override
    {
        if (m_bMarkTexts) {
            SetWindowText(kUntouched);
            for (int nID : { IDC_ABOUT_VERSION, IDC_ABOUT_COPYRIGHT, IDC_ABOUT_COMPANY })
                SetDlgItemText(nID, kUntouched);
        }
        view.bInitResult = CAboutDlg::OnInitDialog();
        SetTimer(kReadTimer, 10);
        return view.bInitResult;
    }
    void OnTimer(UINT_PTR nIDEvent)
    {
        if (nIDEvent != kReadTimer || bRead) {
            CAboutDlg::OnTimer(nIDEvent);
            return;
        }
        KillTimer(kReadTimer);
        bRead = true;
        GetWindowText(view.caption);
        GetDlgItemText(IDC_ABOUT_VERSION, view.version);
        GetDlgItemText(IDC_ABOUT_COPYRIGHT, view.copyright);
        GetDlgItemText(IDC_ABOUT_COMPANY, view.company);
        view.bVisible = IsWindowVisible();
        view.bCopyrightVisible = ::IsWindowVisible(::GetDlgItem(m_hWnd, IDC_ABOUT_COPYRIGHT));
        view.bCompanyVisible = ::IsWindowVisible(::GetDlgItem(m_hWnd, IDC_ABOUT_COMPANY));
        ::PostMessageW(::GetDlgItem(m_hWnd, IDOK), BM_CLICK, 0, 0);
    }
    DECLARE_MESSAGE_MAP()

private:
    bool m_bMarkTexts;
};

BEGIN_MESSAGE_MAP(CAboutProbe, CAboutDlg)
    ON_WM_TIMER()
END_MESSAGE_MAP()

// g_nLanguage for the length of one test.
class LanguageScope {
public:
    explicit LanguageScope(int nLanguage) : m_nSaved(g_nLanguage) { g_nLanguage = nLanguage; }
    ~LanguageScope() { g_nLanguage = m_nSaved; }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    int m_nSaved;
};

AboutView RunAboutBox(int nLanguage, bool bMarkTexts)
{
    LanguageScope language(nLanguage);
    CAboutProbe dlg(bMarkTexts);
    EXPECT_EQ(dlg.DoModal(), IDOK) << "language " << nLanguage;
    EXPECT_TRUE(dlg.bRead) << "language " << nLanguage;
    return dlg.view;
}

} // namespace

TEST(AboutBox, TextsFollowTheInterfaceLanguage)
{
    struct Case {
        int language;
        const wchar_t* caption;
        const wchar_t* version;
        const wchar_t* copyright;
        const wchar_t* company;
    };
    const Case cases[] = {
        { 0, kUntouched, kUntouched, kUntouched, kUntouched },
        { 1, L"About Tapwire", L"Tapwire  V2.5.9 JP", L"Copyright (C) 2019-2026 Pelk", L"Pelk Co., Ltd." },
        { 2, L"关于 Tapwire", L"Tapwire  V2.5.9 JP", L"版权所有 (C) 2019-2026 Pelk", L"Pelk 有限公司" },
        { 3, L"About Tapwire", L"Tapwire  V2.5.9 JP", L"Copyright (C) 2019-2026", L"" },
        { 4, kUntouched, kUntouched, kUntouched, kUntouched },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "language " << c.language);
        const AboutView view = RunAboutBox(c.language, /*bMarkTexts=*/true);
        EXPECT_EQ(view.caption, CString(c.caption));
        EXPECT_EQ(view.version, CString(c.version));
        EXPECT_EQ(view.copyright, CString(c.copyright));
        EXPECT_EQ(view.company, CString(c.company));
        EXPECT_EQ(view.bInitResult, TRUE);
        EXPECT_TRUE(view.bVisible);
        EXPECT_TRUE(view.bCopyrightVisible);
        EXPECT_FALSE(view.bCompanyVisible);
    }
}

TEST(AboutBox, UnsetLanguageShowsTheTemplateTexts)
{
    const AboutView view = RunAboutBox(0, /*bMarkTexts=*/false);
    EXPECT_EQ(view.caption, CString(L"About Tapwire"));
    EXPECT_EQ(view.version, CString(L"Tapwire  V2.5.9 JP"));
    EXPECT_EQ(view.copyright, CString(L"Copyright (C) 2019-2026 Pelk"));
    EXPECT_EQ(view.company, CString(L"Pelk Co., Ltd."));
    EXPECT_FALSE(view.bCompanyVisible);
}
