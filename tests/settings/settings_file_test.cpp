// Config.ini as Tapwire.exe reads it at start and writes it back: the
// defaults of a first start, a hand-written file applied in full, the
// install folder from the registry, and bad values and unusable files, which
// the program takes by its rules without crashing and without writing
// anything but the keys it normalises.
#include "ScannerPort.h"
#include "SettingsTestSupport.h"
#include "TargetWindow.h"

#include <algorithm>

using namespace settingstest;

namespace {

// The lists' selections when nothing is chosen: first port, 9600, None, 8, 1.
constexpr std::array<int, 5> kDefaultSelections = {0, 5, 0, 1, 0};

// Only the program and its settings file are in the program's folder.
std::vector<std::wstring> FolderContents(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

void ExpectStopped(const Window& dialog)
{
    EXPECT_EQ(dialog.Child(1017).Text(), JapaneseTexts().buttonStopped);
    EXPECT_TRUE(dialog.Child(1003).IsEnabled()) << "the lists are disabled as if the port were started";
}

}  // namespace

// --- first start -------------------------------------------------------------

TEST_F(SettingsTest, FirstStartWritesTheTenDefaultsAndShowsThem)
{
    PortDevices ports(2);
    TapwireApp app;
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());

    const std::wstring config = app.SettingsPath();
    const std::optional<std::string> bytes = ReadFileBytes(config);
    ASSERT_TRUE(bytes.has_value()) << "no Config.ini after the first start";
    // Plain 8-bit text, sections in the order of their first write.
    EXPECT_EQ(*bytes, IniText(DefaultSettingsFile()));
    EXPECT_EQ(ParseIni(*bytes), DefaultSettingsFile());

    EXPECT_EQ(ListSelections(dialog), kDefaultSelections);
    EXPECT_EQ(dialog.Child(1003).ComboSelectedText(), L"9600");
    EXPECT_EQ(dialog.Child(1004).ComboSelectedText(), L"None");
    EXPECT_EQ(dialog.Child(1005).ComboSelectedText(), L"8");
    EXPECT_EQ(dialog.Child(1006).ComboSelectedText(), L"1");
    EXPECT_EQ(dialog.Child(1019).ComboSelectedText(), L"USB Serial Device (COM" +
                                                          std::to_wstring(ports.Pairs()[0].appPort) + L")");
    // UTF-8 is the default encoding in the menu as in the file.
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 3));
    EXPECT_EQ(MenuItemAt(probe.MenuBar(), {0, 1, 3})->text, L"UTF-8");
    ExpectStopped(dialog);
    EXPECT_TRUE(dialog.IsVisible());

    EXPECT_EQ(FolderContents(app.Folder()), (std::vector<std::wstring>{L"Config.ini", L"Tapwire.exe"}));
    EXPECT_FALSE(GetRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName).has_value());
    EXPECT_TRUE(ClosesCleanly(app));
    // Nothing is saved at exit.
    EXPECT_EQ(ReadFileBytes(config), bytes);
}

TEST_F(SettingsTest, InterfaceComesUpInJapaneseWhateverTheLanguageKeySays)
{
    TapwireApp app;
    SettingsValues values;
    values.language = "2";
    const std::wstring config = app.SettingsPath();
    WriteFileBytes(config, IniText(SettingsFile(values)));

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    ExpectTexts(dialog, probe, JapaneseTexts(), false);
    for (int id : {1036, 1037}) {
        EXPECT_FALSE(dialog.Child(id).IsVisible()) << "language switch " << id;
        EXPECT_EQ(dialog.Child(id).CheckState(), BST_UNCHECKED) << "language switch " << id;
    }
    EXPECT_EQ(ReadSettings(config), SettingsFile(SettingsValues{}));
    EXPECT_TRUE(ClosesCleanly(app));
}

// --- a hand-written file -----------------------------------------------------

