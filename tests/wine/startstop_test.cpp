// Tapwire.exe's port list, Start and Stop, seen from outside: which ports are
// listed and preselected, what the window shows in each state, the message
// for a port that cannot be opened, ports above COM9, and many Stop/Start
// cycles while a scanner keeps sending.
#include "HarnessEnv.h"
#include "IniFile.h"
#include "Measure.h"
#include "PortsDevice.h"
#include "Process.h"
#include "Registry.h"
#include "ScannerPort.h"
#include "TapwireApp.h"
#include "TapwireAssertions.h"
#include "TargetWindow.h"
#include "Window.h"

#include <gtest/gtest.h>

#include <dbt.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace wineharness;

namespace {

const std::wstring kInstallKey = L"SOFTWARE\\TAPWIRE";
constexpr int kPortList = 1019;
constexpr int kStartStop = 1017;
constexpr int kStatusLine = 1048;
constexpr int kSettingControls[] = {1019, 1003, 1004, 1005, 1006};
constexpr int kEnglishButton = 1036;

const std::wstring kOpenFailure = L"COMが見つからない、または開放できませんでした。";

// The button and status texts of the two states in Japanese, the language of
// every start.
struct StateTexts {
    std::wstring button;
    std::wstring status;
};
const StateTexts kStoppedJapanese{L"接続", L"    接続状態: 切断"};
const StateTexts kStartedJapanese{L"切断", L"    接続状態: 接続"};

const std::wstring kPortsClassGuid = L"{4D36E978-E325-11CE-BFC1-08002BE10318}";

PortsDeviceInfo ComPort(const std::wstring& instance, const std::wstring& friendlyName,
                        const std::wstring& hardwareId)
{
    return {instance, friendlyName, {hardwareId}};
}

// The maker's scanner (first of the three VID/PID pairs) on COM<n>.
PortsDeviceInfo Scanner(int port, const std::wstring& serial = L"1")
{
    return ComPort(L"USB\\VID_2E9B&PID_0002\\5&SCAN&0&" + serial,
                   L"USB Serial Device (COM" + std::to_wstring(port) + L")",
                   L"USB\\VID_2E9B&PID_0002&REV_0100");
}


// Settings that leave the port stopped at start, in the given encoding.
void WriteSettings(const TapwireApp& app, int encoding)
{
    WriteFileBytes(app.SettingsPath(),
                  "[Encoding Setting]\r\nEncoding=" + std::to_string(encoding) +
                      "\r\n[Start Setting]\r\nBootRun=0\r\nRunMini=0\r\nRunStart=0\r\n"
                      "[Language Setting]\r\nLanguage=3\r\n"
                      "[Uart Setting]\r\nComPort=0\r\nBaudRate=9\r\nParityBit=0\r\nDataBit=1\r\nStopBit=0\r\n");
}

class StartStopTest : public ::testing::Test {
protected:
    void SetUp() override { TerminateProcessesByName(kTapwireExeName); }
    void TearDown() override
    {
        EXPECT_EQ(TerminateProcessesByName(kTapwireExeName), 0u) << "a Tapwire process outlived its test";
    }

    void AddDevice(const PortsDeviceInfo& info) { m_devices.push_back(std::make_unique<FakePortsDevice>(info)); }

    ScopedRegistryKey m_installKey{HKEY_CURRENT_USER, kInstallKey};
    std::vector<std::unique_ptr<FakePortsDevice>> m_devices;
};

StateTexts ShownTexts(const Window& dialog)
{
    return {dialog.Child(kStartStop).Text(), dialog.Child(kStatusLine).Text()};
}

bool Shows(const Window& dialog, const StateTexts& texts)
{
    const StateTexts shown = ShownTexts(dialog);
    return shown.button == texts.button && shown.status == texts.status;
}

// Presses Start/Stop and waits until the window shows `expected`. The button's
// notification is posted rather than a click sent to it: a click activates
// Tapwire's window, and what is typed would then land there.
::testing::AssertionResult Toggle(const Window& dialog, const StateTexts& expected, DWORD timeoutMs = 5000)
{
    dialog.PostCommand(kStartStop, BN_CLICKED, dialog.Child(kStartStop).Handle());
    if (WaitUntil([&] { return Shows(dialog, expected); }, timeoutMs, 2))
        return ::testing::AssertionSuccess();
    const StateTexts shown = ShownTexts(dialog);
    return ::testing::AssertionFailure() << "the window shows \"" << Narrow(shown.button) << "\" / \""
                                         << Narrow(shown.status) << "\"";
}

void ExpectSettingControlsEnabled(const Window& dialog, bool enabled)
{
    for (int id : kSettingControls)
        EXPECT_EQ(dialog.Child(id).IsEnabled(), enabled) << "control " << id;
    EXPECT_TRUE(dialog.Child(kStartStop).IsEnabled());
}

}  // namespace

