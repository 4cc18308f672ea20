// Tapwire.exe when the world misbehaves: the scanner's port goes away under a
// running port, the settings file can no longer be written, a warning of the
// port thread is open while the user closes the program.
#include "HarnessEnv.h"
#include "IniFile.h"
#include "PortsDevice.h"
#include "Process.h"
#include "Registry.h"
#include "ScannerPort.h"
#include "TapwireApp.h"
#include "TapwireAssertions.h"
#include "TargetWindow.h"
#include "Window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace wineharness;

namespace {

const std::wstring kInstallKey = L"SOFTWARE\\TAPWIRE";
constexpr int kStartStop = 1017;
constexpr int kPortList = 1019;
const std::wstring kStarted = L"切断";  // the button while started (Japanese)
const std::wstring kStopped = L"接続";

// Clicks Start/Stop as the button's notification does, without the mouse.
void PressStartStop(const Window& dialog)
{
    dialog.PostCommand(kStartStop, BN_CLICKED, dialog.Child(kStartStop).Handle());
}

// Whether the button comes to read `text` within 5 s.
bool ButtonShows(const Window& dialog, const std::wstring& text)
{
    return WaitUntil([&] { return dialog.Child(kStartStop).Text() == text; }, 5000);
}

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TerminateProcessesByName(kTapwireExeName);
        m_pair = ComPairs().at(0);
        m_scanner = std::make_unique<FakePortsDevice>(PortsDeviceInfo{
            L"USB\\VID_2E9B&PID_0002\\5&FAULT&0&1", L"USB Serial Device (COM" + std::to_wstring(m_pair.appPort) + L")",
            {L"USB\\VID_2E9B&PID_0002&REV_0100"}});
    }
    void TearDown() override
    {
        EXPECT_EQ(TerminateProcessesByName(kTapwireExeName), 0u) << "a Tapwire process outlived its test";
    }

    // Starts Tapwire on the pair's port, started, in ASCII.
    Window StartTapwire(TapwireApp& app)
    {
        WriteFileBytes(app.SettingsPath(),
                      "[Encoding Setting]\r\nEncoding=0\r\n[Start Setting]\r\nBootRun=0\r\nRunMini=0\r\nRunStart=1\r\n"
                      "[Language Setting]\r\nLanguage=3\r\n"
                      "[Uart Setting]\r\nComPort=0\r\nBaudRate=9\r\nParityBit=0\r\nDataBit=1\r\nStopBit=0\r\n");
        const Window dialog = app.Start();
        EXPECT_TRUE(ButtonShows(dialog, kStarted));
        return dialog;
    }

    // Types `text` through the scanner's side and checks that it arrives.
    void ExpectTyped(const Window& dialog, TargetWindow& target, const std::string& text)
    {
        target.Activate();
        const size_t before = target.Text().size();
        ScannerPort scanner(m_pair.scannerPort);
        scanner.Write(text);
        const std::wstring expected(text.begin(), text.end());
        EXPECT_EQ(target.WaitForText(before + expected.size(), 5000).substr(before), expected)
            << "Tapwire's port: " << Narrow(dialog.Child(kPortList).ComboSelectedText()) << ", button "
            << Narrow(dialog.Child(kStartStop).Text()) << "; the target window saw " << target.Events().size()
            << " key and character events in all";
    }

    ScopedRegistryKey m_installKey{HKEY_CURRENT_USER, kInstallKey};
    ComPair m_pair{};
    std::unique_ptr<FakePortsDevice> m_scanner;
};

// Presses OK on every message box the process shows within `ms`; how many.
int DismissMessageBoxes(const Process& process, DWORD ms)
{
    int count = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (const std::optional<MessageBoxInfo> box = WaitForMessageBox(process.Id(), 50)) {
            PressOk(*box, 2000);
            ++count;
        }
    }
    return count;
}

}  // namespace

// The scanner's cable is pulled while its port runs (the pty's other end goes
// away): no crash and no hang; Stop works, and a later Start opens the port
// that came back and types again.
TEST_F(FaultTest, APortThatHangsUpWhileRunningCanBeStoppedAndStartedAgain)
{
    TargetWindow target;
    TapwireApp app;
    const Window dialog = StartTapwire(app);
    ExpectTyped(dialog, target, "before\r");

    HangUpPair(m_pair.appPort);
    const int warnings = DismissMessageBoxes(app.GetProcess(), 1500);
    ASSERT_TRUE(app.GetProcess().IsRunning());

    PressStartStop(dialog);
    EXPECT_TRUE(ButtonShows(dialog, kStopped));
    PressStartStop(dialog);
    EXPECT_TRUE(ButtonShows(dialog, kStarted))
        << "Start did not come back after the hang-up";
    ExpectTyped(dialog, target, "after\r");
    std::printf("[          ] %d warning(s) shown after the hang-up\n", warnings);
    EXPECT_TRUE(ClosesCleanly(app));
}