TEST_F(SettingsTest, HandWrittenFileIsAppliedInFull)
{
    PortDevices ports(3);
    TapwireApp app;
    SettingsValues values;
    values.bootRun = "1";
    values.runMini = "1";
    values.runStart = "1";
    values.encoding = "5";
    values.comPort = "2";
    values.baudRate = "9";
    values.parityBit = "2";
    values.dataBit = "0";
    values.stopBit = "1";
    const std::wstring config = app.SettingsPath();
    const std::string text = IniText(SettingsFile(values));
    WriteFileBytes(config, text);
    SetRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName,
                     {REG_SZ, Utf16Bytes(QuotedPath(app.ExePath()), true)});

    TapwireRun run(app);
    const Window dialog = run.WaitForWindow();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync()) << "Tapwire does not answer after its start";
    // "Minimize the window after running": shown, then hidden into the tray.
    ASSERT_TRUE(WaitUntil([&] { return !dialog.IsVisible(); }, 5000)) << "the window was not hidden";
    Sleep(300);
    EXPECT_FALSE(dialog.IsVisible());
    EXPECT_FALSE(dialog.IsMinimized());

    EXPECT_EQ(ListSelections(dialog), (std::array<int, 5>{2, 9, 2, 0, 1}));
    EXPECT_EQ(dialog.Child(1003).ComboSelectedText(), L"115200");
    EXPECT_EQ(dialog.Child(1004).ComboSelectedText(), L"Even");
    EXPECT_EQ(dialog.Child(1005).ComboSelectedText(), L"7");
    EXPECT_EQ(dialog.Child(1006).ComboSelectedText(), L"2");
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(true, true, true, 5));

    // "Start after running" opened the third port.
    EXPECT_EQ(dialog.Child(1017).Text(), JapaneseTexts().buttonStarted);
    EXPECT_EQ(dialog.Child(1048).Text(), JapaneseTexts().statusStarted);
    for (int id : {1019, 1003, 1004, 1005, 1006})
        EXPECT_FALSE(dialog.Child(id).IsEnabled()) << "list " << id << " while the port is started";
    {
        TargetWindow target;
        ScannerPort scanner(ports.Pairs()[2].scannerPort);
        scanner.Write(std::vector<uint8_t>{0x82, 0xA0});   // Shift-JIS あ
        EXPECT_EQ(target.WaitForText(1, 5000), L"\x3042");
    }

    // A valid file is only read.
    EXPECT_EQ(ReadFileBytes(config), text);
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kRunKey, kRunValueName), QuotedPath(app.ExePath()));

    // The language switch while the port runs shows the texts of a started port.
    ClickNotification(dialog, probe, 1036);
    ExpectTexts(dialog, probe, EnglishTexts(), true);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(true, true, true, 5));
    EXPECT_TRUE(run.CloseCleanly(dialog));
}

TEST_F(SettingsTest, StartAfterRunningWithoutPortsStaysOnAndStartsNothing)
{
    TapwireApp app;
    SettingsValues values;
    values.runStart = "1";
    const std::wstring config = app.SettingsPath();
    WriteFileBytes(config, IniText(SettingsFile(values)));

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    EXPECT_EQ(dialog.Child(1019).ComboItems(), std::vector<std::wstring>{});
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, true, 3));
    ExpectStopped(dialog);
    EXPECT_FALSE(FindMessageBox(app.GetProcess().Id()).has_value()) << "a message for a port that was never asked for";
    EXPECT_EQ(ReadSettings(config), SettingsFile(values));
    EXPECT_TRUE(ClosesCleanly(app));
}

// Keys that are missing are added with their defaults, each at the end of
// its section, new sections at the end of the file; what is there stays.
TEST_F(SettingsTest, MissingKeysAreAddedAndOthersKept)
{
    TapwireApp app;
    const std::wstring config = app.SettingsPath();
    WriteFileBytes(config, "[Other]\r\nKeep=this\r\n[Uart Setting]\r\nBaudRate=7\r\n[Start Setting]\r\nRunStart=0\r\n");

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    const std::vector<IniEntry> expected = {
        {"Other", "Keep", "this"},     {kUart, "BaudRate", "7"},      {kUart, "ComPort", "0"},
        {kUart, "ParityBit", "0"},     {kUart, "DataBit", "1"},       {kUart, "StopBit", "0"},
        {kStart, "RunStart", "0"},     {kStart, "BootRun", "0"},      {kStart, "RunMini", "0"},
        {kLanguage, "Language", "1"},  {kEncoding, "Encoding", "3"},
    };
    EXPECT_EQ(ReadSettings(config), expected);
    EXPECT_EQ(ListSelections(dialog)[1], 7);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 3));
    EXPECT_TRUE(ClosesCleanly(app));
}

