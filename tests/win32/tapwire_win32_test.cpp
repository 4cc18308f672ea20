// The shipped 32-bit Tapwire.exe on 64-bit Windows (a WoW64 prefix): what
// differs from the 64-bit build is what these tests look at — the callbacks
// and the message map's handler calls under the 32-bit calling conventions,
// the structures the program hands to the system, and the 32-bit view of the
// system the program gets (IsWow64Process, the registry's views).
//
// A 32-bit program takes about a minute to start here, where the kernel does
// not run i386 programs and qemu-user runs them, so one Tapwire runs for the
// whole suite and the tests follow one another as a user's session would:
// start, scans in two encodings, the settings, the tray, a scanner plugged in
// and pulled out, a second launch. A test that fails leaves the program as
// it is; the next one goes on from there.
#include "NotificationArea.h"
#include "ScannerPort.h"
#include "SettingsTestSupport.h"
#include "ShellTestSupport.h"
#include "TargetWindow.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace wineharness;
using shelltest::kPortList;

// Starting a 32-bit program here: a minute or more, slower on a busy machine.
constexpr DWORD kStartMs = 300000;
constexpr DWORD kTimeoutMs = 10000;
constexpr DWORD kPortThreadStartMs = 300;

bool IsWow64(const Process& process)
{
    BOOL wow64 = FALSE;
    return IsWow64Process(process.Handle(), &wow64) && wow64;
}

// The Run key's value of the program as the 64-bit view and as the 32-bit
// view of HKEY_CURRENT_USER show it.
std::optional<std::wstring> RunValue(REGSAM view)
{
    return GetRegistryString(HKEY_CURRENT_USER, settingstest::kRunKey, settingstest::kRunValueName, view);
}

// The access rights of every registry key opened or created under this
// name, as Wine's trace of the program's registry calls gives them (in hex):
// lines such as
//   0024:trace:reg:NtCreateKey (0000002C,L"Software\\...\\Run",(null),0,f013f,0031F9A8)
std::vector<std::string> AccessRightsOpening(std::string trace, std::string keyName)
{
    // Key names are case-insensitive.
    for (std::string* text : {&trace, &keyName})
        std::transform(text->begin(), text->end(), text->begin(), [](unsigned char c) { return std::tolower(c); });
    std::vector<std::string> rights;
    for (const char* call : {":ntcreatekey (", ":ntopenkeyex (", ":ntopenkey ("}) {
        for (size_t at = trace.find(call); at != std::string::npos; at = trace.find(call, at + 1)) {
            const size_t end = trace.find('\n', at);
            const std::string line = trace.substr(at, end == std::string::npos ? std::string::npos : end - at);
            if (line.find("\"" + keyName + "\"") == std::string::npos)
                continue;
            // NtCreateKey: (root,name,class,options,access,...); the opens: (root,name,access,...).
            std::vector<std::string> fields;
            size_t field = line.find('(') + 1;
            for (size_t comma; (comma = line.find(',', field)) != std::string::npos; field = comma + 1)
                fields.push_back(line.substr(field, comma - field));
            const size_t index = std::string(call) == ":ntcreatekey (" ? 4 : 2;
            if (fields.size() > index)
                rights.push_back(fields[index]);
        }
    }
    return rights;
}

// Where the test's standard error goes (see CMakeLists.txt).
std::wstring TraceFile()
{
    return HarnessFile("stderr.log");
}

