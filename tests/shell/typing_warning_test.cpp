// What the user is told when the window in front does not take Tapwire's
// typing (it runs as administrator, the workstation is locked): the status
// line, the amber lamp, and the tray icon's balloon while the window is
// hidden. The real Tapwire.exe; its SendInput made to insert nothing through
// the probe, as the system does then.
#include "AppProbe.h"
#include "NotificationArea.h"
#include "ScannerPort.h"
#include "ShellTestSupport.h"
#include "TargetWindow.h"

using namespace shelltest;

namespace {

constexpr DWORD kTimeoutMs = 5000;
// Longer than the quiet that ends a scan.
constexpr DWORD kAfterScanMs = 400;

const std::wstring kStatusNotTyped = L"    スキャン未入力: 入力が拒否されました";
const std::wstring kNoticeJapanese =
    L"スキャンを入力できませんでした。前面のウィンドウが Tapwire からのキーボード入力を受け付けません"
    L"（管理者として実行されているか、コンピューターがロックされている可能性があります）。";

bool StatusLineShows(const Window& dialog, const std::wstring& text)
{
    return WaitUntil([&] { return dialog.Child(kStatusLine).Text() == text; }, kTimeoutMs);
}

// The balloons as Wine's notification area shows them: visible tooltip
// windows whose text (WM_GETTEXT: the tooltip's current text) is the
// balloon's.
std::string VisibleTooltips()
{
    std::string found;
    for (const Window& window : TopLevelWindowsOf(0))
        if (window.ClassName() == L"tooltips_class32" && window.IsVisible())
            found += " [" + Narrow(window.Text()) + "]";
    return found.empty() ? "none" : found;
}

size_t VisibleBalloonsWithText(const std::wstring& text)
{
    size_t count = 0;
    for (const Window& window : TopLevelWindowsOf(0))
        if (window.ClassName() == L"tooltips_class32" && window.IsVisible() && window.Text() == text)
            ++count;
    return count;
}

class TypingWarningTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        m_port = std::make_unique<FakePortsDevice>(PlainPortDevice(ComPairs().front().appPort));
        m_dialog = m_app.Start();
        m_probe = std::make_unique<AppProbe>(m_dialog);
        ASSERT_TRUE(StartByHand(m_dialog));
        m_target = std::make_unique<TargetWindow>();
        m_scanner = std::make_unique<ScannerPort>(ComPairs().front().scannerPort);
    }
    void TearDown() override
    {
        m_scanner.reset();
        m_target.reset();
        m_probe.reset();
        ShellTest::TearDown();
    }

    std::unique_ptr<FakePortsDevice> m_port;
    TapwireApp m_app;
    Window m_dialog;
    std::unique_ptr<AppProbe> m_probe;
    std::unique_ptr<TargetWindow> m_target;
    std::unique_ptr<ScannerPort> m_scanner;
};

}  // namespace

TEST_F(TypingWarningTest, AScanTheInputRefusesIsDroppedAndShownUntilAScanIsTypedCompletely)
{
    ASSERT_TRUE(LampTurns(m_dialog, kLampGreen));
    m_probe->RefuseInput();
    m_scanner->Write("4901234567894\r");
    EXPECT_TRUE(StatusLineShows(m_dialog, kStatusNotTyped));
    EXPECT_TRUE(LampTurns(m_dialog, kLampAmber));
    Sleep(kAfterScanMs);
    // The first key-down, tried five times; nothing of the rest of the scan.
    EXPECT_EQ(m_probe->AcceptInput(), 5u);
    EXPECT_EQ(m_target->Text(), L"");
    EXPECT_TRUE(m_dialog.Child(kStatusLine).Text() == kStatusNotTyped) << "the warning stays until a scan types";
    SaveScreenshot(m_dialog.Rect(), L"main-window-scan-not-typed");

    m_scanner->Write("ok\r");
    EXPECT_EQ(m_target->WaitForText(3, kTimeoutMs), L"ok\r");
    EXPECT_TRUE(StatusLineShows(m_dialog, kStatusStarted)) << "a scan typed completely clears the warning";
    EXPECT_TRUE(LampTurns(m_dialog, kLampGreen));

    // A Stop clears it too: it belonged to the started port.
    m_probe->RefuseInput();
    m_scanner->Write("x");
    EXPECT_TRUE(StatusLineShows(m_dialog, kStatusNotTyped));
    m_probe->AcceptInput();
    ASSERT_TRUE(StopByHand(m_dialog));
    EXPECT_TRUE(LampTurns(m_dialog, kLampGrey));
    ASSERT_TRUE(StartByHand(m_dialog));
    EXPECT_TRUE(m_dialog.Child(kStatusLine).Text() == kStatusStarted);
    EXPECT_TRUE(ClosesCleanly(m_app));
}

TEST_F(TypingWarningTest, WhileTheWindowIsHiddenTheTrayIconShowsTheWarningInABalloon)
{
    const size_t iconsBefore = TrayIcons().size();
    m_dialog.PostSysCommand(SC_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return !m_dialog.IsVisible() && TrayIcons().size() == iconsBefore + 1; }, kTimeoutMs));
    m_target->Activate();

    m_probe->RefuseInput();
    m_scanner->Write("4901234567894\r");
    EXPECT_TRUE(WaitUntil([&] { return VisibleBalloonsWithText(kNoticeJapanese) > 0; }, kTimeoutMs))
        << "no balloon with the warning; tooltips shown:" << VisibleTooltips();
    SaveScreenshot(RECT{0, 0, 1280, 900}, L"tray-balloon-scan-not-typed");
    Sleep(kAfterScanMs);
    m_probe->AcceptInput();

    // One balloon per failed scan, not one per byte.
    EXPECT_EQ(VisibleBalloonsWithText(kNoticeJapanese), 1u);

    m_scanner->Write("ok\r");
    EXPECT_EQ(m_target->WaitForText(3, kTimeoutMs), L"ok\r");
    EXPECT_TRUE(StatusLineShows(m_dialog, kStatusStarted));
    EXPECT_TRUE(ClosesCleanly(m_app));
}
