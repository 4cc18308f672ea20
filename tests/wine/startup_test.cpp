// Tapwire.exe from outside, as a user and the system see it: the single
// instance, the keyboard filter of the main dialog, closing, the install
// folder key in the registry, and the main window's controls at start-up.
#include "AppProbe.h"
#include "HarnessEnv.h"
#include "Process.h"
#include "Registry.h"
#include "TapwireApp.h"
#include "TapwireAssertions.h"
#include "Window.h"

#include <gtest/gtest.h>

#include <map>

using namespace wineharness;

namespace {

const std::wstring kInstallKey = L"SOFTWARE\\TAPWIRE";

// Every control of dialog 102.
const int kControlIds[] = {1038, 1039, 1040, 1041, 1042, 1043, 1003, 1004, 1005,
                           1006, 1017, 1019, 1036, 1037, 1048, 1050, 1051};

// What a user can see of the dialog: every control's text, visibility and
// enabled state, and each combo box's entries and selection.
struct ControlState {
    std::wstring text;
    bool visible;
    bool enabled;
    std::vector<std::wstring> items;
    int selection;

    bool operator==(const ControlState& other) const
    {
        return text == other.text && visible == other.visible && enabled == other.enabled &&
               items == other.items && selection == other.selection;
    }
};

std::map<int, ControlState> DialogState(const Window& dialog)
{
    std::map<int, ControlState> state;
    for (int id : kControlIds) {
        const Window control = dialog.Child(id);
        if (!control)
            continue;
        ControlState s{control.Text(), control.IsVisible(), control.IsEnabled(), {}, CB_ERR};
        if (control.ClassName() == L"ComboBox") {
            s.items = control.ComboItems();
            s.selection = control.ComboSelection();
        }
        state[id] = s;
    }
    return state;
}

class TapwireTest : public ::testing::Test {
protected:
    void SetUp() override { TerminateProcessesByName(kTapwireExeName); }

    void TearDown() override
    {
        EXPECT_EQ(TerminateProcessesByName(kTapwireExeName), 0u)
            << "a Tapwire process outlived its test";
    }

    // Each test starts without the install key and leaves none behind.
    ScopedRegistryKey m_installKey{HKEY_CURRENT_USER, kInstallKey};
};

}  // namespace

// --- single instance ------------------------------------------------------

struct FirstWindowCase {
    const char* name;
    int showCommand;  // applied to the first window before the second launch; -1: none
    bool (*isInState)(const Window&);
};
void PrintTo(const FirstWindowCase& c, std::ostream* out) { *out << c.name; }

class TapwireSecondLaunch : public TapwireTest,
                            public ::testing::WithParamInterface<FirstWindowCase> {};

TEST_P(TapwireSecondLaunch, ShowsTheFirstWindowInNormalStateAndExits)
{
    const FirstWindowCase& c = GetParam();
    TapwireApp app;
    const Window first = app.Start();
    if (c.showCommand >= 0) {
        first.Show(c.showCommand);
        ASSERT_TRUE(WaitUntil([&] { return c.isInState(first); }, 5000))
            << "the first window did not take the state to start from";
    }

    Process second = app.Launch();
    ASSERT_TRUE(second.WaitForExit(5000)) << "the second instance did not exit";
    EXPECT_FALSE(IsCrashExitCode(*second.ExitCode()));

    EXPECT_TRUE(WaitUntil([&] { return first.IsVisible() && !first.IsMinimized(); }, 3000))
        << "visible " << first.IsVisible() << ", minimised " << first.IsMinimized();
    EXPECT_EQ(first.ShowCmd(), static_cast<UINT>(SW_SHOWNORMAL));
    EXPECT_TRUE(app.GetProcess().IsRunning());
    const std::vector<Window> windows = FindTopLevelWindows(kTapwireCaption);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].Handle(), first.Handle());
    EXPECT_TRUE(ClosesCleanly(app));
}