// --- the port list ------------------------------------------------------------

struct PortListCase {
    const char* name;
    std::vector<PortsDeviceInfo> devices;  // in the order Wine enumerates them
    std::vector<std::wstring> entries;     // the list as shown
    int selection;                         // after a scanner's arrival, if there is one
};
void PrintTo(const PortListCase& c, std::ostream* out) { *out << c.name; }

class PortList : public StartStopTest, public ::testing::WithParamInterface<PortListCase> {};

const GUID kUsbDeviceInterface = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

// The list shows the ports' friendly names ("LPT1" left out) in the order the
// system enumerates them. At start-up the stored port position selects
// (position 0 here); when one of the maker's scanners arrives, the list is
// made again with the last scanner selected.
TEST_P(PortList, ListsThePortsAndAScannersArrivalSelectsTheLastScanner)
{
    const PortListCase& c = GetParam();
    for (const PortsDeviceInfo& device : c.devices)
        AddDevice(device);
    std::vector<std::wstring> enumerated;
    for (const PortsDeviceInfo& device : ListPresentPortsDevices())
        enumerated.push_back(device.friendlyName);
    std::vector<std::wstring> registered;
    for (const PortsDeviceInfo& device : c.devices)
        registered.push_back(device.friendlyName);
    ASSERT_EQ(enumerated, registered) << "the case assumes another enumeration order";

    TapwireApp app;
    WriteSettings(app, 0);
    const Window dialog = app.Start();
    const Window list = dialog.Child(kPortList);
    EXPECT_EQ(list.ComboItems(), c.entries);
    EXPECT_EQ(list.ComboSelection(), c.entries.empty() ? CB_ERR : 0);

    const bool hasScanner = c.selection > 0;
    if (hasScanner) {
        // The scanner's port may not exist here: Start then shows its message.
        if (!SendDeviceInterfaceChange(dialog, DBT_DEVICEARRIVAL,
                                       L"\\\\?\\USB#VID_2E9B&PID_0002#SCAN#{a5dcbf10-6530-11d2-901f-00c04fb951ed}",
                                       kUsbDeviceInterface, 3000)) {
            const std::optional<MessageBoxInfo> box = FindMessageBox(app.GetProcess().Id());
            ASSERT_TRUE(box.has_value()) << "the arrival's handler neither returned nor showed a message";
            EXPECT_EQ(box->text, kOpenFailure);
            EXPECT_TRUE(PressOk(*box));
        }
        EXPECT_TRUE(WaitUntil([&] { return list.ComboSelection() == c.selection; }, 3000))
            << "selection " << list.ComboSelection();
        EXPECT_EQ(list.ComboItems(), c.entries);
    }
    EXPECT_TRUE(ClosesCleanly(app));
}

