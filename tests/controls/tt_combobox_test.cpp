// The hint combo box on real windows under Wine, hosted in a small dialog of
// the tests' own: the hints of the closed control, of the edit of a drop-down
// combo and of the list entries with their geometry, the mouse at rest, the
// 9000 ms timer, the hint window shared by all controls, the notifications
// the dialog gets, and a control that could not make its hint.
#include "TTComboBox.h"

#include "HarnessEnv.h"
#include "Screenshot.h"
#include "controls_test_resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace {

const wchar_t kLongName[] = L"USB Serial Device of the Front Desk Scanner (COM17)";
const wchar_t kOtherLongName[] = L"Prolific USB-to-Serial Comm Port, Back Office (COM4)";
const wchar_t kShortName[] = L"COM3";

// left, top, width, height: gtest prints it when a comparison fails.
using Box = std::array<LONG, 4>;

Box BoxOf(const RECT& rc)
{
    return { rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top };
}

// What the class shares between its controls, for the tests to look at.
struct SharedHint : CTTComboBox {
    static HWND Window() { return s_wndHint.m_hWnd; }
    static bool Visible() { return Window() && ::IsWindowVisible(Window()); }
    static CString Text()
    {
        CString strText;
        if (Window())
            s_wndHint.GetWindowText(strText);
        return strText;
    }
    static Box Placement()
    {
        RECT rc = {};
        ::GetWindowRect(Window(), &rc);
        return BoxOf(rc);
    }
    // As in a fresh process, where the first control makes the font.
    static void ForgetFont() { s_fontHint.DeleteObject(); }
};

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done())
            return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 20)),
                                    QS_ALLINPUT);
    }
}

void Pump(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

// The mouse, as the user moves it: the system makes the WM_MOUSEMOVE and,
// after the hover time, the WM_MOUSEHOVER.
void MoveMouseTo(POINT ptScreen)
{
    ::SetCursorPos(ptScreen.x, ptScreen.y);
}

// Away from every window of the tests.
void ParkMouse()
{
    MoveMouseTo({ 1200, 850 });
    Pump(50);
}

void ClickLeft()
{
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(::SendInput(2, inputs, sizeof(INPUT)), 2u);
}

POINT ClientToScreenPoint(HWND hWnd, POINT pt)
{
    ::ClientToScreen(hWnd, &pt);
    return pt;
}

POINT CentreOnScreen(HWND hWnd)
{
    RECT rc = {};
    ::GetClientRect(hWnd, &rc);
    return ClientToScreenPoint(hWnd, { rc.right / 2, rc.bottom / 2 });
}

// Width and line height of `text` in the status-bar font, measured apart
// from the control.
SIZE StatusFontExtent(const wchar_t* text)
{
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    EXPECT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0));
    HFONT hFont = ::CreateFontIndirectW(&ncm.lfStatusFont);
    HDC hDC = ::CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hDC, hFont);
    SIZE size = {};
    ::GetTextExtentPoint32W(hDC, text, static_cast<int>(wcslen(text)), &size);
    ::SelectObject(hDC, hOld);
    ::DeleteDC(hDC);
    ::DeleteObject(hFont);
    return size;
}

COMBOBOXINFO ComboInfo(HWND hCombo)
{
    COMBOBOXINFO cbi = {};
    cbi.cbSize = sizeof(cbi);
    EXPECT_TRUE(::GetComboBoxInfo(hCombo, &cbi));
    return cbi;
}

// The tests' dialog, modeless, with its three combo boxes bound the way the
// program binds its port list (DDX_Control at initialisation).
class CHostDialog : public CDialog {
public:
    CHostDialog() : CDialog(IDD_HINT_HOST) {}

    CTTComboBox m_cbList;    // kLongName, kShortName, kOtherLongName; the first selected
    CTTComboBox m_cbOther;   // kOtherLongName, selected
    CTTComboBox m_cbEdit;    // a drop-down combo whose edit holds kLongName
    std::vector<UINT> notifications;   // of m_cbList, in order

