// What the settings tests share: the keys of Config.ini, the menu positions
// and texts, a fixture that leaves the registry as it found it, and small
// helpers around a running Tapwire.exe.
#pragma once

#include "AppProbe.h"
#include "HarnessEnv.h"
#include "IniFile.h"
#include "PortsDevice.h"
#include "Process.h"
#include "Registry.h"
#include "TapwireApp.h"
#include "TapwireAssertions.h"
#include "Window.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace settingstest {

using namespace wineharness;

// --- Config.ini ------------------------------------------------------------

constexpr char kUart[] = "Uart Setting";
constexpr char kStart[] = "Start Setting";
constexpr char kLanguage[] = "Language Setting";
constexpr char kEncoding[] = "Encoding Setting";

// The file a start without Config.ini leaves: the ten keys at their
// defaults, in the order the load writes them.
std::vector<IniEntry> DefaultSettingsFile();

// A complete file with every key given, in the same layout as the defaults.
struct SettingsValues {
    std::string language = "1";
    std::string bootRun = "0";
    std::string runMini = "0";
    std::string runStart = "0";
    std::string encoding = "3";
    std::string comPort = "0";
    std::string baudRate = "5";
    std::string parityBit = "0";
    std::string dataBit = "1";
    std::string stopBit = "0";
};
std::vector<IniEntry> SettingsFile(const SettingsValues& values);

// The entries with the values of some keys replaced; each key must be there
// (key names do not repeat across the sections of Config.ini).
using KeyValues = std::vector<std::pair<std::string, std::string>>;
std::vector<IniEntry> WithValues(std::vector<IniEntry> entries, const KeyValues& changes);

// The file's entries; nothing when it cannot be read.
std::optional<std::vector<IniEntry>> ReadSettings(const std::wstring& path);

// --- registry --------------------------------------------------------------

extern const std::wstring kInstallKey;   // HKCU, value "InstallPath"
extern const std::wstring kRunKey;       // HKCU, value "TapwirePath"
extern const std::wstring kRunValueName;

// The Run value as this version registers a program: its path in quotes.
std::wstring QuotedPath(const std::wstring& exePath);
// UTF-16 bytes of a text, with or without its terminator.
std::vector<BYTE> Utf16Bytes(const std::wstring& text, bool terminated);

// Denies everyone every access to the Run key while it lives, so that
// opening the key fails with ERROR_ACCESS_DENIED; gives the key its own
// security back at the end.
class DeniedRunKey {
public:
    DeniedRunKey();
    ~DeniedRunKey();
    DeniedRunKey(const DeniedRunKey&) = delete;
    DeniedRunKey& operator=(const DeniedRunKey&) = delete;

private:
    std::vector<BYTE> m_savedSecurity;
};

// --- menus -----------------------------------------------------------------

// By position in "Start up" (menu bar 0 › 0).
constexpr UINT kStartUpIds[4] = {ID_STARTUP_NONE, ID_STARTUP_BOOTRUN, ID_STARTUP_RUNMINI, ID_STARTUP_RUNSTART};
// By encoding index, which is also the position in "Encoding" (0 › 1).
constexpr UINT kEncodingIds[9] = {ID_ENCODING_ASCII, ID_ENCODING_UNICODE, ID_ENCODING_UNICODE_BE,
                                  ID_ENCODING_UTF8,  ID_ENCODING_GBK,     ID_ENCODING_SHIFT_JIS,
                                  ID_ENCODING_THAI,  ID_ENCODING_LATIN1,  ID_ENCODING_ARABIC};

// The check marks of "Start up" by position, and of "Encoding" by index.
struct MenuChecks {
    std::array<bool, 4> startUp{};
    std::array<bool, 9> encoding{};

    bool operator==(const MenuChecks& other) const
    {
        return startUp == other.startUp && encoding == other.encoding;
    }
};
void PrintTo(const MenuChecks& checks, std::ostream* out);
// The checks as the settings of the options and the encoding index give
// them: "None" exactly when no option is set, no encoding outside 0 to 8.
MenuChecks ExpectedChecks(bool bootRun, bool runMini, bool runStart, int encoding);
// Throws HarnessError when the menu bar does not have its two submenus.
MenuChecks ReadChecks(AppProbe& probe);