INSTANTIATE_TEST_SUITE_P(
    Devices, PortList,
    ::testing::Values(
        PortListCase{"SerialPrinterAndScanner",
                     {ComPort(L"ACPI\\PNP0401\\1", L"Printer Port (LPT1)", L"ACPI\\PNP0401"),
                      ComPort(L"ACPI\\PNP0501\\1", L"Communications Port (COM1)", L"ACPI\\PNP0501"),
                      Scanner(7)},
                     {L"Communications Port (COM1)", L"USB Serial Device (COM7)"},
                     1},
        PortListCase{"TwoScannersTheLastWins",
                     {ComPort(L"ACPI\\PNP0501\\1", L"Communications Port (COM1)", L"ACPI\\PNP0501"),
                      ComPort(L"USB\\VID_0483&PID_5740\\A", L"Scanner A (COM45)", L"USB\\VID_0483&PID_5740&REV_0200"),
                      ComPort(L"USB\\VID_2E9B&PID_0201\\B", L"Scanner B (COM46)", L"USB\\VID_2E9B&PID_0201&REV_0100"),
                      ComPort(L"USB\\VID_9999&PID_0001\\C", L"Other USB (COM48)", L"USB\\VID_9999&PID_0001")},
                     {L"Communications Port (COM1)", L"Scanner A (COM45)", L"Scanner B (COM46)", L"Other USB (COM48)"},
                     2},
        PortListCase{"NoScanner",
                     {ComPort(L"ACPI\\PNP0501\\3", L"Communications Port (COM3)", L"ACPI\\PNP0501"),
                      ComPort(L"ACPI\\PNP0501\\4", L"Communications Port (COM4)", L"ACPI\\PNP0501")},
                     {L"Communications Port (COM3)", L"Communications Port (COM4)"},
                     0},
        PortListCase{"LowerCaseHardwareId",
                     {ComPort(L"ACPI\\PNP0501\\1", L"Communications Port (COM1)", L"ACPI\\PNP0501"),
                      ComPort(L"USB\\VID_2E9B&PID_0201\\LC", L"usb scanner (COM49)", L"usb\\vid_2e9b&pid_0201&rev_0100")},
                     {L"Communications Port (COM1)", L"usb scanner (COM49)"},
                     1},
        PortListCase{"NoPortsAtAll", {}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A first start, without Config.ini, with a scanner plugged in: the list
// keeps the scanner's entry that it preselected, the settings file stores
// that position, and Start opens the scanner's port.
TEST_F(StartStopTest, FirstStartWithAScannerPluggedInShowsStoresAndOpensTheScanner)
{
    const ComPair pair = ComPairs().at(0);
    AddDevice(ComPort(L"ACPI\\PNP0501\\1", L"Communications Port (COM1)", L"ACPI\\PNP0501"));
    AddDevice(Scanner(pair.appPort));
    const std::wstring scannerEntry = L"USB Serial Device (COM" + std::to_wstring(pair.appPort) + L")";
    TapwireApp app;
    ASSERT_FALSE(FileExists(app.SettingsPath()));
    const Window dialog = app.Start();
    const Window list = dialog.Child(kPortList);
    ASSERT_EQ(list.ComboItems(), (std::vector<std::wstring>{L"Communications Port (COM1)", scannerEntry}));
    EXPECT_EQ(list.ComboSelection(), 1);
    EXPECT_EQ(list.ComboSelectedText(), scannerEntry);
    const std::optional<std::string> settings = ReadFileBytes(app.SettingsPath());
    ASSERT_TRUE(settings.has_value()) << "no Config.ini after the first start";
    EXPECT_EQ(IniValue(ParseIni(*settings), "Uart Setting", "ComPort"), "1");

    TargetWindow target;
    ASSERT_TRUE(Toggle(dialog, kStartedJapanese)) << "the scanner's port did not open";
    EXPECT_FALSE(FindMessageBox(app.GetProcess().Id()).has_value());
    ScannerPort scanner(pair.scannerPort);
    scanner.Write(std::string("A"));
    EXPECT_EQ(target.WaitForText(1, 5000), L"A");
    EXPECT_TRUE(ClosesCleanly(app));
}

// The table of port names has 256 places: ports beyond them are not listed,
// and the program goes on working.
TEST_F(StartStopTest, MoreThan256PortsListTheFirst256)
{
    constexpr int kPorts = 260;
    for (int i = 0; i < kPorts; ++i) {
        wchar_t instance[64];
        swprintf(instance, 64, L"ACPI\\PNP0501\\%04d", i);
        AddDevice(ComPort(instance, L"Port (COM" + std::to_wstring(100 + i) + L")", L"ACPI\\PNP0501"));
    }
    ASSERT_EQ(ListPresentPortsDevices().size(), static_cast<size_t>(kPorts));
    TapwireApp app;
    const Window dialog = app.Start(30000);
    const std::vector<std::wstring> items = dialog.Child(kPortList).ComboItems();
    ASSERT_EQ(items.size(), 256u);
    EXPECT_EQ(dialog.Child(kPortList).ComboSelection(), 0);
    // Still serving its window: Start tries the first port (which does not exist).
    dialog.Child(kStartStop).Click();
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app.GetProcess().Id(), 5000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, kOpenFailure);
    EXPECT_TRUE(PressOk(*box));
    EXPECT_TRUE(ClosesCleanly(app));
}

// Devices the list has to cope with: a friendly name without parentheses, an
// empty one, a hardware id that cannot be read. The program starts and
// lists what the rules make of them.
TEST_F(StartStopTest, OddDevicesDoNotStopTheList)
{
    AddDevice(ComPort(L"ACPI\\PNP0501\\1", L"Communications Port (COM41)", L"ACPI\\PNP0501"));
    AddDevice(ComPort(L"ACPI\\PNP0501\\2", L"Port without parentheses", L"ACPI\\PNP0501"));
    AddDevice(ComPort(L"ACPI\\PNP0501\\3", L"", L"ACPI\\PNP0501"));
    TapwireApp app;
    const Window dialog = app.Start();
    EXPECT_EQ(dialog.Child(kPortList).ComboItems().size(), 3u);
    // Start on the first (which does not exist here): the open failure.
    dialog.Child(kStartStop).Click();
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app.GetProcess().Id(), 5000);
    ASSERT_TRUE(box.has_value());
    EXPECT_TRUE(PressOk(*box));
    EXPECT_TRUE(Shows(dialog, kStoppedJapanese));
    EXPECT_TRUE(ClosesCleanly(app));
}

// A device whose hardware id cannot be read is listed, and the list ends
// with it: the devices after it are not looked at.
TEST_F(StartStopTest, ADeviceWithoutAHardwareIdEndsTheList)
{
    AddDevice(ComPort(L"ACPI\\PNP0501\\1", L"Communications Port (COM41)", L"ACPI\\PNP0501"));
    AddDevice({L"ACPI\\PNP0501\\2", L"Mystery Port (COM42)", {}});
    AddDevice(ComPort(L"ACPI\\PNP0501\\3", L"Communications Port (COM43)", L"ACPI\\PNP0501"));
    ASSERT_EQ(ListPresentPortsDevices().size(), 3u);
    TapwireApp app;
    const Window dialog = app.Start();
    EXPECT_EQ(dialog.Child(kPortList).ComboItems(),
              (std::vector<std::wstring>{L"Communications Port (COM41)", L"Mystery Port (COM42)"}));
    EXPECT_TRUE(ClosesCleanly(app));
}

// --- Start and Stop -----------------------------------------------------------

TEST_F(StartStopTest, StartWithAnEmptyPortListDoesNothing)
{
    TapwireApp app;
    const Window dialog = app.Start();
    ASSERT_TRUE(dialog.Child(kPortList).ComboItems().empty());
    ASSERT_TRUE(Shows(dialog, kStoppedJapanese));
    dialog.Child(kStartStop).Click();
    EXPECT_FALSE(WaitForMessageBox(app.GetProcess().Id(), 1000).has_value());
    EXPECT_TRUE(Shows(dialog, kStoppedJapanese));
    ExpectSettingControlsEnabled(dialog, true);
    EXPECT_TRUE(ClosesCleanly(app));
}

// Started: the texts change, the five setting controls are disabled, and
// bytes arriving at the port are typed; stopped: all back, nothing typed.
TEST_F(StartStopTest, TheWindowFollowsTheStateAndOnlyAStartedPortTypes)
{
    const ComPair pair = ComPairs().at(0);
    AddDevice(Scanner(pair.appPort));
    TargetWindow target;
    TapwireApp app;
    WriteSettings(app, 0);
    const Window dialog = app.Start();
    ASSERT_TRUE(Shows(dialog, kStoppedJapanese));
    ExpectSettingControlsEnabled(dialog, true);
    ScannerPort scanner(pair.scannerPort);

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(Toggle(dialog, kStartedJapanese));
        ExpectSettingControlsEnabled(dialog, false);
        target.Activate();
        const size_t before = target.Text().size();
        scanner.Write(std::string("4006381333931\r"));
        EXPECT_EQ(target.WaitForText(before + 14, 5000).substr(before), L"4006381333931\r");

        ASSERT_TRUE(Toggle(dialog, kStoppedJapanese));
        ExpectSettingControlsEnabled(dialog, true);
        // Bytes sent to a stopped port are not typed (and are purged by the
        // next Start).
        scanner.Write(std::string("XYZ"));
        Sleep(300);
        EXPECT_EQ(target.Text().size(), before + 14);
    }
    EXPECT_TRUE(ClosesCleanly(app));
}

