// Dispatch through message maps, subclassing and default processing, on real windows.
#include "Afx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT WM_TEST_PING = WM_USER + 7;
constexpr UINT WM_TEST_BASE_ONLY = WM_USER + 8;
constexpr UINT kButtonId = 1017;
constexpr UINT kComboId = 1019;

class CBaseWnd : public CWnd {
public:
    std::vector<std::string> calls;
protected:
    LRESULT OnBaseOnly(WPARAM wParam, LPARAM) { calls.push_back("base-only"); return wParam + 1; }
    LRESULT OnPing(WPARAM, LPARAM) { calls.push_back("base-ping"); return 0; }
    void OnButton() { calls.push_back("base-button"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
    ON_MESSAGE(WM_TEST_BASE_ONLY, OnBaseOnly)
    ON_MESSAGE(WM_TEST_PING, OnPing)
    ON_BN_CLICKED(kButtonId, OnButton)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
public:
    UINT_PTR lastTimer = 0;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        calls.push_back("OnCommand " + std::to_string(LOWORD(wParam)));
        return CBaseWnd::OnCommand(wParam, lParam);
    }
protected:
    LRESULT OnPing(WPARAM wParam, LPARAM lParam) { calls.push_back("derived-ping"); return wParam * 100 + lParam; }
    void OnSelChange() { calls.push_back("selchange"); }
    void OnCloseUp() { calls.push_back("closeup"); }
    void OnTimer(UINT_PTR nIDEvent) { lastTimer = nIDEvent; calls.push_back("timer"); CBaseWnd::OnTimer(nIDEvent); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
    ON_MESSAGE(WM_TEST_PING, OnPing)
    ON_CBN_SELCHANGE(kComboId, OnSelChange)
    ON_CBN_CLOSEUP(kComboId, OnCloseUp)
    ON_WM_TIMER()
END_MESSAGE_MAP()

// A framework window of a registered class, created the way the app creates its popups.
void CreateTestWindow(CWnd& wnd)
{
    LPCWSTR cls = AfxRegisterWndClass(0, ::LoadCursorW(nullptr, IDC_ARROW));
    ASSERT_NE(cls, nullptr);
    ASSERT_TRUE(wnd.CreateEx(0, cls, L"test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
}

} // namespace

TEST(MessageMap, DerivedEntriesWinAndBaseEntriesStillReached)
{
    CDerivedWnd wnd;
    CreateTestWindow(wnd);
    EXPECT_EQ(wnd.SendMessage(WM_TEST_PING, 3, 4), 304);
    EXPECT_EQ(wnd.SendMessage(WM_TEST_BASE_ONLY, 41), 42);
    EXPECT_EQ(wnd.calls, (std::vector<std::string>{ "derived-ping", "base-only" }));
}

TEST(MessageMap, CommandsMatchBothIdAndNotificationCode)
{
    CDerivedWnd wnd;
    CreateTestWindow(wnd);
    // Notifications come with the control's handle; any window stands in for it.
    const LPARAM hCtl = reinterpret_cast<LPARAM>(wnd.m_hWnd);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(kComboId, CBN_CLOSEUP), hCtl);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(kComboId, CBN_SELCHANGE), hCtl);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(kComboId, CBN_DROPDOWN), hCtl);      // no entry
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(kButtonId, BN_CLICKED), hCtl);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(kButtonId, BN_DOUBLECLICKED), hCtl); // no entry
    // A menu command (no control) with an id of a notification entry is not it.
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(kComboId, 0), 0);
    EXPECT_EQ(wnd.calls, (std::vector<std::string>{
                  "OnCommand 1019", "closeup", "OnCommand 1019", "selchange", "OnCommand 1019",
                  "OnCommand 1017", "base-button", "OnCommand 1017", "OnCommand 1019" }));
}