// Every run-time text of the dialog and the menu bar in one language.
struct InterfaceTexts {
    std::wstring group, labelPort, labelBaud, labelParity, labelDataBits, labelStopBits;
    std::wstring buttonStopped, buttonStarted, statusStopped, statusStarted;
    std::wstring settings, help, startUp, encoding;
    std::array<std::wstring, 4> startUpEntries;
    std::array<std::wstring, 9> encodingEntries;
    std::wstring about;
    std::wstring typing;
    std::array<std::wstring, 6> typingEntries;   // the four pauses, then the two ways of typing
    std::wstring statusTypingFailed;             // the status line while a scan could not be typed
};
const InterfaceTexts& EnglishTexts();
const InterfaceTexts& ChineseTexts();
const InterfaceTexts& JapaneseTexts();
// Checks every text of the dialog and of the menu bar against one language;
// `started` chooses the texts of the Start/Stop button and the status line.
void ExpectTexts(const Window& dialog, AppProbe& probe, const InterfaceTexts& texts, bool started);

// "Typing" (0 › 2): the pauses at positions 0 to 3, a separator, the ways of
// typing at 5 and 6; their ids in that order, and their check marks.
constexpr UINT kTypingIds[6] = {ID_TYPING_NO_PAUSE, ID_TYPING_PAUSE_5, ID_TYPING_PAUSE_20,
                                ID_TYPING_PAUSE_50, ID_TYPING_UNICODE, ID_TYPING_KEYS};
using TypingChecks = std::array<bool, 6>;
// The checks a pause (0, 5, 20, 50) and a way of typing (0 Unicode, 1 keys) give.
TypingChecks ExpectedTypingChecks(int delayMs, int keyMode);
// Throws HarnessError when there is no Typing menu of its seven entries.
TypingChecks ReadTypingChecks(AppProbe& probe);

// Posts a menu command and waits until the program has handled it.
void Command(const Window& dialog, AppProbe& probe, UINT id);
// Posts a click notification of a radio button (1036 English, 1037 Chinese)
// as the button itself would send it, and waits until it has been handled.
void ClickNotification(const Window& dialog, AppProbe& probe, int buttonId);

// --- the program -----------------------------------------------------------

// A Tapwire process started from an app's folder without waiting for a
// visible window: for starts that show a message box first or hide their
// window at once. Declare it after the TapwireApp, whose folder it runs from.
class TapwireRun {
public:
    explicit TapwireRun(const TapwireApp& app) : m_process(app.Launch()) {}
    ~TapwireRun() { m_process.Terminate(); }
    TapwireRun(const TapwireRun&) = delete;
    TapwireRun& operator=(const TapwireRun&) = delete;

    const Process& GetProcess() const { return m_process; }
    // The main window once it exists, visible or not; throws when it does
    // not come.
    Window WaitForWindow(DWORD timeoutMs = 15000) const;
    // WM_CLOSE and the end of the process; true when it ended by itself and
    // not by a crash.
    bool CloseCleanly(const Window& window, DWORD timeoutMs = 10000) const;

private:
    Process m_process;
};


// Serial ports of the "Ports" class for the harness's pairs (app side):
// "USB Serial Device (COM7)", ... of a maker other than the scanner's, so
// the port list holds them in order with the first one preselected.
class PortDevices {
public:
    explicit PortDevices(size_t count);
    const std::vector<ComPair>& Pairs() const { return m_pairs; }

private:
    std::vector<ComPair> m_pairs;
    std::vector<std::unique_ptr<FakePortsDevice>> m_devices;
};

// What the dialog's lists show: the selected position of each (CB_ERR when
// none), in the order port, baud rate, parity, data bits, stop bits.
std::array<int, 5> ListSelections(const Window& dialog);

// Every test starts without Tapwire running, without the install folder key
// and without the Run value, and leaves none of them behind.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    ScopedRegistryKey m_installKey{HKEY_CURRENT_USER, kInstallKey};
};

}  // namespace settingstest