    // Runs on the dialog's windows before the controls are bound.
    std::function<void(CHostDialog&)> beforeBinding;

    void Open(POINT ptScreen)
    {
        HWND hWnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_HINT_HOST), nullptr,
                                         &AfxDlgProc, reinterpret_cast<LPARAM>(this));
        ASSERT_NE(hWnd, nullptr);
        ::SetWindowPos(hWnd, nullptr, ptScreen.x, ptScreen.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
        Pump(100);
    }

protected:
    BOOL OnInitDialog() override
    {
        if (beforeBinding)
            beforeBinding(*this);
        CDialog::OnInitDialog();
        for (const wchar_t* name : { kLongName, kShortName, kOtherLongName })
            m_cbList.AddString(name);
        m_cbList.SetCurSel(0);
        m_cbOther.AddString(kOtherLongName);
        m_cbOther.SetCurSel(0);
        m_cbEdit.SetWindowText(kLongName);
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_HINT_LIST, m_cbList);
        DDX_Control(pDX, IDC_HINT_OTHER, m_cbOther);
        DDX_Control(pDX, IDC_HINT_EDIT_COMBO, m_cbEdit);
    }
    void OnDropDown() { notifications.push_back(CBN_DROPDOWN); }
    void OnSelChange() { notifications.push_back(CBN_SELCHANGE); }
    void OnCloseUp() { notifications.push_back(CBN_CLOSEUP); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHostDialog, CDialog)
    ON_CBN_DROPDOWN(IDC_HINT_LIST, OnDropDown)
    ON_CBN_SELCHANGE(IDC_HINT_LIST, OnSelChange)
    ON_CBN_CLOSEUP(IDC_HINT_LIST, OnCloseUp)
END_MESSAGE_MAP()

// Where the hint of the closed control belongs: as wide as the text plus the
// margins, as high as the client area, right below it.
Box BelowControl(HWND hCombo, const wchar_t* text)
{
    RECT rcClient = {};
    ::GetClientRect(hCombo, &rcClient);
    const POINT ptOrigin = ClientToScreenPoint(hCombo, { 0, 0 });
    return { ptOrigin.x, ptOrigin.y + rcClient.bottom, StatusFontExtent(text).cx + 4, rcClient.bottom };
}

void HoverOver(HWND hWnd)
{
    ::SendMessageW(hWnd, WM_MOUSEHOVER, 0, MAKELPARAM(4, 4));
}

void FireHintTimer()
{
    ::SendMessageW(SharedHint::Window(), WM_TIMER, 1, 0);
}

// Puts the real steps back when a test has swapped them.
struct HintFactoryRestorer {
    CTTComboBox::HintFactory saved = CTTComboBox::s_hintFactory;
    ~HintFactoryRestorer() { CTTComboBox::s_hintFactory = saved; }
};

} // namespace

TEST(TTComboBox, HoverOverTheClosedControlShowsWhatDoesNotFitRightBelowIt)
{
    ParkMouse();
    CHostDialog dlg;
    dlg.Open({ 100, 100 });
    HWND hCombo = dlg.m_cbList;
    RECT rcClient = {};
    ::GetClientRect(hCombo, &rcClient);
    ASSERT_GT(StatusFontExtent(kLongName).cx, rcClient.right);
    ASSERT_NE(SharedHint::Window(), nullptr) << "the hint window and its font could not be made";

    // In order: each case starts from what the one before left.
    struct Case {
        int selection;
        const wchar_t* text;
        bool hint;
    };
    for (const Case& c : { Case{ 0, kLongName, true }, Case{ 1, kShortName, false },
                           Case{ 2, kOtherLongName, true }, Case{ -1, L"", false } }) {
        SCOPED_TRACE(testing::Message() << "selection " << c.selection);
        dlg.m_cbList.SetCurSel(c.selection);
        HoverOver(hCombo);
        ASSERT_EQ(SharedHint::Visible(), c.hint);
        if (c.hint) {
            EXPECT_EQ(SharedHint::Text(), c.text);
            EXPECT_EQ(SharedHint::Placement(), BelowControl(hCombo, c.text));
            EXPECT_EQ(::GetCapture(), hCombo);
        } else {
            EXPECT_EQ(::GetCapture(), nullptr) << "hiding the hint gives the capture back";
        }
    }
}

