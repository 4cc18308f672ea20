// The modal loop: PreTranslateMessage before IsDialogMessage, DDX_Control, the owner.
#include "Afx.h"
#include "test_resource.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT WM_TEST_FINISH = WM_APP + 1;
constexpr int kFinishedByTest = 77;

// Posts keys to the edit control, then a message that ends the dialog; records
// what its PreTranslateMessage saw.
class CKeyDialog : public CDialog {
public:
    CKeyDialog(std::vector<WPARAM> keys, bool swallowKeys, CWnd* pParent = nullptr)
        : CDialog(IDD_TEST_DIALOG, pParent), m_keys(std::move(keys)), m_bSwallow(swallowKeys) {}

    std::vector<WPARAM> seenKeyDowns;
    HWND hComboSeenInDialog = nullptr;
    CComboBox m_combo;
    BOOL bOwnerEnabledWhileRunning = TRUE;
    CWnd* pOwner = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_TEST_COMBO, m_combo);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        hComboSeenInDialog = m_combo.m_hWnd;
        HWND hEdit = ::GetDlgItem(m_hWnd, IDC_TEST_EDIT);
        for (WPARAM key : m_keys) {
            ::PostMessageW(hEdit, WM_KEYDOWN, key, 1);
            ::PostMessageW(hEdit, WM_KEYUP, key, 0xC0000001);
        }
        PostMessage(WM_TEST_FINISH);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == WM_KEYDOWN) {
            seenKeyDowns.push_back(pMsg->wParam);
            if (m_bSwallow)
                return TRUE;
        }
        return CDialog::PreTranslateMessage(pMsg);
    }
    LRESULT OnFinish(WPARAM, LPARAM)
    {
        if (pOwner)
            bOwnerEnabledWhileRunning = pOwner->IsWindowEnabled();
        EndDialog(kFinishedByTest);
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    std::vector<WPARAM> m_keys;
    bool m_bSwallow;
};

BEGIN_MESSAGE_MAP(CKeyDialog, CDialog)
    ON_MESSAGE(WM_TEST_FINISH, OnFinish)
END_MESSAGE_MAP()

} // namespace

TEST(ModalLoop, PreTranslateMessageCanSwallowKeysBeforeTheDialogManager)
{
    CKeyDialog dlg({ VK_RETURN, VK_ESCAPE }, /*swallowKeys=*/true);
    // Unswallowed, Enter would end the dialog with IDOK and Escape with IDCANCEL.
    EXPECT_EQ(dlg.DoModal(), kFinishedByTest);
    EXPECT_EQ(dlg.seenKeyDowns, (std::vector<WPARAM>{ VK_RETURN, VK_ESCAPE }));
}

TEST(ModalLoop, KeysNotSwallowedReachTheDialogManager)
{
    struct Case {
        WPARAM key;
        INT_PTR expected;
    };
    for (const Case& c : { Case{ VK_ESCAPE, IDCANCEL }, Case{ VK_RETURN, IDOK } }) {
        CKeyDialog dlg({ c.key }, /*swallowKeys=*/false);
        EXPECT_EQ(dlg.DoModal(), c.expected) << "key " << c.key;
        EXPECT_EQ(dlg.seenKeyDowns, (std::vector<WPARAM>{ c.key }));
    }
}

TEST(ModalLoop, DdxControlBindsTheControlForTheDialogsLifetime)
{
    CKeyDialog dlg({}, true);
    EXPECT_EQ(dlg.DoModal(), kFinishedByTest);
    EXPECT_NE(dlg.hComboSeenInDialog, nullptr);
    // The control went with the dialog; the member let it go.
    EXPECT_EQ(dlg.m_combo.m_hWnd, nullptr);
    EXPECT_FALSE(::IsWindow(dlg.hComboSeenInDialog));
}

TEST(ModalLoop, OwnerIsDisabledWhileTheDialogRunsAndEnabledAfter)
{
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, AfxRegisterWndClass(0), L"owner", WS_POPUP, 0, 0, 10, 10,
                               nullptr, nullptr));
    CKeyDialog dlg({}, true, &owner);
    dlg.pOwner = &owner;
    EXPECT_EQ(dlg.DoModal(), kFinishedByTest);
    EXPECT_FALSE(dlg.bOwnerEnabledWhileRunning);
    EXPECT_TRUE(owner.IsWindowEnabled());
    owner.DestroyWindow();
}

namespace {

// A timer already due when the loop starts: its handler must find the dialog
// shown, so that a handler hiding the window (hide to tray) has the last word.
class CTimerDialog : public CDialog {
public:
    CTimerDialog() : CDialog(IDD_TEST_DIALOG) {}
    BOOL bVisibleAtTimer = FALSE;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetTimer(1, 1);
        ::Sleep(50);   // a slow initialisation
        return TRUE;
    }
    void OnTimer(UINT_PTR nIDEvent)
    {
        KillTimer(nIDEvent);
        bVisibleAtTimer = IsWindowVisible();
        EndDialog(IDOK);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTimerDialog, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

} // namespace

TEST(ModalLoop, DialogIsShownBeforeATimerThatIsAlreadyDue)
{
    CTimerDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(dlg.bVisibleAtTimer);
}