// --- the install folder -----------------------------------------------------

TEST_F(SettingsTest, InstallFolderFromTheRegistryHoldsTheFileThatIsReadAndWritten)
{
    TapwireApp app;
    ScratchFolder installFolder;
    SettingsValues besideExe;
    besideExe.encoding = "7";
    besideExe.baudRate = "8";
    const std::string besideText = IniText(SettingsFile(besideExe));
    WriteFileBytes(app.SettingsPath(), besideText);
    SettingsValues installed;
    installed.encoding = "6";
    installed.baudRate = "3";
    const std::wstring config = installFolder.File(L"Config.ini");
    WriteFileBytes(config, IniText(SettingsFile(installed)));
    SetRegistryValue(HKEY_CURRENT_USER, kInstallKey, L"InstallPath",
                     {REG_SZ, Utf16Bytes(installFolder.Path(), true)});

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 6));
    EXPECT_EQ(ListSelections(dialog)[1], 3);

    Command(dialog, probe, ID_ENCODING_GBK);
    Command(dialog, probe, ID_STARTUP_RUNSTART);
    installed.encoding = "4";
    installed.runStart = "1";
    EXPECT_EQ(ReadSettings(config), SettingsFile(installed));
    EXPECT_EQ(ReadFileBytes(app.SettingsPath()), besideText) << "the file beside the program was touched";
    EXPECT_TRUE(ClosesCleanly(app));
}

TEST_F(SettingsTest, InstallFolderWithoutAFileGetsTheDefaults)
{
    TapwireApp app;
    ScratchFolder installFolder;
    SetRegistryValue(HKEY_CURRENT_USER, kInstallKey, L"InstallPath",
                     {REG_SZ, Utf16Bytes(installFolder.Path(), true)});

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    EXPECT_EQ(ReadSettings(installFolder.File(L"Config.ini")), DefaultSettingsFile());
    EXPECT_FALSE(FileExists(app.SettingsPath()));
    EXPECT_TRUE(ClosesCleanly(app));
}

// --- bad values ---------------------------------------------------------------

struct BadValuesCase {
    const char* name;
    SettingsValues file;
    std::array<int, 5> selections;   // port, baud rate, parity, data bits, stop bits; CB_ERR: none
    int encoding;                    // the checked Encoding entry; -1: none
    // The keys the load writes back, with their new values; nothing else changes.
    KeyValues rewrites;
};
void PrintTo(const BadValuesCase& c, std::ostream* out) { *out << c.name; }

SettingsValues AllValues(const std::string& flag, const std::string& language, const std::string& number)
{
    SettingsValues v;
    v.language = language;
    v.bootRun = v.runMini = v.runStart = flag;
    v.encoding = v.comPort = v.baudRate = v.parityBit = v.dataBit = v.stopBit = number;
    return v;
}

const KeyValues kFlagsNormalised = {
    {"Language", "1"}, {"BootRun", "0"}, {"RunMini", "0"}, {"RunStart", "0"}};