// A warning of the port thread (its port calls fail) is open while the user
// closes the program: the warning is answered and the program ends.
TEST_F(FaultTest, AWarningOfThePortThreadDoesNotKeepTheProgramFromClosing)
{
    const int broken = BrokenPort();
    m_scanner.reset();
    FakePortsDevice device({L"ACPI\\PNP0501\\B", L"Broken Port (COM" + std::to_wstring(broken) + L")",
                            {L"ACPI\\PNP0501"}});
    TapwireApp app;
    const Window dialog = app.Start();
    PressStartStop(dialog);

    // Opening reports its first failing configuration call, then starts; the
    // port thread's wait fails too and is reported from that thread.
    std::optional<MessageBoxInfo> box = WaitForMessageBox(app.GetProcess().Id(), 5000);
    ASSERT_TRUE(box.has_value());
    EXPECT_NE(box->text.find(L"Warning:SetCommTimeouts()Errors"), std::wstring::npos) << Narrow(box->text);
    ASSERT_TRUE(PressOk(*box));
    box = WaitForMessageBox(app.GetProcess().Id(), 5000);
    ASSERT_TRUE(box.has_value());
    EXPECT_NE(box->text.find(L"Warning:WaitCommEvent()Errors"), std::wstring::npos) << Narrow(box->text);
    EXPECT_NE(GetWindowThreadProcessId(box->window.Handle(), nullptr), dialog.ThreadId())
        << "the warning should come from the port thread";

    dialog.PostClose();
    EXPECT_TRUE(app.GetProcess().WaitForExit(10000)) << "the open warning kept Tapwire from ending";
}

// The settings file can no longer be written while the program runs (here it
// has become a folder): a change made in the menu still takes effect, nothing
// is reported, nothing breaks.
TEST_F(FaultTest, ASettingsFileThatCannotBeWrittenAnyMoreIsNoObstacle)
{
    constexpr int kEncodingUtf8 = 32784;
    TargetWindow target;
    TapwireApp app;
    const Window dialog = StartTapwire(app);
    const std::wstring settings = app.SettingsPath();
    ASSERT_TRUE(DeleteFileW(settings.c_str()));
    ASSERT_TRUE(CreateDirectoryW(settings.c_str(), nullptr));

    // The idle program takes the posted command at once; no message box may
    // come of the failing write.
    dialog.PostCommand(kEncodingUtf8);
    EXPECT_FALSE(WaitForMessageBox(app.GetProcess().Id(), 500).has_value());

    // UTF-8 is in effect: C3 A9 is one character.
    target.Activate();
    ScannerPort scanner(m_pair.scannerPort);
    scanner.Write(std::string("caf\xC3\xA9\r"));
    EXPECT_EQ(target.WaitForText(5, 5000), L"caf\u00E9\r");
    EXPECT_TRUE(GetFileAttributesW(settings.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryW(settings.c_str());
    EXPECT_TRUE(ClosesCleanly(app));
}

// The port's device disappears from the system while the port runs (its
// link in the prefix goes; the open handle stays): Stop works, and Start then
// reports the port as not found and stays stopped; once the device is back,
// Start works again.
TEST_F(FaultTest, APortWhoseDeviceDisappearsIsReportedAtTheNextStart)
{
    TargetWindow target;
    TapwireApp app;
    const Window dialog = StartTapwire(app);
    UnlinkPort(m_pair.appPort);
    struct Relink {
        int port;
        ~Relink() { RelinkPort(port); }
    } relink{m_pair.appPort};

    PressStartStop(dialog);
    ASSERT_TRUE(ButtonShows(dialog, kStopped));
    PressStartStop(dialog);
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app.GetProcess().Id(), 5000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, L"COMが見つからない、または開放できませんでした。");
    ASSERT_TRUE(PressOk(*box));
    EXPECT_EQ(dialog.Child(kStartStop).Text(), kStopped);

    RelinkPort(m_pair.appPort);
    PressStartStop(dialog);
    ASSERT_TRUE(ButtonShows(dialog, kStarted));
    ExpectTyped(dialog, target, "back\r");
    EXPECT_TRUE(ClosesCleanly(app));
}