TEST(TTComboBox, HoverOverTheEditOfADropDownComboShowsTheHintOverIt)
{
    ParkMouse();
    CHostDialog dlg;
    dlg.Open({ 100, 100 });
    HWND hEdit = ComboInfo(dlg.m_cbEdit).hwndItem;
    ASSERT_NE(hEdit, nullptr);

    HoverOver(hEdit);
    ASSERT_TRUE(SharedHint::Visible());
    RECT rcEdit = {};
    ::GetClientRect(hEdit, &rcEdit);
    const POINT ptOrigin = ClientToScreenPoint(hEdit, { 0, 0 });
    EXPECT_EQ(SharedHint::Placement(),
              (Box{ ptOrigin.x - 2, ptOrigin.y - 2, StatusFontExtent(kLongName).cx + 4, rcEdit.bottom + 4 }));
    EXPECT_EQ(::GetCapture(), hEdit);

    ::SendMessageW(hEdit, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(SharedHint::Visible());
    EXPECT_EQ(::GetCapture(), nullptr);
}

// Windows names a drop-down list combo box as its own item window; this Wine
// names none. On such a control the item procedure sees the control's
// messages first: the closed control's WM_MOUSELEAVE also ends the decision
// of the last list entry, and the control's own handlers still run after it.
TEST(TTComboBox, ADropDownListThatIsItsOwnItemWindowForgetsTheLastEntryWhenTheMouseLeaves)
{
    ParkMouse();
    static WNDPROC s_pfnComboProc = nullptr;
    struct AsOnWindows {
        static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
        {
            const LRESULT lResult = ::CallWindowProcW(s_pfnComboProc, hWnd, message, wParam, lParam);
            if (message == CB_GETCOMBOBOXINFO && lResult) {
                auto* pcbi = reinterpret_cast<COMBOBOXINFO*>(lParam);
                if (!pcbi->hwndItem)
                    pcbi->hwndItem = hWnd;
            }
            return lResult;
        }
    };
    CHostDialog dlg;
    dlg.beforeBinding = [](CHostDialog& host) {
        HWND hCombo = ::GetDlgItem(host.m_hWnd, IDC_HINT_LIST);
        s_pfnComboProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hCombo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AsOnWindows::Proc)));
    };
    dlg.Open({ 100, 100 });
    HWND hCombo = dlg.m_cbList;
    ASSERT_EQ(ComboInfo(hCombo).hwndItem, hCombo);

    // The control's own hover handler decides last: its hint sits below it.
    HoverOver(hCombo);
    ASSERT_TRUE(SharedHint::Visible());
    EXPECT_EQ(SharedHint::Placement(), BelowControl(hCombo, kLongName));
    ::SendMessageW(hCombo, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(SharedHint::Visible());

    // An entry of the dropped list is decided ...
    dlg.m_cbList.SendMessage(CB_SHOWDROPDOWN, TRUE);
    HWND hList = ComboInfo(hCombo).hwndList;
    RECT rcEntry = {};
    ::SendMessageW(hList, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rcEntry));
    const LPARAM lEntry = MAKELPARAM((rcEntry.left + rcEntry.right) / 2, (rcEntry.top + rcEntry.bottom) / 2);
    ::SendMessageW(hList, WM_MOUSEMOVE, 0, lEntry);
    ASSERT_TRUE(SharedHint::Visible());
    EXPECT_EQ(SharedHint::Text(), kLongName);
    // ... the list closes and the mouse leaves the closed control ...
    dlg.m_cbList.SendMessage(CB_SHOWDROPDOWN, FALSE);
    ::SendMessageW(hCombo, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(SharedHint::Visible());
    // ... so the same entry is decided again in the list dropped next.
    dlg.m_cbList.SendMessage(CB_SHOWDROPDOWN, TRUE);
    ::SendMessageW(hList, WM_MOUSEMOVE, 0, lEntry);
    EXPECT_TRUE(SharedHint::Visible());
    dlg.m_cbList.SendMessage(CB_SHOWDROPDOWN, FALSE);
}

