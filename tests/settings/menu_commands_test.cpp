// The menu commands of Tapwire.exe (encoding, start-up options, autostart),
// the autostart check at start and its messages, and the language switch,
// each seen in the menu's check marks, in Config.ini and in the Run key.
#include "SettingsTestSupport.h"

#include <cwctype>

using namespace settingstest;

namespace {

// The file a first start writes, with some keys changed since.
std::vector<IniEntry> Expected(const KeyValues& changes)
{
    return WithValues(DefaultSettingsFile(), changes);
}

std::optional<std::wstring> RunValueText()
{
    return GetRegistryString(HKEY_CURRENT_USER, kRunKey, kRunValueName);
}

// The program's message box: waits for it, checks its text, presses OK.
void ExpectMessage(const Process& process, const std::wstring& text)
{
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(process.Id(), 5000);
    ASSERT_TRUE(box.has_value()) << "no message box; expected " << Narrow(text);
    EXPECT_EQ(box->text, text);
    EXPECT_TRUE(PressOk(*box));
}

const std::wstring kReadError = L"CheckRegStartBootInfo:Read Reg error!";
const std::wstring kDeniedJapanese = L"管理者権限でTapwireを実行した後、このオプションを設定してください";
const std::wstring kDeniedEnglish = L"Please run the Tapwire with administrator privileges and then set the option!";
const std::wstring kDeniedChinese = L"请使用管理员权限运行Tapwire之后，设定此选项";

}  // namespace

// --- encoding ---------------------------------------------------------------

TEST_F(SettingsTest, EncodingCommandsMoveTheOneCheckAndWriteTheIndex)
{
    TapwireApp app;
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    const std::wstring config = app.SettingsPath();
    // Every entry once, the ninth (id 32796) first; then the one already checked.
    for (int index : {8, 0, 1, 2, 3, 4, 5, 6, 7, 7}) {
        SCOPED_TRACE("encoding " + std::to_string(index));
        Command(dialog, probe, kEncodingIds[index]);
        EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, index));
        EXPECT_EQ(ReadSettings(config), Expected({{"Encoding", std::to_string(index)}}));
    }
    EXPECT_TRUE(ClosesCleanly(app));
}

// --- start-up options -------------------------------------------------------

TEST_F(SettingsTest, StartUpOptionsToggleTheirChecksAndKeysOnly)
{
    PortDevices ports(1);
    TapwireApp app;
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    const std::wstring config = app.SettingsPath();

    struct Step {
        UINT command;
        bool runMini, runStart;
    };
    const Step steps[] = {
        {ID_STARTUP_RUNMINI, true, false},  {ID_STARTUP_RUNSTART, true, true},
        {ID_STARTUP_RUNMINI, false, true},  {ID_STARTUP_RUNSTART, false, false},
        {ID_STARTUP_RUNSTART, false, true}, {ID_STARTUP_NONE, false, false},
        {ID_STARTUP_NONE, false, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE("command " + std::to_string(step.command));
        Command(dialog, probe, step.command);
        EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, step.runMini, step.runStart, 3));
        EXPECT_EQ(ReadSettings(config),
                  Expected({{"RunMini", step.runMini ? "1" : "0"}, {"RunStart", step.runStart ? "1" : "0"}}));
        // They take effect at the next start only.
        EXPECT_TRUE(dialog.IsVisible());
        EXPECT_EQ(dialog.Child(1017).Text(), JapaneseTexts().buttonStopped);
    }
    EXPECT_FALSE(RunValueText().has_value());
    EXPECT_FALSE(FindMessageBox(app.GetProcess().Id()).has_value());
    EXPECT_TRUE(ClosesCleanly(app));
}

TEST_F(SettingsTest, BootRunRegistersTheQuotedPathAndNoneClearsAllThree)
{
    TapwireApp app;
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    const std::wstring config = app.SettingsPath();

    Command(dialog, probe, ID_STARTUP_BOOTRUN);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(true, false, false, 3));
    EXPECT_EQ(ReadSettings(config), Expected({{"BootRun", "1"}}));
    const std::optional<RegistryValue> value = GetRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName);
    ASSERT_TRUE(value.has_value()) << "no Run value after turning the option on";
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(RunValueText(), QuotedPath(app.ExePath()));

    Command(dialog, probe, ID_STARTUP_BOOTRUN);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 3));
    EXPECT_EQ(ReadSettings(config), Expected({{"BootRun", "0"}}));
    EXPECT_FALSE(RunValueText().has_value());

    for (UINT command : {ID_STARTUP_BOOTRUN, ID_STARTUP_RUNMINI, ID_STARTUP_RUNSTART})
        Command(dialog, probe, command);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(true, true, true, 3));
    EXPECT_EQ(ReadSettings(config), Expected({{"BootRun", "1"}, {"RunMini", "1"}, {"RunStart", "1"}}));
    EXPECT_EQ(RunValueText(), QuotedPath(app.ExePath()));

    Command(dialog, probe, ID_STARTUP_NONE);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 3));
    EXPECT_EQ(ReadSettings(config), DefaultSettingsFile());
    EXPECT_FALSE(RunValueText().has_value());
    EXPECT_FALSE(FindMessageBox(app.GetProcess().Id()).has_value());
    EXPECT_TRUE(ClosesCleanly(app));
}

