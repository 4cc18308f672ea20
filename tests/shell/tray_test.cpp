// Hiding Tapwire in the notification area and bringing it back: minimise,
// the icon's clicks (real mouse clicks on the icon that Wine's stand-alone
// tray shows, and the callback message itself), the icon's menu, the option
// that hides the window right after start, and a second launch.
#include "AppProbe.h"
#include "NotificationArea.h"
#include "Screenshot.h"
#include "ShellTestSupport.h"

using namespace shelltest;

namespace {

constexpr DWORD kTimeoutMs = 5000;
constexpr UINT kTrayCloseCommand = 2;

// The icon added last, when one more icon than `before` shows.
Window WaitForNewTrayIcon(size_t before)
{
    std::vector<Window> icons;
    WaitUntil([&] { return (icons = TrayIcons()).size() == before + 1; }, kTimeoutMs);
    return icons.size() == before + 1 ? icons.back() : Window();
}

bool WaitForTrayIconCount(size_t count)
{
    return WaitUntil([&] { return TrayIcons().size() == count; }, kTimeoutMs);
}

// The window back on the screen in its normal state.
bool ShowsNormally(const Window& window)
{
    return window.IsVisible() && !window.IsMinimized() && window.ShowCmd() == SW_SHOWNORMAL;
}

// A pop-up menu (#32768) of the process on the screen; an empty Window
// when none shows.
Window VisiblePopupMenu(DWORD processId)
{
    for (const Window& window : TopLevelWindowsOf(processId))
        if (window.ClassName() == L"#32768" && window.IsVisible())
            return window;
    return Window();
}

Window WaitForPopupMenu(DWORD processId)
{
    Window menu;
    WaitUntil([&] { return static_cast<bool>(menu = VisiblePopupMenu(processId)); }, kTimeoutMs);
    return menu;
}

// Tapwire minimised into the notification area: its window hidden, its icon
// in the tray.
class TrayTest : public ShellTest {
protected:
    void MinimiseToTray()
    {
        m_iconsBefore = TrayIcons().size();
        m_dialog.PostSysCommand(SC_MINIMIZE);
        ASSERT_TRUE(WaitUntil([&] { return !m_dialog.IsVisible(); }, kTimeoutMs)) << "the window stays visible";
        m_icon = WaitForNewTrayIcon(m_iconsBefore);
        ASSERT_TRUE(m_icon) << "no icon in the notification area";
    }

    TapwireApp m_app;
    Window m_dialog;
    size_t m_iconsBefore = 0;
    Window m_icon;
};

struct LeftClickCase {
    const char* name;
    void (*click)(const Window& dialog, const Window& icon);
};
void PrintTo(const LeftClickCase& c, std::ostream* out) { *out << c.name; }

class TrayLeftClick : public TrayTest, public ::testing::WithParamInterface<LeftClickCase> {};

}  // namespace

TEST_F(TrayTest, MinimiseHidesTheWindowAndAddsTheIcon)
{
    m_dialog = m_app.Start();
    ASSERT_NO_FATAL_FAILURE(MinimiseToTray());
    EXPECT_TRUE(m_dialog.IsMinimized()) << "minimised first, then hidden";
    EXPECT_TRUE(m_app.GetProcess().IsRunning());
    SaveScreenshot(VisibleTrayWindow().Rect(), L"tray-icon");
    EXPECT_TRUE(ClosesCleanly(m_app));
}

TEST_P(TrayLeftClick, ShowsTheWindowInNormalStateAndRemovesTheIcon)
{
    m_dialog = m_app.Start();
    ASSERT_NO_FATAL_FAILURE(MinimiseToTray());
    GetParam().click(m_dialog, m_icon);
    EXPECT_TRUE(WaitUntil([&] { return ShowsNormally(m_dialog); }, kTimeoutMs))
        << "visible " << m_dialog.IsVisible() << ", minimised " << m_dialog.IsMinimized();
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == m_dialog.Handle(); }, kTimeoutMs))
        << "the window is not in the foreground";
    EXPECT_TRUE(WaitForTrayIconCount(m_iconsBefore)) << "the icon stays";
    EXPECT_TRUE(ClosesCleanly(m_app));
}

INSTANTIATE_TEST_SUITE_P(
    Way, TrayLeftClick,
    ::testing::Values(
        LeftClickCase{"MouseOnTheIcon",
                      [](const Window&, const Window& icon) { ClickAt(CentreOf(icon), MouseButton::Left); }},
        LeftClickCase{"CallbackMessage",
                      [](const Window& dialog, const Window&) { dialog.Post(kTrayNotify, 0, WM_LBUTTONDOWN); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrayTest, OtherMouseMessagesOfTheIconDoNothing)
{
    m_dialog = m_app.Start();
    ASSERT_NO_FATAL_FAILURE(MinimiseToTray());
    AppProbe probe(m_dialog);
    for (LPARAM message : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_MBUTTONDOWN})
        m_dialog.Post(kTrayNotify, 0, message);
    ASSERT_TRUE(probe.Sync());
    EXPECT_FALSE(m_dialog.IsVisible());
    EXPECT_EQ(TrayIcons().size(), m_iconsBefore + 1);
    EXPECT_FALSE(VisiblePopupMenu(m_app.GetProcess().Id())) << "a menu opened";
    EXPECT_TRUE(ClosesCleanly(m_app));
}

// The icon's menu, opened with the right button on the icon: one item,
// "閉じる", which ends the program. The port is started, so the program has
// to stop it and let its monitor thread end on the way out.
TEST_F(TrayTest, RightClickMenuCloseEndsTheProgram)
{
    FakePortsDevice port(PlainPortDevice(ComPairs().front().appPort));
    m_dialog = m_app.Start();
    // The probe goes into the program before the port starts: under Wine a
    // running port keeps the program's loader busy (a thread per wait for
    // a port event), and the probe's DLL may then not get loaded at all.
    AppProbe probe(m_dialog);
    ASSERT_TRUE(probe.Sync()) << "the probe does not get into the program";
    ASSERT_TRUE(StartByHand(m_dialog));
    ASSERT_NO_FATAL_FAILURE(MinimiseToTray());

    const POINT click = CentreOf(m_icon);
    ClickAt(click, MouseButton::Right);
    const Window menu = WaitForPopupMenu(m_app.GetProcess().Id());
    ASSERT_TRUE(menu) << "no menu on the screen";
    // Its top-left corner is where the mouse was.
    EXPECT_EQ(menu.Rect().left, click.x);
    EXPECT_EQ(menu.Rect().top, click.y);
    const std::vector<MenuItem> items = probe.PopupMenu();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].id, kTrayCloseCommand);
    EXPECT_EQ(items[0].text, L"閉じる");
    SaveScreenshot(BoundingRect(VisibleTrayWindow().Rect(), menu.Rect()), L"tray-menu");

    ClickAt(CentreOf(menu), MouseButton::Left);
    ASSERT_TRUE(m_app.GetProcess().WaitForExit(kTimeoutMs)) << "Tapwire still runs";
    EXPECT_FALSE(IsCrashExitCode(m_app.GetProcess().ExitCode().value_or(0)));
    EXPECT_TRUE(WaitForTrayIconCount(m_iconsBefore)) << "the icon stays behind";
}