const BadValuesCase kBadValuesCases[] = {
    {"Garbage",
     [] {
         SettingsValues v;
         v.language = "English";
         v.bootRun = "yes";
         v.runMini = "no";
         v.runStart = "true";
         v.encoding = "utf8";
         v.comPort = "abc";
         v.baudRate = "fast";
         v.parityBit = "odd";
         v.dataBit = "eight";
         v.stopBit = "one";
         return v;
     }(),
     {0, 0, 0, 0, 0}, 0, kFlagsNormalised},
    {"Empty", AllValues("", "", ""), {0, 0, 0, 0, 0}, 0, kFlagsNormalised},
    // Only the first nine characters are seen.
    {"Overlong",
     [] {
         SettingsValues v;
         v.language = "1111111111";
         v.bootRun = "0000000000";
         v.runMini = "11111111111111111111";
         v.runStart = std::string(300, '0');
         v.encoding = "0000000005";
         v.comPort = "00000000001";
         v.baudRate = "0000000007";
         v.parityBit = "999999999999";
         v.dataBit = "1" + std::string(300, '0');
         v.stopBit = "000000000001";
         return v;
     }(),
     {0, 0, CB_ERR, CB_ERR, 0}, 0, kFlagsNormalised},
    {"Negative",
     [] {
         SettingsValues v = AllValues("-1", "-1", "-1");
         v.comPort = "-4";
         v.parityBit = "-2";
         v.stopBit = "-2147483649";
         return v;
     }(),
     {0, CB_ERR, CB_ERR, CB_ERR, CB_ERR}, -1, kFlagsNormalised},
    {"OutOfRange",
     [] {
         SettingsValues v = AllValues("2", "3", "2");
         v.encoding = "9";
         v.comPort = "3";   // one past the three ports
         v.baudRate = "10";
         v.parityBit = "3";
         return v;
     }(),
     {0, CB_ERR, CB_ERR, CB_ERR, CB_ERR}, -1, kFlagsNormalised},
    {"Huge", AllValues("1.0", "01", "99999999999999999999"), {0, CB_ERR, CB_ERR, CB_ERR, CB_ERR}, -1,
     kFlagsNormalised},
    // A value "ERROR" is a missing key: its default is written in its place.
    {"ErrorText", AllValues("ERROR", "ERROR", "ERROR"), kDefaultSelections, 3,
     {{"Language", "1"}, {"BootRun", "0"}, {"RunMini", "0"}, {"RunStart", "0"}, {"Encoding", "3"},
      {"ComPort", "0"}, {"BaudRate", "5"}, {"ParityBit", "0"}, {"DataBit", "1"}, {"StopBit", "0"}}},
    // Numbers end at the first character that is not a digit; a present
    // number key is never written back.
    {"NumbersWithText",
     [] {
         SettingsValues v;
         v.encoding = "8th";
         v.comPort = "+2";
         v.baudRate = "7 baud";
         v.parityBit = "2x";
         v.dataBit = "0.5";
         v.stopBit = "1e9";
         return v;
     }(),
     {2, 7, 2, 0, 1}, 8, {}},
};

class SettingsBadValues : public SettingsTest, public ::testing::WithParamInterface<BadValuesCase> {};