// A port that is listed but cannot be opened (gone since the list was made):
// the Japanese message in every interface language, and the state stays
// Stopped.
TEST_F(StartStopTest, APortThatCannotBeOpenedShowsTheJapaneseMessageInEveryLanguage)
{
    AddDevice(Scanner(9));  // the harness links no COM9
    TapwireApp app;
    const Window dialog = app.Start();
    struct Language {
        int button;       // 0: the Japanese of the start
        std::wstring startText;
    };
    for (const Language& language : {Language{0, L"接続"}, Language{kEnglishButton, L"Start"},
                                     Language{1037, L"开始"}}) {
        if (language.button) {
            dialog.PostCommand(language.button, BN_CLICKED, dialog.Child(language.button).Handle());
            ASSERT_TRUE(WaitUntil([&] { return dialog.Child(kStartStop).Text() == language.startText; }, 5000));
        }
        const StateTexts stopped = ShownTexts(dialog);
        dialog.Child(kStartStop).Click();
        const std::optional<MessageBoxInfo> box = WaitForMessageBox(app.GetProcess().Id(), 5000);
        ASSERT_TRUE(box.has_value()) << "no message box for " << Narrow(language.startText);
        EXPECT_EQ(box->text, kOpenFailure);
        EXPECT_TRUE(PressOk(*box));
        EXPECT_EQ(ShownTexts(dialog).button, stopped.button);
        EXPECT_EQ(ShownTexts(dialog).status, stopped.status);
        ExpectSettingControlsEnabled(dialog, true);
    }
    EXPECT_TRUE(ClosesCleanly(app));
}

