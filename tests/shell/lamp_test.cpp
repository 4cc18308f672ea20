// The status lamp as the screen shows it, and pictures of the main window
// for people to look at (under <build>/screenshots).
#include "NotificationArea.h"
#include "Screenshot.h"
#include "ShellTestSupport.h"

using namespace shelltest;

namespace {

constexpr DWORD kTimeoutMs = 5000;

// The lamp's rectangle on the screen, and a point of the dialog's
// background just left of it.
struct LampArea {
    RECT rect;
    POINT background;
};

LampArea LampAreaOf(const Window& dialog)
{
    const RECT rect = dialog.Child(kStatusLamp).Rect();
    return {rect, {rect.left - 3, (rect.top + rect.bottom) / 2}};
}

// Around the disc the dialog's background shows: the bitmap's white
// corners are keyed out, and nothing of the lamp is white.
void ExpectNoWhiteAroundTheDisc(const Window& dialog)
{
    const LampArea lamp = LampAreaOf(dialog);
    const ScreenImage image = SteadyScreenImage(dialog.Rect());
    const COLORREF background = image.At(lamp.background);
    ASSERT_NE(background, kWhite);
    for (POINT corner : {POINT{lamp.rect.left, lamp.rect.top}, POINT{lamp.rect.right - 1, lamp.rect.top},
                         POINT{lamp.rect.left, lamp.rect.bottom - 1},
                         POINT{lamp.rect.right - 1, lamp.rect.bottom - 1}}) {
        EXPECT_EQ(DescribeColour(image.At(corner)), DescribeColour(background))
            << "corner " << corner.x << "," << corner.y;
    }
    EXPECT_EQ(image.Count(lamp.rect, kWhite), 0u) << "white pixels in the lamp";
}

class ScreenTest : public ShellTest {
protected:
    TapwireApp m_app;
};
using StatusLamp = ScreenTest;
using PortListHint = ScreenTest;

// A visible top-level window of the process, other than `except`, that
// shows this text (the port list's hint is one).
Window FindVisibleWindowWithText(DWORD processId, const std::wstring& text, HWND except)
{
    for (const Window& window : TopLevelWindowsOf(processId))
        if (window.Handle() != except && window.IsVisible() && window.Text() == text)
            return window;
    return Window();
}

}  // namespace

TEST_F(StatusLamp, IsGreenWhileThePortIsStartedAndGreyWhenStopped)
{
    FakePortsDevice port(PlainPortDevice(ComPairs().front().appPort));
    const Window dialog = m_app.Start();
    EXPECT_TRUE(LampTurns(dialog, kLampGrey)) << "at start";
    ExpectNoWhiteAroundTheDisc(dialog);

    ASSERT_TRUE(StartByHand(dialog));
    EXPECT_TRUE(LampTurns(dialog, kLampGreen)) << "after Start";
    ExpectNoWhiteAroundTheDisc(dialog);
    SaveScreenshot(dialog.Rect(), L"main-window-started");

    ASSERT_TRUE(StopByHand(dialog));
    EXPECT_TRUE(LampTurns(dialog, kLampGrey)) << "after Stop";
    ExpectNoWhiteAroundTheDisc(dialog);
    SaveScreenshot(dialog.Rect(), L"main-window-stopped");
    EXPECT_TRUE(ClosesCleanly(m_app));
}

// A port that is listed but has gone by the time Start is pressed.
TEST_F(StatusLamp, StaysGreyWhenStartFails)
{
    FakePortsDevice vanished(PlainPortDevice(41));
    const Window dialog = m_app.Start();
    dialog.Child(kStartStopButton).Click();
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(m_app.GetProcess().Id(), kTimeoutMs);
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ(box->text, kPortOpenFailure);
    SaveScreenshot(BoundingRect(dialog.Rect(), box->window.Rect()), L"port-open-failure");
    ASSERT_TRUE(PressOk(*box));

    EXPECT_TRUE(ShowsStopped(dialog));
    EXPECT_TRUE(LampTurns(dialog, kLampGrey));
    // Repainted after the box, it still shows no green.
    EXPECT_EQ(SteadyScreenImage(dialog.Rect()).Count(LampAreaOf(dialog).rect, kLampGreen), 0u);
    EXPECT_TRUE(ClosesCleanly(m_app));
}

// The port list names a port whose friendly name does not fit: resting the
// mouse on the list shows the whole name below it.
TEST_F(PortListHint, ShowsTheWholeNameRightBelowTheListAndIsPictured)
{
    const std::wstring longName =
        L"USB Serial Device of the maker's barcode scanner, a name longer than the list (COM" +
        std::to_wstring(ComPairs().front().appPort) + L")";
    FakePortsDevice port({L"USB\\VID_1234&PID_5678\\LONGNAME", longName, {L"USB\\VID_1234&PID_5678"}});
    const Window dialog = m_app.Start();
    ASSERT_EQ(dialog.Child(kPortList).ComboSelectedText(), longName);

    SetCursorPos(CentreOf(dialog.Child(kPortList)).x, CentreOf(dialog.Child(kPortList)).y);
    Window hint;
    ASSERT_TRUE(WaitUntil(
        [&] { return static_cast<bool>(hint = FindVisibleWindowWithText(m_app.GetProcess().Id(), longName,
                                                                          dialog.Handle())); },
        kTimeoutMs))
        << "no hint with the whole name";
    // Right below the list's client area, from its left edge.
    RECT client{};
    GetClientRect(dialog.Child(kPortList).Handle(), &client);
    POINT bottomLeft{0, client.bottom};
    ClientToScreen(dialog.Child(kPortList).Handle(), &bottomLeft);
    EXPECT_EQ(hint.Rect().left, bottomLeft.x);
    EXPECT_EQ(hint.Rect().top, bottomLeft.y);
    SaveScreenshot(BoundingRect(dialog.Rect(), hint.Rect()), L"port-list-hint");
    ParkMouse();
    EXPECT_TRUE(ClosesCleanly(m_app));
}