class Win32Tapwire : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::vector<ComPair> pairs = ComPairs();
        s_hand = pairs.at(0);
        s_scanner = pairs.at(1);
        s_handDevice = std::make_unique<FakePortsDevice>(shelltest::PlainPortDevice(s_hand.appPort));
        s_app = std::make_unique<TapwireApp>();
        // Wine traces the program's registry calls to the standard error it
        // shares with this test, which ctest sends to a file of the harness.
        SetEnvironmentVariableW(L"WINEDEBUG", L"-all,trace+reg");
        try {
            s_dialog = s_app->Start(kStartMs);
        } catch (...) {
            SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
            throw;
        }
        SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
        s_target = std::make_unique<TargetWindow>();
    }

    static void TearDownTestSuite()
    {
        s_target.reset();
        if (s_app && s_app->GetProcess().IsRunning()) {
            EXPECT_TRUE(ClosesCleanly(*s_app));
        }
        s_app.reset();
        s_handDevice.reset();
        DeleteRegistryValue(HKEY_CURRENT_USER, settingstest::kRunKey, settingstest::kRunValueName, KEY_WOW64_64KEY);
        DeleteRegistryTree(HKEY_CURRENT_USER, L"SOFTWARE\\TAPWIRE");
    }

    const Window& Dialog() const { return s_dialog; }
    std::wstring Settings() const { return s_app->SettingsPath(); }

    // The scanner writes `bytes` on its side of the pair; everything typed so
    // far must then be in the window, in order.
    void ExpectTyped(const ComPair& pair, const std::vector<uint8_t>& bytes, const std::wstring& text)
    {
        s_expected += text;
        s_target->Activate();
        ScannerPort(pair.scannerPort).Write(bytes);
        EXPECT_EQ(s_target->WaitForText(s_expected.size(), kTimeoutMs), s_expected);
    }

    // Posts a menu command and waits until Config.ini holds the value.
    ::testing::AssertionResult Choose(UINT command, const std::string& key, const std::string& value)
    {
        Dialog().PostCommand(static_cast<int>(command));
        std::optional<std::vector<IniEntry>> entries;
        const bool stored = WaitUntil(
            [&] {
                entries = settingstest::ReadSettings(Settings());
                if (!entries)
                    return false;
                for (const IniEntry& entry : *entries)
                    if (entry.key == key)
                        return entry.value == value;
                return false;
            },
            kTimeoutMs);
        if (stored)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "Config.ini has no " << key << "=" << value << " after command "
                                             << command;
    }

    static ComPair s_hand, s_scanner;
    static std::unique_ptr<FakePortsDevice> s_handDevice;
    static std::unique_ptr<TapwireApp> s_app;
    static Window s_dialog;
    static std::unique_ptr<TargetWindow> s_target;
    static std::wstring s_expected;
};

ComPair Win32Tapwire::s_hand{}, Win32Tapwire::s_scanner{};
std::unique_ptr<FakePortsDevice> Win32Tapwire::s_handDevice;
std::unique_ptr<TapwireApp> Win32Tapwire::s_app;
Window Win32Tapwire::s_dialog;
std::unique_ptr<TargetWindow> Win32Tapwire::s_target;
std::wstring Win32Tapwire::s_expected;

}  // namespace

TEST_F(Win32Tapwire, StartsAsA32BitProgramAndWritesTheDefaults)
{
    EXPECT_TRUE(IsWow64(s_app->GetProcess())) << "Tapwire.exe under test is not a 32-bit program";
    EXPECT_EQ(Dialog().ClassName(), kDialogClass);
    EXPECT_EQ(Dialog().Child(kPortList).ComboSelectedText(), s_handDevice->Info().friendlyName);
    EXPECT_EQ(settingstest::ReadSettings(Settings()), settingstest::DefaultSettingsFile());
}

TEST_F(Win32Tapwire, TypesAUtf8ScanWithACharacterBeyondTheBasicPlane)
{
    ASSERT_TRUE(shelltest::StartByHand(Dialog()));
    Sleep(kPortThreadStartMs);
    // "A中😀é" and Enter: one, three, four and two bytes.
    ExpectTyped(s_hand, {0x41, 0xE4, 0xB8, 0xAD, 0xF0, 0x9F, 0x98, 0x80, 0xC3, 0xA9, 0x0D},
                L"A\u4E2D\U0001F600\u00E9\r");
    EXPECT_TRUE(shelltest::StopByHand(Dialog()));
}

TEST_F(Win32Tapwire, AnEncodingChosenFromTheMenuIsStoredAndTypesGbk)
{
    ASSERT_TRUE(Choose(settingstest::kEncodingIds[4], "Encoding", "4"));
    ASSERT_TRUE(shelltest::StartByHand(Dialog()));
    Sleep(kPortThreadStartMs);
    // "B中文€" in code page 936, the euro sign its single byte 80.
    ExpectTyped(s_hand, {0x42, 0xD6, 0xD0, 0xCE, 0xC4, 0x80, 0x0D}, L"B\u4E2D\u6587\u20AC\r");
    EXPECT_TRUE(shelltest::StopByHand(Dialog()));
}