TEST(TTComboBox, ListEntriesGetTheirHintAsTheMouseMovesOntoThem)
{
    ParkMouse();
    CHostDialog dlg;
    dlg.Open({ 100, 100 });
    dlg.m_cbList.SendMessage(CB_SHOWDROPDOWN, TRUE);
    Pump(100);
    HWND hList = ComboInfo(dlg.m_cbList).hwndList;
    ASSERT_TRUE(::IsWindowVisible(hList));

    auto entryRect = [&](int nItem) {
        RECT rc = {};
        ::SendMessageW(hList, LB_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(&rc));
        return rc;
    };
    auto moveOnto = [&](int nItem) {
        const RECT rc = entryRect(nItem);
        ::SendMessageW(hList, WM_MOUSEMOVE, 0, MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
    };
    // Right below the entry's text line, as wide as the text plus the margins.
    auto belowEntry = [&](int nItem, const wchar_t* text) {
        const RECT rc = entryRect(nItem);
        const POINT pt = ClientToScreenPoint(hList, { rc.left, rc.top });
        const SIZE size = StatusFontExtent(text);
        return Box{ pt.x - 2, pt.y + size.cy + 2, size.cx + 4, size.cy + 4 };
    };

    moveOnto(0);
    ASSERT_TRUE(SharedHint::Visible());
    EXPECT_EQ(SharedHint::Text(), kLongName);
    EXPECT_EQ(SharedHint::Placement(), belowEntry(0, kLongName));

    moveOnto(2);
    ASSERT_TRUE(SharedHint::Visible());
    EXPECT_EQ(SharedHint::Text(), kOtherLongName);
    EXPECT_EQ(SharedHint::Placement(), belowEntry(2, kOtherLongName));

    moveOnto(1);
    EXPECT_FALSE(SharedHint::Visible()) << "a name that fits has no hint";

    // An entry is decided once: after its hint went, moving within it again
    // brings nothing back ...
    moveOnto(0);
    ASSERT_TRUE(SharedHint::Visible());
    FireHintTimer();
    ASSERT_FALSE(SharedHint::Visible());
    moveOnto(0);
    EXPECT_FALSE(SharedHint::Visible());
    // ... until the mouse has left the list.
    ::SendMessageW(hList, WM_MOUSEMOVE, 0, MAKELPARAM(-5, -5));
    moveOnto(0);
    EXPECT_TRUE(SharedHint::Visible());

    Pump(100);
    EXPECT_TRUE(dlg.m_cbList.GetDroppedState()) << "giving back the capture must not close the list";
}

TEST(TTComboBox, TheHintGoesAfterNineSeconds)
{
    ParkMouse();
    CHostDialog dlg;
    dlg.Open({ 100, 100 });
    HoverOver(dlg.m_cbList);
    ASSERT_TRUE(SharedHint::Visible());
    Pump(7000);
    EXPECT_TRUE(SharedHint::Visible());
    EXPECT_TRUE(PumpUntil([] { return !SharedHint::Visible(); }, 4000));
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST(TTComboBox, TheRestingMouseShowsAPaintedHintOnceUntilItLeaves)
{
    ParkMouse();
    {
        // A control that goes while the mouse rests on it: its tracking
        // request ends without a WM_MOUSELEAVE.
        CHostDialog first;
        first.Open({ 100, 100 });
        MoveMouseTo(CentreOnScreen(first.m_cbList));
        ASSERT_TRUE(PumpUntil(SharedHint::Visible, 5000));
    }
    ParkMouse();

    CHostDialog dlg;
    dlg.Open({ 300, 300 });
    HWND hCombo = dlg.m_cbList;
    const POINT ptCentre = CentreOnScreen(hCombo);
    MoveMouseTo(ptCentre);
    ASSERT_TRUE(PumpUntil(SharedHint::Visible, 5000));
    const Box hint = SharedHint::Placement();
    EXPECT_EQ(hint, BelowControl(hCombo, kLongName));

    // What people see: the dialog with the hint below its first control.
    Pump(200);
    RECT rcDialog = {};
    dlg.GetWindowRect(&rcDialog);
    const RECT rcShot = { rcDialog.left - 10, rcDialog.top - 10,
                          std::max(rcDialog.right, hint[0] + hint[2]) + 10, std::max(rcDialog.bottom, hint[1] + hint[3]) + 10 };
    const wineharness::ScreenImage shot(rcShot);
    EXPECT_EQ(shot.At({ hint[0], hint[1] }), RGB(0, 0, 0)) << "frame";
    EXPECT_EQ(shot.At({ hint[0] + hint[2] - 1, hint[1] + hint[3] - 1 }), RGB(0, 0, 0)) << "frame";
    EXPECT_EQ(shot.At({ hint[0] + 1, hint[1] + hint[3] / 2 }), ::GetSysColor(COLOR_INFOBK)) << "background";
    shot.SavePng(wineharness::WindowsPathFromUnix(HINT_SCREENSHOT_PNG));

    // Once per entry of the mouse: moving within the control after the hint
    // went brings no new one ...
    FireHintTimer();
    MoveMouseTo({ ptCentre.x + 3, ptCentre.y });
    Pump(1500);
    EXPECT_FALSE(SharedHint::Visible());
    // ... leaving and coming back does.
    MoveMouseTo({ ptCentre.x, ptCentre.y + 60 });
    Pump(300);
    MoveMouseTo(ptCentre);
    EXPECT_TRUE(PumpUntil(SharedHint::Visible, 5000));
}

TEST(TTComboBox, ControlsShareOneHintWindowThatGoesWithTheLastOfThem)
{
    ParkMouse();
    // A spy behind everything the control installs on the first dialog's
    // list: the list's own procedure, as far as the control knows.
    static WNDPROC s_pfnListProc = nullptr;
    static bool s_bListSawNcDestroy = false;
    struct Spy {
        static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
        {
            if (message == WM_NCDESTROY)
                s_bListSawNcDestroy = true;
            return ::CallWindowProcW(s_pfnListProc, hWnd, message, wParam, lParam);
        }
    };

    auto first = std::make_unique<CHostDialog>();
    first->beforeBinding = [](CHostDialog& dlg) {
        HWND hList = ComboInfo(::GetDlgItem(dlg.m_hWnd, IDC_HINT_LIST)).hwndList;
        s_pfnListProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Spy::Proc)));
    };
    first->Open({ 100, 100 });
    auto second = std::make_unique<CHostDialog>();
    second->Open({ 100, 300 });
    HWND hHint = SharedHint::Window();
    ASSERT_TRUE(::IsWindow(hHint));

    HoverOver(first->m_cbList);
    ASSERT_TRUE(SharedHint::Visible());
    EXPECT_EQ(SharedHint::Placement(), BelowControl(first->m_cbList, kLongName));
    HoverOver(second->m_cbOther);
    EXPECT_EQ(SharedHint::Window(), hHint);
    EXPECT_EQ(SharedHint::Text(), kOtherLongName);
    EXPECT_EQ(SharedHint::Placement(), BelowControl(second->m_cbOther, kOtherLongName));
    int nHintWindows = 0;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hWnd, LPARAM lParam) {
            wchar_t szClass[64] = {}, szHintClass[64] = {};
            ::GetClassNameW(hWnd, szClass, 64);
            ::GetClassNameW(SharedHint::Window(), szHintClass, 64);
            *reinterpret_cast<int*>(lParam) += wcscmp(szClass, szHintClass) == 0;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&nHintWindows));
    EXPECT_EQ(nHintWindows, 1);

    // The dialog object goes with its controls first and its window after
    // them: the list still gets its own procedure's end.
    first.reset();
    EXPECT_TRUE(s_bListSawNcDestroy);
    EXPECT_TRUE(::IsWindow(hHint)) << "the second dialog's controls still use it";
    second.reset();
    EXPECT_FALSE(::IsWindow(hHint));
    EXPECT_EQ(SharedHint::Window(), nullptr);
}