// A value stored unquoted by an earlier version counts as this program's;
// turning the option off removes it, turning it on again stores it quoted.
TEST_F(SettingsTest, UnquotedValueOfAnEarlierVersionIsRecognisedAndReplaced)
{
    TapwireApp app;
    const std::wstring config = app.SettingsPath();
    SettingsValues values;
    values.bootRun = "1";
    WriteFileBytes(config, IniText(SettingsFile(values)));
    SetRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName, {REG_SZ, Utf16Bytes(app.ExePath(), false)});

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(true, false, false, 3));

    Command(dialog, probe, ID_STARTUP_BOOTRUN);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 3));
    EXPECT_FALSE(RunValueText().has_value());
    EXPECT_EQ(ReadSettings(config), DefaultSettingsFile());

    Command(dialog, probe, ID_STARTUP_BOOTRUN);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(true, false, false, 3));
    EXPECT_EQ(RunValueText(), QuotedPath(app.ExePath()));
    EXPECT_EQ(ReadSettings(config), SettingsFile(values));
    EXPECT_TRUE(ClosesCleanly(app));
}

// --- the autostart check at start -------------------------------------------

struct RunValueCase {
    const char* name;
    const char* bootRunInFile;
    // The Run value to store for a program at this path; nothing: no value.
    std::optional<RegistryValue> (*value)(const std::wstring& exePath);
    bool on;   // the option after start; "BootRun" is written "0" when it went off
};
void PrintTo(const RunValueCase& c, std::ostream* out) { *out << c.name; }

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

const RunValueCase kRunValueCases[] = {
    {"NoValue", "1", [](const std::wstring&) -> std::optional<RegistryValue> { return std::nullopt; }, true},
    {"Quoted", "1",
     [](const std::wstring& p) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(QuotedPath(p), true)};
     },
     true},
    {"QuotedWithoutTerminator", "1",
     [](const std::wstring& p) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(QuotedPath(p), false)};
     },
     true},
    {"UnquotedWithoutTerminator", "1",
     [](const std::wstring& p) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(p, false)};
     },
     true},
    {"UnquotedWithTerminator", "1",
     [](const std::wstring& p) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(p, true)};
     },
     true},
    {"OtherProgram", "1",
     [](const std::wstring&) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(L"\"C:\\Program Files\\Tapwire\\Tapwire.exe\"", true)};
     },
     false},
    {"PathInOtherCase", "1",
     [](const std::wstring& p) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(QuotedPath(Upper(p)), true)};
     },
     false},
    {"PathWithArguments", "1",
     [](const std::wstring& p) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(QuotedPath(p) + L" /min", true)};
     },
     false},
    {"Empty", "1",
     [](const std::wstring&) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(L"", true)};
     },
     false},
    // The type is not looked at: the bytes are read as text all the same.
    {"Dword", "1",
     [](const std::wstring&) -> std::optional<RegistryValue> {
         return RegistryValue{REG_DWORD, {1, 0, 0, 0}};
     },
     false},
    {"BinaryGarbage", "1",
     [](const std::wstring&) -> std::optional<RegistryValue> {
         return RegistryValue{REG_BINARY, {0x01, 0x02, 0x03}};
     },
     false},
    {"BinaryHoldingThePath", "1",
     [](const std::wstring& p) -> std::optional<RegistryValue> {
         return RegistryValue{REG_BINARY, Utf16Bytes(QuotedPath(p), false)};
     },
     true},
    // A value the 260-unit buffer cannot hold is not read, and does not
    // switch the option off; nor does one that fills it without an end.
    {"LongerThanTheBuffer", "1",
     [](const std::wstring&) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(L"C:\\" + std::wstring(300, L'x'), true)};
     },
     true},
    {"FillsTheBufferWithoutTerminator", "1",
     [](const std::wstring&) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(std::wstring(260, L'x'), false)};
     },
     true},
    {"LongDword", "1",
     [](const std::wstring&) -> std::optional<RegistryValue> {
         return RegistryValue{REG_BINARY, std::vector<BYTE>(2000, 0x41)};
     },
     true},
    // With the option off in the file the value is not even looked at.
    {"OptionOffWithOurValue", "0",
     [](const std::wstring& p) -> std::optional<RegistryValue> {
         return RegistryValue{REG_SZ, Utf16Bytes(QuotedPath(p), true)};
     },
     false},
};

class SettingsRunValue : public SettingsTest, public ::testing::WithParamInterface<RunValueCase> {};