INSTANTIATE_TEST_SUITE_P(
    FirstWindow, TapwireSecondLaunch,
    ::testing::Values(
        FirstWindowCase{"Visible", -1, [](const Window& w) { return w.IsVisible(); }},
        FirstWindowCase{"Hidden", SW_HIDE, [](const Window& w) { return !w.IsVisible(); }},
        FirstWindowCase{"Minimized", SW_MINIMIZE, [](const Window& w) { return w.IsMinimized(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- keyboard filter and closing ------------------------------------------

TEST_F(TapwireTest, EnterAndEscapeInAnyControlDoNothing)
{
    TapwireApp app;
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    const std::map<int, ControlState> before = DialogState(dialog);
    ASSERT_FALSE(before.empty());

    // 0 stands for the dialog itself.
    for (int id : {0, 1003, 1004, 1005, 1006, 1019, 1017}) {
        const Window target = id ? dialog.Child(id) : dialog;
        ASSERT_TRUE(target) << "no control " << id;
        for (WORD key : {VK_RETURN, VK_ESCAPE}) {
            SCOPED_TRACE("key " + std::to_string(key) + " to control " + std::to_string(id));
            target.PostKeyPress(key);
            // The program has handled the key once the probe answers; a
            // dialog that closed on it never answers.
            ASSERT_TRUE(probe.Sync()) << "Tapwire did not come back from the key";
            ASSERT_TRUE(app.GetProcess().IsRunning());
            ASSERT_TRUE(dialog.IsVisible());
        }
    }
    EXPECT_TRUE(DialogState(dialog) == before) << "a control changed on Enter or Escape";
    EXPECT_TRUE(ClosesCleanly(app));
}

struct CloseCase {
    const char* name;
    void (*close)(const Window&);
};
void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }

class TapwireClose : public TapwireTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(TapwireClose, EndsTheProcess)
{
    TapwireApp app;
    const Window dialog = app.Start();
    GetParam().close(dialog);
    ASSERT_TRUE(app.GetProcess().WaitForExit(10000)) << "Tapwire did not end";
    EXPECT_FALSE(IsCrashExitCode(*app.GetProcess().ExitCode()))
        << std::hex << "exit code 0x" << *app.GetProcess().ExitCode();
    EXPECT_TRUE(FindTopLevelWindows(kTapwireCaption).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Way, TapwireClose,
    ::testing::Values(CloseCase{"WmClose", [](const Window& w) { w.PostClose(); }},
                      CloseCase{"CloseBox", [](const Window& w) { w.PostSysCommand(SC_CLOSE); }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- install folder in the registry ---------------------------------------

TEST_F(TapwireTest, FirstRunCreatesTheEmptyInstallKey)
{
    ASSERT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kInstallKey));
    TapwireApp app;
    app.Start();
    const std::optional<RegistryKeyCounts> counts = CountRegistryKey(HKEY_CURRENT_USER, kInstallKey);
    ASSERT_TRUE(counts.has_value()) << "no HKCU\\SOFTWARE\\TAPWIRE after the first run";
    EXPECT_EQ(counts->values, 0u);
    EXPECT_EQ(counts->subKeys, 0u);
    EXPECT_TRUE(ClosesCleanly(app));
}

namespace {

RegistryValue Utf16Value(DWORD type, const std::wstring& text, bool terminated)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {type, std::vector<BYTE>(bytes, bytes + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t))};
}

// Candidate homes of the settings file besides the program's own folder:
// a plain other folder, and folders whose full paths have exactly 129
// characters (the longest that fits the 260-byte buffer with its
// terminator) and 130 characters (one too many).
class OtherFolders {
    ScratchFolder m_base;  // first: made before the folders in it

public:
    OtherFolders() : plain(MakeFolder(L"plain", 0)), fits(MakeFolder(L"", 129)), tooLong(MakeFolder(L"", 130)) {}

    const std::wstring plain;
    const std::wstring fits;
    const std::wstring tooLong;

private:
    std::wstring MakeFolder(const std::wstring& name, size_t length) const
    {
        std::wstring path = m_base.Path() + L"\\" + name;
        if (length)
            path += std::wstring(length - path.size(), static_cast<wchar_t>(L'a' + length % 26));
        if (!CreateDirectoryW(path.c_str(), nullptr))
            ThrowLastError("cannot create " + Narrow(path));
        return path;
    }
};

enum class SettingsHome { ProgramFolder, Plain, Fits };

}  // namespace

struct InstallPathCase {
    const char* name;
    // The value to store; with nothing, the key is there without the value.
    std::optional<RegistryValue> (*value)(const OtherFolders&);
    SettingsHome home;  // where the program keeps its settings file then
};
void PrintTo(const InstallPathCase& c, std::ostream* out) { *out << c.name; }

class TapwireInstallPath : public TapwireTest, public ::testing::WithParamInterface<InstallPathCase> {};

// Whatever the value holds, the program starts, keeps serving its window,
// takes its settings file from the right folder and ends cleanly; it only
// reads the value, never writes it.
TEST_P(TapwireInstallPath, DecidesWhereTheSettingsFileIs)
{
    const InstallPathCase& c = GetParam();
    const OtherFolders others;
    const std::optional<RegistryValue> value = c.value(others);
    if (value)
        SetRegistryValue(HKEY_CURRENT_USER, kInstallKey, L"InstallPath", *value);
    else
        CreateRegistryKey(HKEY_CURRENT_USER, kInstallKey);

    TapwireApp app;
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync()) << "Tapwire stopped answering after start-up";

    // Closing the port list's drop-down commits the port choice, which the
    // program writes to its settings file at once.
    dialog.PostCommand(1019, CBN_CLOSEUP, dialog.Child(1019).Handle());
    ASSERT_TRUE(probe.Sync());
    const std::map<SettingsHome, std::wstring> homes = {
        {SettingsHome::ProgramFolder, app.Folder()}, {SettingsHome::Plain, others.plain},
        {SettingsHome::Fits, others.fits}};
    for (const auto& [home, folder] : homes)
        EXPECT_EQ(FileExists(folder + L"\\Config.ini"), home == c.home) << Narrow(folder);
    EXPECT_FALSE(FileExists(others.tooLong + L"\\Config.ini"));

    EXPECT_EQ(GetRegistryValue(HKEY_CURRENT_USER, kInstallKey, L"InstallPath"), value);
    EXPECT_TRUE(ClosesCleanly(app));
}

INSTANTIATE_TEST_SUITE_P(
    Value, TapwireInstallPath,
    ::testing::Values(
        InstallPathCase{"OtherFolder",
                        [](const OtherFolders& f) -> std::optional<RegistryValue> {
                            return Utf16Value(REG_SZ, f.plain, true);
                        },
                        SettingsHome::Plain},
        InstallPathCase{"FolderOf129Characters",
                        [](const OtherFolders& f) -> std::optional<RegistryValue> {
                            return Utf16Value(REG_SZ, f.fits, true);
                        },
                        SettingsHome::Fits},
        InstallPathCase{"FolderOf130Characters",
                        [](const OtherFolders& f) -> std::optional<RegistryValue> {
                            return Utf16Value(REG_SZ, f.tooLong, true);
                        },
                        SettingsHome::ProgramFolder},
        // The 260-byte buffer full, no terminator: nothing may be read past
        // it, and the text must not be taken as it stands either.
        InstallPathCase{"FolderOf130CharactersWithoutTerminator",
                        [](const OtherFolders& f) -> std::optional<RegistryValue> {
                            return Utf16Value(REG_SZ, f.tooLong, false);
                        },
                        SettingsHome::ProgramFolder},
        InstallPathCase{"Binary260Bytes",
                        [](const OtherFolders& f) -> std::optional<RegistryValue> {
                            return Utf16Value(REG_BINARY, f.tooLong, false);
                        },
                        SettingsHome::ProgramFolder},
        InstallPathCase{"TooLong200Characters",
                        [](const OtherFolders& f) -> std::optional<RegistryValue> {
                            return Utf16Value(REG_SZ, f.plain + L"\\" + std::wstring(199 - f.plain.size(), L'x'), true);
                        },
                        SettingsHome::ProgramFolder},
        InstallPathCase{"Empty",
                        [](const OtherFolders&) -> std::optional<RegistryValue> {
                            return Utf16Value(REG_SZ, L"", true);
                        },
                        SettingsHome::ProgramFolder},
        // Taken as text whatever its type: a zero DWORD is an empty text.
        InstallPathCase{"DwordZero",
                        [](const OtherFolders&) -> std::optional<RegistryValue> {
                            return RegistryValue{REG_DWORD, {0, 0, 0, 0}};
                        },
                        SettingsHome::ProgramFolder},
        InstallPathCase{"MissingValue",
                        [](const OtherFolders&) -> std::optional<RegistryValue> { return std::nullopt; },
                        SettingsHome::ProgramFolder}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the main window at start-up ------------------------------------------

TEST_F(TapwireTest, MainWindowIsAFixedSizeDialogWithItsCaption)
{
    TapwireApp app;
    const Window dialog = app.Start();
    EXPECT_EQ(dialog.ClassName(), kDialogClass);
    EXPECT_EQ(dialog.Text(), kTapwireCaption);
    const LONG_PTR style = dialog.Style();
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_EQ(dialog.ShowCmd(), static_cast<UINT>(SW_SHOWNORMAL));
    EXPECT_TRUE(ClosesCleanly(app));
}

TEST_F(TapwireTest, ControlsStartWithTheDefaultLineSettings)
{
    struct ComboCase {
        int id;
        std::vector<std::wstring> items;
        int selection;
    };
    const ComboCase combos[] = {
        {1003, {L"300", L"600", L"1200", L"2400", L"4800", L"9600", L"19200", L"38400", L"57600", L"115200"}, 5},
        {1005, {L"7", L"8"}, 1},
        {1004, {L"None", L"Odd", L"Even"}, 0},
        {1006, {L"1", L"2"}, 0},
    };
    struct ControlCase {
        int id;
        const wchar_t* className;
        bool visible;
    };
    const ControlCase controls[] = {
        {1038, L"Button", true},    {1039, L"Static", true},   {1040, L"Static", true},
        {1041, L"Static", true},    {1042, L"Static", true},   {1043, L"Static", true},
        {1003, L"ComboBox", true},  {1004, L"ComboBox", true}, {1005, L"ComboBox", true},
        {1006, L"ComboBox", true},  {1017, L"Button", true},   {1019, L"ComboBox", true},
        {1036, L"Button", false},   {1037, L"Button", false},  {1048, L"Static", true},
        {1050, L"Static", true},    {1051, L"Static", false},
    };

    TapwireApp app;
    const Window dialog = app.Start();
    for (const ControlCase& c : controls) {
        SCOPED_TRACE("control " + std::to_string(c.id));
        const Window control = dialog.Child(c.id);
        ASSERT_TRUE(control);
        EXPECT_EQ(control.ClassName(), c.className);
        EXPECT_EQ(control.IsVisible(), c.visible);
    }
    for (const ComboCase& c : combos) {
        SCOPED_TRACE("combo box " + std::to_string(c.id));
        const Window combo = dialog.Child(c.id);
        EXPECT_EQ(combo.ComboItems(), c.items);
        EXPECT_EQ(combo.ComboSelection(), c.selection);
    }
    EXPECT_TRUE(ClosesCleanly(app));
}

TEST_F(TapwireTest, MenusAreAttachedWithTheAboutItemInTheSystemMenu)
{
    TapwireApp app;
    const Window dialog = app.Start();
    AppProbe probe(dialog);

    const std::vector<MenuItem> bar = probe.MenuBar();
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_TRUE(bar[0].hasSubmenu);
    EXPECT_TRUE(bar[1].hasSubmenu);
    // Every command of the menu resource is reachable, wherever its texts go.
    for (UINT id : {32795u, 32791u, 32792u, 32794u, 32781u, 32782u, 32783u, 32784u, 32785u,
                    32786u, 32787u, 32788u, 32796u, 32772u}) {
        EXPECT_NE(FindMenuItem(bar, id), nullptr) << "no menu command " << id;
    }

    const std::vector<MenuItem> system = probe.SystemMenu();
    ASSERT_GE(system.size(), 2u);
    EXPECT_TRUE(system[system.size() - 2].IsSeparator());
    EXPECT_EQ(system.back().id, 0x10u);
    EXPECT_EQ(system.back().text, L"About Tapwire(&A)...");
    EXPECT_TRUE(ClosesCleanly(app));
}