// The autostart registration is where the program's view of the registry
// matters: on 64-bit Windows it writes the Run key in the 64-bit view.
TEST_F(Win32Tapwire, AStartUpOptionIsStoredAndTheAutostartLandsInThe64BitView)
{
    ASSERT_TRUE(Choose(ID_STARTUP_RUNMINI, "RunMini", "1"));
    ASSERT_TRUE(Choose(ID_STARTUP_BOOTRUN, "BootRun", "1"));
    EXPECT_EQ(RunValue(KEY_WOW64_64KEY), settingstest::QuotedPath(s_app->ExePath()));
    EXPECT_EQ(RunValue(KEY_WOW64_32KEY), settingstest::QuotedPath(s_app->ExePath()))
        << "the current user's Run key is one key in both views";
    ASSERT_TRUE(Choose(ID_STARTUP_NONE, "BootRun", "0"));
    EXPECT_FALSE(RunValue(KEY_WOW64_64KEY).has_value());
    EXPECT_TRUE(Choose(ID_STARTUP_NONE, "RunMini", "0"));

    // The current user's Run key is one key in both views, so where the
    // value went cannot tell whether the program asked for the 64-bit view:
    // the access rights it asked for can. The check at start, the toggle and
    // the removal's opens all carry KEY_WOW64_64KEY (0x100); without it they
    // would be 1, f003f and 20006.
    const std::vector<std::string> rights = AccessRightsOpening(
        ReadFileBytes(TraceFile()).value_or(""), "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run");
    ASSERT_FALSE(rights.empty()) << "no opening of the Run key in the trace " << Narrow(TraceFile());
    for (const std::string& right : rights)
        EXPECT_NE(std::stoul(right, nullptr, 16) & KEY_WOW64_64KEY, 0u) << "the Run key opened with access " << right;
    EXPECT_NE(std::find(rights.begin(), rights.end(), "f013f"), rights.end()) << "no creation for the toggle";
}

TEST_F(Win32Tapwire, HidesInTheTrayAndComesBackOnAClickOfTheIcon)
{
    const size_t before = TrayIcons().size();
    Dialog().PostSysCommand(SC_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return !Dialog().IsVisible(); }, kTimeoutMs)) << "the window stays visible";
    ASSERT_TRUE(WaitUntil([&] { return TrayIcons().size() == before + 1; }, kTimeoutMs))
        << "no icon in the notification area";
    // A click on the icon, as the real mouse on Wine's tray makes it.
    ClickAt(CentreOf(TrayIcons().back()), MouseButton::Left);
    EXPECT_TRUE(WaitUntil([&] { return Dialog().IsVisible() && !Dialog().IsMinimized(); }, kTimeoutMs));
    EXPECT_TRUE(WaitUntil([&] { return TrayIcons().size() == before; }, kTimeoutMs)) << "the icon stays";
}

TEST_F(Win32Tapwire, AScannerThatArrivesIsOpenedAndItsRemovalStopsIt)
{
    const std::wstring vidPid = L"VID_2E9B&PID_0002";
    FakePortsDevice scanner(shelltest::ScannerDevice(vidPid, s_scanner.appPort));
    ASSERT_TRUE(shelltest::SendDeviceArrival(Dialog(), shelltest::InterfaceName(vidPid)));
    EXPECT_TRUE(WaitUntil([&] { return shelltest::ShowsStarted(Dialog()); }, kTimeoutMs));
    EXPECT_EQ(Dialog().Child(kPortList).ComboSelectedText(), scanner.Info().friendlyName);
    Sleep(kPortThreadStartMs);
    // Still GBK from the test before.
    ExpectTyped(s_scanner, {0x53, 0xC9, 0xA8, 0x0D}, L"S\u626B\r");

    scanner.Remove();
    ASSERT_TRUE(shelltest::SendDeviceRemoval(Dialog(), shelltest::InterfaceName(vidPid)));
    EXPECT_TRUE(WaitUntil([&] { return shelltest::ShowsStopped(Dialog()); }, kTimeoutMs));
    EXPECT_EQ(Dialog().Child(kPortList).ComboItems().size(), 1u);
}

TEST_F(Win32Tapwire, ASecondLaunchBringsBackTheFirstWindowAndEnds)
{
    Dialog().PostSysCommand(SC_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return !Dialog().IsVisible(); }, kTimeoutMs));
    Process second = s_app->Launch();
    ASSERT_TRUE(second.WaitForExit(kStartMs)) << "the second instance did not end";
    EXPECT_FALSE(IsCrashExitCode(*second.ExitCode()));
    EXPECT_TRUE(WaitUntil([&] { return Dialog().IsVisible() && !Dialog().IsMinimized(); }, kTimeoutMs))
        << "the first window is not back";
    EXPECT_TRUE(s_app->GetProcess().IsRunning());
}