TEST_P(SettingsBadValues, AreTakenByTheRulesAndOnlyFlagsAreRewritten)
{
    const BadValuesCase& c = GetParam();
    PortDevices ports(3);
    TapwireApp app;
    const std::wstring config = app.SettingsPath();
    const std::vector<IniEntry> written = SettingsFile(c.file);
    WriteFileBytes(config, IniText(written));

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    EXPECT_EQ(ListSelections(dialog), c.selections);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, c.encoding));
    ExpectStopped(dialog);
    EXPECT_TRUE(dialog.IsVisible());

    EXPECT_EQ(ReadSettings(config), WithValues(written, c.rewrites));
    EXPECT_EQ(FolderContents(app.Folder()), (std::vector<std::wstring>{L"Config.ini", L"Tapwire.exe"}));
    EXPECT_FALSE(GetRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName).has_value());

    // The program goes on serving commands with what it loaded.
    Command(dialog, probe, ID_ENCODING_ASCII);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 0));
    EXPECT_TRUE(ClosesCleanly(app));
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsBadValues, ::testing::ValuesIn(kBadValuesCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- files that cannot be read or written -------------------------------------

// Holds a file open with the given sharing, as another program might.
class HeldFile {
public:
    HeldFile(const std::wstring& path, DWORD share)
        : m_hFile(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr))
    {
        if (m_hFile == INVALID_HANDLE_VALUE)
            ThrowLastError("cannot hold " + Narrow(path));
    }
    ~HeldFile() { CloseHandle(m_hFile); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    HANDLE m_hFile;
};

// Config.ini is a folder: nothing can be read or written there. The program
// runs with the defaults and leaves the folder as it was.
TEST_F(SettingsTest, ConfigThatIsAFolderGivesTheDefaultsAndStaysAFolder)
{
    PortDevices ports(1);
    TapwireApp app;
    const std::wstring config = app.SettingsPath();
    ASSERT_TRUE(CreateDirectoryW(config.c_str(), nullptr));

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    EXPECT_EQ(ListSelections(dialog), kDefaultSelections);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 3));
    ExpectTexts(dialog, probe, JapaneseTexts(), false);

    // Commands work on the values in memory; their writes fail unseen.
    Command(dialog, probe, ID_ENCODING_THAI);
    Command(dialog, probe, ID_STARTUP_RUNMINI);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, true, false, 6));
    EXPECT_FALSE(FindMessageBox(app.GetProcess().Id()).has_value());
    EXPECT_TRUE(GetFileAttributesW(config.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(FolderContents(config), std::vector<std::wstring>{});
    EXPECT_EQ(FolderContents(app.Folder()), (std::vector<std::wstring>{L"Config.ini", L"Tapwire.exe"}));
    EXPECT_TRUE(ClosesCleanly(app));
}

// Another program holds the file and lets it be read but not written: every
// value is applied, the normalised flags and later commands are not saved.
TEST_F(SettingsTest, FileThatCannotBeWrittenIsAppliedAndLeftAsItIs)
{
    TapwireApp app;
    SettingsValues values;
    values.runMini = "maybe";
    values.encoding = "1";
    values.baudRate = "2";
    const std::wstring config = app.SettingsPath();
    const std::string text = IniText(SettingsFile(values));
    WriteFileBytes(config, text);
    HeldFile hold(config, FILE_SHARE_READ);
    HANDLE writer = CreateFileW(config.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(writer, INVALID_HANDLE_VALUE) << "the hold lets others write";

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    EXPECT_EQ(ListSelections(dialog)[1], 2);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 1));
    Command(dialog, probe, ID_ENCODING_ARABIC);
    Command(dialog, probe, ID_STARTUP_RUNSTART);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, true, 8));
    EXPECT_FALSE(FindMessageBox(app.GetProcess().Id()).has_value());
    EXPECT_TRUE(ClosesCleanly(app));
    EXPECT_EQ(ReadFileBytes(config), text);
}

// Held without any sharing: the file reads as missing, so the defaults are
// applied; their writes fail and the file keeps what it had.
TEST_F(SettingsTest, FileThatCannotBeReadGivesTheDefaults)
{
    TapwireApp app;
    SettingsValues values;
    values.encoding = "1";
    values.baudRate = "2";
    const std::wstring config = app.SettingsPath();
    const std::string text = IniText(SettingsFile(values));
    WriteFileBytes(config, text);
    std::optional<HeldFile> hold(std::in_place, config, 0);

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    EXPECT_EQ(ListSelections(dialog)[1], 5);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 3));
    EXPECT_TRUE(ClosesCleanly(app));
    hold.reset();
    EXPECT_EQ(ReadFileBytes(config), text);
}

// The read-only attribute, of the file or of its folder. Windows keeps a
// read-only file from being written but not a folder's contents; this
// Wine, running as root, enforces neither. The program must work either way:
// the values are applied, and the file holds the normalised flag exactly
// when the file system let it be written.
TEST_F(SettingsTest, ReadOnlyAttributesAreLivedWith)
{
    for (bool readOnlyFolder : {false, true}) {
        SCOPED_TRACE(readOnlyFolder ? "read-only folder" : "read-only file");
        TapwireApp app;
        SettingsValues values;
        values.runStart = "later";
        values.encoding = "2";
        const std::wstring config = app.SettingsPath();
        WriteFileBytes(config, IniText(SettingsFile(values)));
        const std::wstring& target = readOnlyFolder ? app.Folder() : config;
        ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
        HANDLE probeWrite = CreateFileW(config.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        const bool writable = probeWrite != INVALID_HANDLE_VALUE;
        if (writable)
            CloseHandle(probeWrite);

        const Window dialog = app.Start();
        AppProbe probe(dialog);
        ASSERT_TRUE(probe.Sync());
        EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 2));
        EXPECT_TRUE(ClosesCleanly(app));
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (writable)
            values.runStart = "0";
        EXPECT_EQ(ReadSettings(config), SettingsFile(values)) << "writable: " << writable;
    }
}
