// What the shell tests share: the ids and texts of Tapwire's main window as a
// user sees them, made-up serial devices (a port started by hand, the
// maker's scanners), the fixture that keeps one Tapwire per test, and the
// status lamp read from the screen.
#pragma once

#include "HarnessEnv.h"
#include "PortsDevice.h"
#include "Registry.h"
#include "TapwireApp.h"
#include "TapwireAssertions.h"
#include "Window.h"

#include <gtest/gtest.h>

#include <string>

namespace shelltest {

using namespace wineharness;

// Controls of the main dialog.
constexpr int kStartStopButton = 1017;
constexpr int kPortList = 1019;
constexpr int kEnglishSwitch = 1036;
constexpr int kChineseSwitch = 1037;
constexpr int kStatusLine = 1048;
constexpr int kStatusLamp = 1050;
// The About box's line with the name and version.
constexpr int kAboutVersionLine = 1038;

// Commands: the Help menu's About, the manual, the system menu's About.
constexpr int kHelpAboutCommand = 32772;
constexpr int kHelpManualCommand = 32778;
constexpr WPARAM kSystemMenuAbout = 0x0010;
// The tray icon's callback message; lParam is the mouse message.
constexpr UINT kTrayNotify = WM_USER + 101;

// The interface comes up in Japanese.
const std::wstring kButtonStopped = L"接続";
const std::wstring kButtonStarted = L"切断";
const std::wstring kStatusStopped = L"    接続状態: 切断";
const std::wstring kStatusStarted = L"    接続状態: 接続";
const std::wstring kPortOpenFailure = L"COMが見つからない、または開放できませんでした。";

// The lamp's two discs and what lies around them.
constexpr COLORREF kLampGreen = RGB(0, 255, 0);
constexpr COLORREF kLampGrey = RGB(192, 192, 192);
constexpr COLORREF kLampAmber = RGB(255, 176, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A serial port of the "Ports" class on COM<port>, with no scanner behind it.
PortsDeviceInfo PlainPortDevice(int port);
// One of the maker's scanners, "VID_xxxx&PID_xxxx" as its hardware ids and
// the instance id carry it, on COM<port>. `serial` tells two of one kind
// apart.
PortsDeviceInfo ScannerDevice(const std::wstring& vidPid, int port, const std::wstring& serial = L"5&1A2B3C&0&1");
// The name of its USB device interface as the system reports it on
// arrival and removal: \\?\USB#VID_xxxx&PID_xxxx#<serial>#{GUID of USB devices}.
std::wstring InterfaceName(const std::wstring& vidPid, const std::wstring& serial = L"5&1A2B3C&0&1");
std::wstring ToLower(std::wstring text);

// Delivers the arrival or removal of the USB device interface to the main
// window, as the system does; true when the handler returned in time.
bool SendDeviceArrival(const Window& dialog, const std::wstring& interfaceName, DWORD timeoutMs = 10000);
bool SendDeviceRemoval(const Window& dialog, const std::wstring& interfaceName, DWORD timeoutMs = 10000);

// Writes one key into the Config.ini beside the program (before its start).
void WriteConfigKey(const TapwireApp& app, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value);

// Every test begins with no Tapwire running and no install-folder key, and
// leaves neither behind.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ScopedRegistryKey m_installKey{HKEY_CURRENT_USER, L"SOFTWARE\\TAPWIRE"};
};

// The port state as the main window shows it.
bool ShowsStarted(const Window& dialog);
bool ShowsStopped(const Window& dialog);
// Presses Start or Stop and waits until the window shows the new state.
::testing::AssertionResult StartByHand(const Window& dialog);
::testing::AssertionResult StopByHand(const Window& dialog);

// The colour at the centre of the status lamp as the screen shows it.
COLORREF LampCentreColour(const Window& dialog);
// Waits until the lamp's centre shows `colour`.
::testing::AssertionResult LampTurns(const Window& dialog, COLORREF colour, DWORD timeoutMs = 5000);

// Saves a picture of `area` of the screen, once its repainting is over, as
// <build>/screenshots/<name>.png.
void SaveScreenshot(const RECT& area, const std::wstring& name);

// A top-level dialog (#32770) of the process with exactly this caption,
// visible; an empty Window when there is none.
Window FindVisibleDialog(DWORD processId, const std::wstring& caption);

// The mouse away from every window of the tests, so that it hovers over
// nothing that reacts to it.
void ParkMouse();

}  // namespace shelltest