TEST_P(SettingsRunValue, DecidesWhetherAutostartIsOnAndIsNeverWritten)
{
    const RunValueCase& c = GetParam();
    TapwireApp app;
    const std::wstring config = app.SettingsPath();
    SettingsValues values;
    values.bootRun = c.bootRunInFile;
    WriteFileBytes(config, IniText(SettingsFile(values)));
    const std::optional<RegistryValue> value = c.value(app.ExePath());
    if (value)
        SetRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName, *value);

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(c.on, false, false, 3));
    values.bootRun = c.on ? "1" : "0";
    EXPECT_EQ(ReadSettings(config), SettingsFile(values));
    EXPECT_EQ(GetRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName), value);
    EXPECT_FALSE(FindMessageBox(app.GetProcess().Id()).has_value());
    EXPECT_TRUE(ClosesCleanly(app));
}

INSTANTIATE_TEST_SUITE_P(Value, SettingsRunValue, ::testing::ValuesIn(kRunValueCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- when the Run key cannot be opened ----------------------------------------

TEST_F(SettingsTest, DeniedRunKeyShowsTheFourMessagesAndChangesNothing)
{
    TapwireApp app;
    const std::wstring config = app.SettingsPath();
    SettingsValues values;
    values.bootRun = "1";
    WriteFileBytes(config, IniText(SettingsFile(values)));
    DeniedRunKey denied;

    // The check at start cannot read the key: the message comes before the
    // main window, and the option counts as registered.
    TapwireRun run(app);
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(run.GetProcess().Id(), 15000);
    ASSERT_TRUE(box.has_value()) << "no message at start";
    EXPECT_EQ(box->text, kReadError);
    const Window dialog = run.WaitForWindow();
    EXPECT_FALSE(dialog.IsVisible()) << "the main window came before the message";
    ASSERT_TRUE(PressOk(*box));
    ASSERT_TRUE(WaitUntil([&] { return dialog.IsVisible(); }, 5000));
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    const MenuChecks on = ExpectedChecks(true, false, false, 3);
    EXPECT_EQ(ReadChecks(probe), on);

    // Toggling always speaks Japanese; "None" speaks the interface language.
    struct Step {
        int languageButton;   // 0: keep the language
        UINT command;
        const std::wstring* text;
    };
    const Step steps[] = {
        {0, ID_STARTUP_BOOTRUN, &kDeniedJapanese}, {0, ID_STARTUP_NONE, &kDeniedJapanese},
        {1036, ID_STARTUP_NONE, &kDeniedEnglish},  {0, ID_STARTUP_BOOTRUN, &kDeniedJapanese},
        {1037, ID_STARTUP_NONE, &kDeniedChinese},  {0, ID_STARTUP_BOOTRUN, &kDeniedJapanese},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE("command " + std::to_string(step.command) + " after button " +
                     std::to_string(step.languageButton));
        if (step.languageButton)
            ClickNotification(dialog, probe, step.languageButton);
        dialog.PostCommand(static_cast<int>(step.command));
        ExpectMessage(run.GetProcess(), *step.text);
        ASSERT_TRUE(probe.Sync());
        EXPECT_EQ(ReadChecks(probe), on);
    }
    values.language = "2";
    EXPECT_EQ(ReadSettings(config), SettingsFile(values));
    EXPECT_FALSE(RunValueText().has_value());
    EXPECT_TRUE(run.CloseCleanly(dialog));
}

// --- the language switch -------------------------------------------------------

TEST_F(SettingsTest, LanguageSwitchChangesTheTextsKeepsTheChecksAndWritesTheKey)
{
    TapwireApp app;
    const std::wstring config = app.SettingsPath();
    SettingsValues values;
    values.bootRun = "1";
    values.runStart = "1";
    values.encoding = "6";
    WriteFileBytes(config, IniText(SettingsFile(values)));

    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    const MenuChecks checks = ExpectedChecks(true, false, true, 6);
    ExpectTexts(dialog, probe, JapaneseTexts(), false);
    EXPECT_EQ(ReadChecks(probe), checks);

    struct Step {
        int button;
        const InterfaceTexts* texts;
        const char* language;
    };
    for (const Step& step : {Step{1037, &ChineseTexts(), "2"}, Step{1036, &EnglishTexts(), "1"},
                             Step{1037, &ChineseTexts(), "2"}}) {
        SCOPED_TRACE("button " + std::to_string(step.button));
        ClickNotification(dialog, probe, step.button);
        ExpectTexts(dialog, probe, *step.texts, false);
        EXPECT_EQ(ReadChecks(probe), checks);
        EXPECT_EQ(dialog.Child(1036).CheckState(), step.button == 1036 ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(dialog.Child(1037).CheckState(), step.button == 1037 ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(dialog.Child(1004).ComboItems(), (std::vector<std::wstring>{L"None", L"Odd", L"Even"}));
        values.language = step.language;
        EXPECT_EQ(ReadSettings(config), SettingsFile(values));
    }
    // Commands after a switch keep the new texts.
    Command(dialog, probe, ID_ENCODING_UTF8);
    EXPECT_EQ(ReadChecks(probe), ExpectedChecks(true, false, true, 3));
    ExpectTexts(dialog, probe, ChineseTexts(), false);
    EXPECT_TRUE(ClosesCleanly(app));
}