TEST_F(StartStopTest, PortsAboveCom9OpenAndType)
{
    std::optional<ComPair> high;
    for (const ComPair& pair : ComPairs())
        if (pair.appPort >= 10)
            high = pair;
    if (!high)
        GTEST_SKIP() << "the harness has no port above COM9";
    AddDevice(Scanner(high->appPort));
    TargetWindow target;
    TapwireApp app;
    WriteSettings(app, 0);
    const Window dialog = app.Start();
    ASSERT_TRUE(Toggle(dialog, kStartedJapanese));
    target.Activate();
    ScannerPort scanner(high->scannerPort);
    scanner.Write(std::string("COM" + std::to_string(high->appPort) + "\r"));
    EXPECT_EQ(target.WaitForText(6, 5000), L"COM" + std::to_wstring(high->appPort) + L"\r");
    EXPECT_TRUE(ClosesCleanly(app));
}

// --- many cycles while the scanner sends ----------------------------------------

namespace {

constexpr char32_t kFirstCharacter = 0x4E00;  // CJK: three bytes each in UTF-8
constexpr char32_t kCharacterRange = 0x5000;

std::string Utf8(char32_t c)
{
    return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

}  // namespace

// Stop, then Start at once, 200 times, while a scanner sends a stream of
// characters with increasing code points. Bytes written while the port is
// stopped are purged by the next Start, bytes still on their way at a Stop are
// typed undecoded, and a character cut by a Stop is dropped, so characters may
// be missing; but none may come twice or out of order, nothing may hang, and
// no handle may be left behind by a cycle.
TEST_F(StartStopTest, TwoHundredStopStartCyclesWhileBytesStream)
{
    const ComPair pair = ComPairs().at(0);
    AddDevice(Scanner(pair.appPort));
    TargetWindow target;
    TapwireApp app;
    WriteSettings(app, 3);  // UTF-8
    const Window dialog = app.Start();
    ASSERT_TRUE(Toggle(dialog, kStartedJapanese));
    target.Activate();

    std::atomic<bool> stop{false};
    std::atomic<size_t> sent{0};
    ScannerPort scanner(pair.scannerPort);
    std::thread writer([&] {
        // About 300 characters a second, in small bursts like a scanner's.
        for (char32_t i = 0; !stop; ++i) {
            scanner.Write(Utf8(kFirstCharacter + i % kCharacterRange));
            ++sent;
            if (i % 6 == 5)
                Sleep(20);
        }
    });

    // A Start waits for the stopped port's thread, which first hands over
    // every byte queued when it saw the stop: a few milliseconds on a quiet
    // machine, over 5 s where other Wine programs keep the processors busy
    // (measured 5.3 s with a second suite running), since then every byte's
    // hand-over waits for its turn. A hang would still end the test.
    constexpr DWORD kCycleTimeoutMs = 30000;
    size_t handlesAfterWarmUp = 0;
    bool completed = true;
    for (int cycle = 0; cycle < 200 && completed; ++cycle) {
        const ::testing::AssertionResult stopped = Toggle(dialog, kStoppedJapanese, kCycleTimeoutMs);
        const ::testing::AssertionResult started = stopped ? Toggle(dialog, kStartedJapanese, kCycleTimeoutMs)
                                                           : ::testing::AssertionFailure();
        if (!stopped || !started) {
            ADD_FAILURE() << "cycle " << cycle << ": " << (stopped ? started.message() : stopped.message());
            completed = false;
        }
        if (cycle == 9)
            handlesAfterWarmUp = HandleCountOf(app.GetProcess().Id());
        Sleep(50);  // some decoding and typing between the cycles
    }
    stop = true;
    writer.join();
    const size_t handlesAtEnd = HandleCountOf(app.GetProcess().Id());
    ASSERT_TRUE(completed);
    Sleep(1500);  // everything still queued arrives
    const std::wstring text = target.Text();

    // The decoded characters only go upwards (a step down only where the
    // sender wrapped around): nothing doubled, nothing out of order.
    size_t decoded = 0;
    size_t undecoded = 0;
    char32_t previous = 0;
    for (wchar_t unit : text) {
        const char32_t c = unit;
        if (c < kFirstCharacter || c >= kFirstCharacter + kCharacterRange) {
            ++undecoded;
            continue;
        }
        if (previous != 0) {
            const char32_t index = c - kFirstCharacter;
            const char32_t last = previous - kFirstCharacter;
            const bool wrapped = index < last && last - index > kCharacterRange / 2;
            ASSERT_TRUE(index > last || wrapped) << "U+" << std::hex << uint32_t(c) << " after U+"
                                                 << uint32_t(previous) << " (character " << std::dec << decoded
                                                 << ")";
        }
        previous = c;
        ++decoded;
    }
    // And all of it, the bytes that were typed undecoded (those on their way
    // at a Stop) included, is an in-order part of what was sent.
    std::string sentBytes;
    for (size_t i = 0; i < sent; ++i)
        sentBytes += Utf8(kFirstCharacter + static_cast<char32_t>(i % kCharacterRange));
    size_t matched = 0;
    for (wchar_t unit : text) {
        std::string bytes;
        if (unit >= kFirstCharacter && unit < kFirstCharacter + kCharacterRange) {
            bytes = Utf8(unit);
        } else {
            // An undecoded byte is typed as the ANSI code page makes it.
            char ansi[4];
            BOOL lossy = FALSE;
            const int n = WideCharToMultiByte(CP_ACP, 0, &unit, 1, ansi, sizeof(ansi), nullptr, &lossy);
            ASSERT_TRUE(n == 1 && !lossy) << "U+" << std::hex << uint32_t(unit) << " is not a byte that was sent";
            bytes.assign(ansi, 1);
        }
        for (char b : bytes) {
            matched = sentBytes.find(b, matched);
            ASSERT_NE(matched, std::string::npos) << "what was typed is not an in-order part of what was sent";
            ++matched;
        }
    }

    EXPECT_GT(decoded, 500u) << "hardly anything was typed (" << sent << " characters sent)";
    EXPECT_GT(handlesAfterWarmUp, 0u);
    EXPECT_LE(handlesAtEnd, handlesAfterWarmUp + 3)
        << "handles after 10 cycles " << handlesAfterWarmUp << ", after 200 " << handlesAtEnd;
    std::printf("[          ] %zu characters sent, %zu typed decoded, %zu bytes typed undecoded; handles %zu -> %zu\n",
                sent.load(), decoded, undecoded, handlesAfterWarmUp, handlesAtEnd);
    EXPECT_TRUE(ClosesCleanly(app));
}
