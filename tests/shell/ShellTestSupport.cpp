#include "ShellTestSupport.h"

#include "NotificationArea.h"
#include "Process.h"
#include "Screenshot.h"

#include <dbt.h>

#include <algorithm>
#include <cwctype>

namespace shelltest {

namespace {

// GUID_DEVINTERFACE_USB_DEVICE, the class the main window listens to.
constexpr GUID kUsbDeviceInterface = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

}  // namespace

PortsDeviceInfo PlainPortDevice(int port)
{
    const std::wstring com = L"COM" + std::to_wstring(port);
    return {L"ROOT\\PORTS\\" + std::to_wstring(1000 + port), L"Communications Port (" + com + L")", {L"*PNP0501"}};
}

PortsDeviceInfo ScannerDevice(const std::wstring& vidPid, int port, const std::wstring& serial)
{
    const std::wstring com = L"COM" + std::to_wstring(port);
    return {L"USB\\" + vidPid + L"\\" + serial, L"USB Serial Device (" + com + L")",
            {L"USB\\" + vidPid + L"&REV_0100", L"USB\\" + vidPid}};
}

std::wstring InterfaceName(const std::wstring& vidPid, const std::wstring& serial)
{
    return L"\\\\?\\USB#" + vidPid + L"#" + serial + L"#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

std::wstring ToLower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

bool SendDeviceArrival(const Window& dialog, const std::wstring& interfaceName, DWORD timeoutMs)
{
    return SendDeviceInterfaceChange(dialog, DBT_DEVICEARRIVAL, interfaceName, kUsbDeviceInterface, timeoutMs);
}

bool SendDeviceRemoval(const Window& dialog, const std::wstring& interfaceName, DWORD timeoutMs)
{
    return SendDeviceInterfaceChange(dialog, DBT_DEVICEREMOVECOMPLETE, interfaceName, kUsbDeviceInterface,
                                     timeoutMs);
}

void WriteConfigKey(const TapwireApp& app, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value)
{
    const std::wstring path = app.SettingsPath();
    if (!WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str()))
        ThrowLastError("cannot write " + Narrow(key) + " into " + Narrow(path));
}

void ShellTest::SetUp()
{
    TerminateProcessesByName(kTapwireExeName);
    ParkMouse();
}

void ShellTest::TearDown()
{
    EXPECT_EQ(TerminateProcessesByName(kTapwireExeName), 0u) << "a Tapwire process outlived its test";
}

bool ShowsStarted(const Window& dialog)
{
    return dialog.Child(kStatusLine).Text() == kStatusStarted &&
           dialog.Child(kStartStopButton).Text() == kButtonStarted;
}

bool ShowsStopped(const Window& dialog)
{
    return dialog.Child(kStatusLine).Text() == kStatusStopped &&
           dialog.Child(kStartStopButton).Text() == kButtonStopped;
}

namespace {

::testing::AssertionResult PressStartStop(const Window& dialog, bool (*shows)(const Window&), const char* state)
{
    dialog.Child(kStartStopButton).Click();
    if (WaitUntil([&] { return shows(dialog); }, 5000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the window does not show the port " << state << ": button \""
           << Narrow(dialog.Child(kStartStopButton).Text()) << "\", status \""
           << Narrow(dialog.Child(kStatusLine).Text()) << "\"";
}

}  // namespace

::testing::AssertionResult StartByHand(const Window& dialog)
{
    return PressStartStop(dialog, ShowsStarted, "started");
}

::testing::AssertionResult StopByHand(const Window& dialog)
{
    return PressStartStop(dialog, ShowsStopped, "stopped");
}

COLORREF LampCentreColour(const Window& dialog)
{
    const POINT centre = CentreOf(dialog.Child(kStatusLamp));
    return ScreenImage({centre.x, centre.y, centre.x + 1, centre.y + 1}).At(centre);
}

::testing::AssertionResult LampTurns(const Window& dialog, COLORREF colour, DWORD timeoutMs)
{
    COLORREF seen = CLR_INVALID;
    if (WaitUntil([&] { return (seen = LampCentreColour(dialog)) == colour; }, timeoutMs, 20))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the lamp's centre shows " << DescribeColour(seen) << ", not "
                                         << DescribeColour(colour);
}

void SaveScreenshot(const RECT& area, const std::wstring& name)
{
    SteadyScreenImage(area).SavePng(WindowsPathFromUnix(SCREENSHOT_DIR) + L"\\" + name + L".png");
}

Window FindVisibleDialog(DWORD processId, const std::wstring& caption)
{
    for (const Window& window : FindTopLevelWindows(caption, processId))
        if (window.ClassName() == kDialogClass && window.IsVisible())
            return window;
    return Window();
}

void ParkMouse()
{
    SetCursorPos(1200, 850);
}

}  // namespace shelltest