TEST(MessageMap, UnmappedMessagesGetTheDefaultProcessing)
{
    CDerivedWnd wnd;
    CreateTestWindow(wnd);
    wnd.SetWindowText(L"caption text");
    CString text;
    wnd.GetWindowText(text);
    EXPECT_EQ(text, L"caption text");

    // WM_TIMER goes to the handler, which passes it on to the default.
    wnd.SendMessage(WM_TIMER, 7, 0);
    EXPECT_EQ(wnd.lastTimer, 7u);
}

namespace {

// Mouse handlers with their MFC signature.
class CMouseWnd : public CWnd {
public:
    std::vector<std::string> calls;
protected:
    void OnMouseMove(UINT nFlags, CPoint point) { Record("move", nFlags, point); }
    void OnLButtonDown(UINT nFlags, CPoint point) { Record("down", nFlags, point); }
    DECLARE_MESSAGE_MAP()
private:
    void Record(const char* what, UINT nFlags, CPoint point)
    {
        calls.push_back(std::string(what) + " " + std::to_string(nFlags) + " " + std::to_string(point.x) + "," +
                        std::to_string(point.y));
    }
};

BEGIN_MESSAGE_MAP(CMouseWnd, CWnd)
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

} // namespace

TEST(MessageMap, MouseHandlersGetTheFlagsAndASignedClientPoint)
{
    CMouseWnd wnd;
    CreateTestWindow(wnd);
    wnd.SendMessage(WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(12, 34));
    // With the capture, a point left of and above the window is negative.
    wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-3, -40));
    EXPECT_EQ(wnd.calls, (std::vector<std::string>{ "move 4 12,34", "down 1 -3,-40" }));
}

namespace {

class CSubclassedEdit : public CWnd {
public:
    HWND hWndSeenInPreSubclass = nullptr;
    int setTextCalls = 0;
    void PreSubclassWindow() override { hWndSeenInPreSubclass = m_hWnd; }
protected:
    LRESULT OnSetText(WPARAM, LPARAM) { ++setTextCalls; return Default(); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSubclassedEdit, CWnd)
    ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

} // namespace

TEST(Subclassing, ObjectSeesTheControlsMessagesAndDefaultReachesTheOriginal)
{
    HWND hEdit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hEdit, nullptr);
    {
        CSubclassedEdit edit;
        ASSERT_TRUE(edit.SubclassWindow(hEdit));
        EXPECT_EQ(edit.hWndSeenInPreSubclass, hEdit);
        EXPECT_EQ(CWnd::FromHandlePermanent(hEdit), &edit);
        EXPECT_EQ(CWnd::FromHandle(hEdit), &edit);

        ::SetWindowTextW(hEdit, L"typed");
        EXPECT_EQ(edit.setTextCalls, 1);
        wchar_t buffer[16] = {};
        ::GetWindowTextW(hEdit, buffer, 16);
        EXPECT_STREQ(buffer, L"typed");   // the EDIT's own procedure stored it

        // A second object cannot take a window that already has one.
        CWnd other;
        EXPECT_FALSE(other.SubclassWindow(hEdit));

        edit.DestroyWindow();
        EXPECT_EQ(edit.m_hWnd, nullptr);
        EXPECT_EQ(CWnd::FromHandlePermanent(hEdit), nullptr);
    }
    EXPECT_FALSE(::IsWindow(hEdit));
}

TEST(Subclassing, FromHandleWrapsForeignWindowsOncePerHandle)
{
    HWND hStatic = ::CreateWindowExW(0, L"STATIC", L"x", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hStatic, nullptr);
    CWnd* pFirst = CWnd::FromHandle(hStatic);
    ASSERT_NE(pFirst, nullptr);
    EXPECT_EQ(pFirst->m_hWnd, hStatic);
    EXPECT_EQ(CWnd::FromHandle(hStatic), pFirst);
    EXPECT_EQ(CWnd::FromHandlePermanent(hStatic), nullptr);
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    ::DestroyWindow(hStatic);
}