TEST(TTComboBox, ClicksDropAndChooseAsInAPlainComboBoxWithOrWithoutHint)
{
    HintFactoryRestorer restorer;
    const CTTComboBox::HintFactory real = CTTComboBox::s_hintFactory;
    struct Case {
        const char* name;
        CTTComboBox::HintFactory factory;
        bool hint;
    };
    // The first, with no hint and nothing subclassed, is the plain combo box
    // the others are held to.
    const Case cases[] = {
        { "without the font", { [](CFont&) -> BOOL { return FALSE; }, real.pfnCreateWindow }, false },
        { "without the hint window", { real.pfnCreateFont, [](CWnd&) -> BOOL { return FALSE; } }, false },
        { "with its hint", real, true },
    };
    std::vector<UINT> plain;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParkMouse();
        ASSERT_EQ(SharedHint::Window(), nullptr) << "no control left from before";
        SharedHint::ForgetFont();
        CTTComboBox::s_hintFactory = c.factory;

        CHostDialog dlg;
        dlg.Open({ 100, 100 });
        EXPECT_EQ(SharedHint::Window() != nullptr, c.hint);
        MoveMouseTo(CentreOnScreen(dlg.m_cbList));
        if (c.hint)
            ASSERT_TRUE(PumpUntil(SharedHint::Visible, 5000));
        else
            Pump(1000);

        // A click on the control (over its hint's capture) drops the list; a
        // click on an entry chooses it.
        ClickLeft();
        ASSERT_TRUE(PumpUntil([&] { return dlg.m_cbList.GetDroppedState() != FALSE; }, 3000));
        HWND hList = ComboInfo(dlg.m_cbList).hwndList;
        RECT rcEntry = {};
        ::SendMessageW(hList, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rcEntry));
        MoveMouseTo(ClientToScreenPoint(hList, { (rcEntry.left + rcEntry.right) / 2, (rcEntry.top + rcEntry.bottom) / 2 }));
        Pump(200);
        if (c.hint) {
            EXPECT_TRUE(SharedHint::Visible());
            EXPECT_EQ(SharedHint::Text(), kOtherLongName);
        }
        ClickLeft();
        EXPECT_TRUE(PumpUntil([&] { return !dlg.m_cbList.GetDroppedState(); }, 3000));
        Pump(100);
        EXPECT_EQ(dlg.m_cbList.GetCurSel(), 2);
        if (plain.empty()) {
            // The order of CBN_SELCHANGE and CBN_CLOSEUP is the system's own.
            plain = dlg.notifications;
            std::vector<UINT> sorted = plain;
            std::sort(sorted.begin(), sorted.end());
            EXPECT_EQ(sorted, (std::vector<UINT>{ CBN_SELCHANGE, CBN_DROPDOWN, CBN_CLOSEUP }));
            EXPECT_EQ(plain.front(), static_cast<UINT>(CBN_DROPDOWN));
        } else {
            EXPECT_EQ(dlg.notifications, plain);
        }
    }
}