TEST_F(TrayTest, RightClickMenuClosedWithoutAChoiceRemovesTheIconAndTheWindowStaysHidden)
{
    m_dialog = m_app.Start();
    ASSERT_NO_FATAL_FAILURE(MinimiseToTray());
    m_dialog.Post(kTrayNotify, 0, WM_RBUTTONDOWN);
    const Window menu = WaitForPopupMenu(m_app.GetProcess().Id());
    ASSERT_TRUE(menu) << "no menu on the screen";
    // The key going down closes the menu, its window with it.
    menu.Post(WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(WaitUntil([&] { return !menu.IsVisible(); }, kTimeoutMs)) << "the menu stays";
    EXPECT_TRUE(WaitForTrayIconCount(m_iconsBefore)) << "the icon stays";
    EXPECT_FALSE(m_dialog.IsVisible());
    EXPECT_TRUE(m_app.GetProcess().IsRunning());

    // Only a second launch brings the window back now.
    Process second = m_app.Launch();
    ASSERT_TRUE(second.WaitForExit(kTimeoutMs)) << "the second instance did not exit";
    EXPECT_TRUE(WaitUntil([&] { return ShowsNormally(m_dialog); }, kTimeoutMs));
    EXPECT_TRUE(ClosesCleanly(m_app));
}

TEST_F(TrayTest, ASecondLaunchShowsTheWindowAndLeavesTheIconForItsNextClick)
{
    m_dialog = m_app.Start();
    ASSERT_NO_FATAL_FAILURE(MinimiseToTray());
    Process second = m_app.Launch();
    ASSERT_TRUE(second.WaitForExit(kTimeoutMs)) << "the second instance did not exit";
    EXPECT_FALSE(IsCrashExitCode(second.ExitCode().value_or(0)));
    EXPECT_TRUE(WaitUntil([&] { return ShowsNormally(m_dialog); }, kTimeoutMs))
        << "visible " << m_dialog.IsVisible() << ", minimised " << m_dialog.IsMinimized();
    EXPECT_EQ(TrayIcons().size(), m_iconsBefore + 1) << "the icon went with the second launch";

    // Both sit in the top-left corner of the screen; the window goes aside
    // so that the click reaches the icon.
    ASSERT_TRUE(SetWindowPos(m_dialog.Handle(), nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    ClickAt(CentreOf(m_icon), MouseButton::Left);
    EXPECT_TRUE(WaitForTrayIconCount(m_iconsBefore)) << "the icon stays after its click";
    EXPECT_TRUE(ShowsNormally(m_dialog));
    EXPECT_TRUE(ClosesCleanly(m_app));
}

// With "RunMini" the window shows, then goes to the tray about 100 ms after
// start; once there and brought back, it stays.
TEST_F(TrayTest, RunMiniHidesTheWindowOnceAfterStart)
{
    WriteConfigKey(m_app, L"Start Setting", L"RunMini", L"1");
    const size_t iconsBefore = TrayIcons().size();
    // The window shows only for a moment, too short to wait for: the
    // process is watched on its own.
    Process process = m_app.Launch();
    const Window icon = WaitForNewTrayIcon(iconsBefore);
    ASSERT_TRUE(icon) << "no icon in the notification area";
    m_dialog = FindTapwireWindow(process.Id());
    ASSERT_TRUE(m_dialog);
    EXPECT_TRUE(WaitUntil([&] { return !m_dialog.IsVisible(); }, kTimeoutMs)) << "the window is not hidden";
    EXPECT_FALSE(m_dialog.IsMinimized()) << "hidden without being minimised";

    ClickAt(CentreOf(icon), MouseButton::Left);
    ASSERT_TRUE(WaitUntil([&] { return ShowsNormally(m_dialog); }, kTimeoutMs));
    // Several periods of the timer later the window is still there.
    Sleep(500);
    EXPECT_TRUE(ShowsNormally(m_dialog)) << "hidden again";
    EXPECT_EQ(TrayIcons().size(), iconsBefore);
    m_dialog.PostClose();
    ASSERT_TRUE(process.WaitForExit(kTimeoutMs)) << "Tapwire did not end after WM_CLOSE";
    EXPECT_FALSE(IsCrashExitCode(process.ExitCode().value_or(0)));
}
