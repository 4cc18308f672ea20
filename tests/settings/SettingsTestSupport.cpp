#include "SettingsTestSupport.h"

#include <aclapi.h>
#include <sddl.h>

namespace settingstest {

// --- Config.ini ------------------------------------------------------------

std::vector<IniEntry> SettingsFile(const SettingsValues& v)
{
    return {
        {kLanguage, "Language", v.language},  {kStart, "BootRun", v.bootRun},
        {kStart, "RunMini", v.runMini},       {kStart, "RunStart", v.runStart},
        {kEncoding, "Encoding", v.encoding},  {kUart, "ComPort", v.comPort},
        {kUart, "BaudRate", v.baudRate},      {kUart, "ParityBit", v.parityBit},
        {kUart, "DataBit", v.dataBit},        {kUart, "StopBit", v.stopBit},
    };
}

std::vector<IniEntry> DefaultSettingsFile()
{
    // Sections in the order of their first write, each key appended to its
    // section: Language, BootRun, RunMini, Encoding, the five line settings,
    // and RunStart last, which joins "Start Setting".
    return SettingsFile(SettingsValues{});
}

std::vector<IniEntry> WithValues(std::vector<IniEntry> entries, const KeyValues& changes)
{
    for (const auto& [key, value] : changes) {
        bool found = false;
        for (IniEntry& entry : entries) {
            if (entry.key == key) {
                entry.value = value;
                found = true;
            }
        }
        if (!found)
            throw HarnessError("no key " + key + " to replace");
    }
    return entries;
}

std::optional<std::vector<IniEntry>> ReadSettings(const std::wstring& path)
{
    const std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes)
        return std::nullopt;
    return ParseIni(*bytes);
}

// --- registry --------------------------------------------------------------

const std::wstring kInstallKey = L"SOFTWARE\\TAPWIRE";
const std::wstring kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kRunValueName = L"TapwirePath";

std::wstring QuotedPath(const std::wstring& exePath)
{
    return L"\"" + exePath + L"\"";
}

std::vector<BYTE> Utf16Bytes(const std::wstring& text, bool terminated)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

namespace {

class OpenKey {
public:
    OpenKey(const std::wstring& subKey, REGSAM access)
    {
        const LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, access, nullptr,
                                            &m_hKey, nullptr);
        if (status != ERROR_SUCCESS)
            throw HarnessError("cannot open " + Narrow(subKey) + " (error " + std::to_string(status) + ")");
    }
    ~OpenKey() { RegCloseKey(m_hKey); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

}  // namespace

DeniedRunKey::DeniedRunKey()
{
    OpenKey key(kRunKey, READ_CONTROL | WRITE_DAC);
    DWORD size = 0;
    RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    m_savedSecurity.resize(size);
    LONG status = RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, m_savedSecurity.data(), &size);
    if (status != ERROR_SUCCESS)
        throw HarnessError("cannot read the Run key's security (error " + std::to_string(status) + ")");

    PSECURITY_DESCRIPTOR denied = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;KA;;;WD)", SDDL_REVISION_1, &denied, nullptr))
        ThrowLastError("cannot build the denying security descriptor");
    status = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, denied);
    LocalFree(denied);
    if (status != ERROR_SUCCESS)
        throw HarnessError("cannot deny the Run key (error " + std::to_string(status) + ")");
}

DeniedRunKey::~DeniedRunKey()
{
    // The owner keeps the right to change the key's security.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, m_savedSecurity.data());
        RegCloseKey(key);
    }
}

// --- menus -----------------------------------------------------------------

void PrintTo(const MenuChecks& checks, std::ostream* out)
{
    *out << "start up {";
    for (bool c : checks.startUp)
        *out << (c ? " X" : " .");
    *out << " }, encoding {";
    for (bool c : checks.encoding)
        *out << (c ? " X" : " .");
    *out << " }";
}

MenuChecks ExpectedChecks(bool bootRun, bool runMini, bool runStart, int encoding)
{
    MenuChecks checks;
    checks.startUp = {!bootRun && !runMini && !runStart, bootRun, runMini, runStart};
    if (encoding >= 0 && encoding < 9)
        checks.encoding[static_cast<size_t>(encoding)] = true;
    return checks;
}

MenuChecks ReadChecks(AppProbe& probe)
{
    const std::vector<MenuItem> bar = probe.MenuBar();
    const MenuItem* startUp = MenuItemAt(bar, {0, 0});
    const MenuItem* encoding = MenuItemAt(bar, {0, 1});
    if (!startUp || startUp->items.size() != 4 || !encoding || encoding->items.size() != 9)
        throw HarnessError("the menu bar has no Start up menu of 4 entries and Encoding menu of 9");
    MenuChecks checks;
    for (size_t i = 0; i < 4; ++i)
        checks.startUp[i] = startUp->items[i].IsChecked();
    for (size_t i = 0; i < 9; ++i)
        checks.encoding[i] = encoding->items[i].IsChecked();
    return checks;
}

const InterfaceTexts& EnglishTexts()
{
    static const InterfaceTexts texts{
        L"Serial Port Settings", L"COM Port", L"Baud Rate", L"Parity Bit", L"Data Bit", L"Stop Bit",
        L"Start", L"Stop", L"    Port Status: Closed", L"    Port Status: Opened",
        L"Settings", L"Help", L"Start up", L"Encoding",
        {L"None", L"Run after starting up the PC", L"Minimize the window after running", L"Start after running"},
        {L"ASCII", L"Unicode", L"Unicode(Big-Endian)", L"UTF-8", L"Simplified Chinese(GBK/Windows-936)",
         L"Japanese(Shift-JIS/Windows-932)", L"Thai(Windows-874)", L"Western European(Latin 1/Windows-1252)",
         L"Arabic/Persian(Windows-1256)"},
        L"About",
        L"Typing",
        {L"No pause between characters", L"5 ms between characters", L"20 ms between characters",
         L"50 ms between characters", L"Type Unicode characters", L"Type keyboard keys"},
        L"    Scan not typed: input refused"};
    return texts;
}

const InterfaceTexts& ChineseTexts()
{
    static const InterfaceTexts texts{
        L"串口设置", L"串口号", L"波特率", L"校验位", L"数据位", L"停止位",
        L"开始", L"停止", L"    串口状态: 已关闭", L"    串口状态: 已打开",
        L"设置", L"帮助", L"启动", L"编码",
        {L"无", L"开机后自动启动", L"启动后最小化", L"启动后自动开始"},
        {L"ASCII", L"Unicode", L"Unicode(Big-Endian)", L"UTF-8", L"简体中文(GBK/Windows-936)",
         L"日文(Shift-JIS/Windows-932)", L"泰语(Windows-874)", L"西欧语言(Latin 1/Windows-1252)",
         L"阿拉伯语/波斯语(Windows-1256)"},
        L"关于",
        L"键入",
        {L"字符之间不停顿", L"字符之间停顿 5 毫秒", L"字符之间停顿 20 毫秒", L"字符之间停顿 50 毫秒",
         L"键入 Unicode 字符", L"模拟键盘按键"},
        L"    扫描未键入: 输入被拒绝"};
    return texts;
}

const InterfaceTexts& JapaneseTexts()
{
    static const InterfaceTexts texts{
        L"通信設定", L"COMポート", L"ボーレート", L"パリティビット", L"データビット", L"ストップビット",
        L"接続", L"切断", L"    接続状態: 切断", L"    接続状態: 接続",
        L"設定", L"ヘルプ", L"起動オプション", L"エンコーディング",
        {L"指定なし", L"PC起動時に自動起動", L"起動後最小化", L"起動後自動接続"},
        {L"ASCII", L"Unicode", L"Unicode(Big-Endian)", L"UTF-8", L"Simplified Chinese(GBK/Windows-936)",
         L"Japanese(Shift-JIS/Windows-932)", L"Thai(Windows-874)", L"Western European(Latin 1/Windows-1252)",
         L"Arabic/Persian(Windows-1256)"},
        L"バージョン情報",
        L"キー入力",
        {L"文字間の待ちなし", L"文字間 5 ミリ秒待つ", L"文字間 20 ミリ秒待つ", L"文字間 50 ミリ秒待つ",
         L"Unicode 文字で入力", L"キーボードのキーで入力"},
        L"    スキャン未入力: 入力が拒否されました"};
    return texts;
}

namespace {

// The entries of a submenu: their texts and command ids, in this order.
template <size_t N>
void ExpectEntries(const MenuItem& menu, const std::array<std::wstring, N>& texts, const UINT (&ids)[N],
                   const char* name)
{
    ASSERT_EQ(menu.items.size(), N) << name;
    for (size_t i = 0; i < N; ++i) {
        EXPECT_EQ(menu.items[i].text, texts[i]) << name << " entry " << i;
        EXPECT_EQ(menu.items[i].id, ids[i]) << name << " entry " << i;
    }
}

}  // namespace

void ExpectTexts(const Window& dialog, AppProbe& probe, const InterfaceTexts& texts, bool started)
{
    const std::pair<int, const std::wstring*> controls[] = {
        {1038, &texts.group},        {1039, &texts.labelPort},
        {1041, &texts.labelBaud},    {1040, &texts.labelParity},
        {1042, &texts.labelDataBits}, {1043, &texts.labelStopBits},
        {1017, started ? &texts.buttonStarted : &texts.buttonStopped},
        {1048, started ? &texts.statusStarted : &texts.statusStopped},
    };
    for (const auto& [id, text] : controls)
        EXPECT_EQ(dialog.Child(id).Text(), *text) << "control " << id;

    const std::vector<MenuItem> bar = probe.MenuBar();
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_EQ(bar[0].text, texts.settings);
    EXPECT_EQ(bar[1].text, texts.help);
    ASSERT_EQ(bar[0].items.size(), 3u);
    const MenuItem& startUp = bar[0].items[0];
    const MenuItem& encoding = bar[0].items[1];
    const MenuItem& typing = bar[0].items[2];
    EXPECT_EQ(startUp.text, texts.startUp);
    EXPECT_EQ(encoding.text, texts.encoding);
    EXPECT_EQ(typing.text, texts.typing);
    EXPECT_TRUE(startUp.hasSubmenu && encoding.hasSubmenu && typing.hasSubmenu) << "a submenu went with its new text";
    ExpectEntries(startUp, texts.startUpEntries, kStartUpIds, "Start up");
    ExpectEntries(encoding, texts.encodingEntries, kEncodingIds, "Encoding");
    ASSERT_EQ(typing.items.size(), 7u);
    EXPECT_TRUE(typing.items[4].IsSeparator());
    for (size_t i = 0; i < 6; ++i) {
        const MenuItem& entry = typing.items[i < 4 ? i : i + 1];
        EXPECT_EQ(entry.text, texts.typingEntries[i]) << "Typing entry " << i;
        EXPECT_EQ(entry.id, kTypingIds[i]) << "Typing entry " << i;
    }
    ASSERT_EQ(bar[1].items.size(), 1u);
    EXPECT_EQ(bar[1].items[0].text, texts.about);
    EXPECT_EQ(bar[1].items[0].id, static_cast<UINT>(ID_HELP_ABOUT));
}

TypingChecks ExpectedTypingChecks(int delayMs, int keyMode)
{
    return {delayMs == 0, delayMs == 5, delayMs == 20, delayMs == 50, keyMode == 0, keyMode == 1};
}

TypingChecks ReadTypingChecks(AppProbe& probe)
{
    const MenuItem* typing = MenuItemAt(probe.MenuBar(), {0, 2});
    if (!typing || typing->items.size() != 7)
        throw HarnessError("the menu bar has no Typing menu of 7 entries");
    TypingChecks checks{};
    for (size_t i = 0; i < 6; ++i)
        checks[i] = typing->items[i < 4 ? i : i + 1].IsChecked();
    return checks;
}

void Command(const Window& dialog, AppProbe& probe, UINT id)
{
    dialog.PostCommand(static_cast<int>(id));
    if (!probe.Sync())
        throw HarnessError("Tapwire did not come back from command " + std::to_string(id));
}

void ClickNotification(const Window& dialog, AppProbe& probe, int buttonId)
{
    dialog.PostCommand(buttonId, BN_CLICKED, dialog.Child(buttonId).Handle());
    if (!probe.Sync())
        throw HarnessError("Tapwire did not come back from the click of " + std::to_string(buttonId));
}

// --- the program -----------------------------------------------------------

Window TapwireRun::WaitForWindow(DWORD timeoutMs) const
{
    Window window;
    WaitUntil(
        [&] {
            window = FindTapwireWindow(m_process.Id());
            return window || !m_process.IsRunning();
        },
        timeoutMs);
    if (!window)
        throw HarnessError("Tapwire.exe made no main window");
    return window;
}

bool TapwireRun::CloseCleanly(const Window& window, DWORD timeoutMs) const
{
    window.PostClose();
    return m_process.WaitForExit(timeoutMs) && !IsCrashExitCode(*m_process.ExitCode());
}

PortDevices::PortDevices(size_t count)
{
    const std::vector<ComPair> pairs = ComPairs();
    if (pairs.size() < count)
        throw HarnessError("the harness has fewer than " + std::to_string(count) + " port pairs");
    for (size_t i = 0; i < count; ++i) {
        m_pairs.push_back(pairs[i]);
        const std::wstring port = L"COM" + std::to_wstring(pairs[i].appPort);
        m_devices.push_back(std::make_unique<FakePortsDevice>(PortsDeviceInfo{
            L"USB\\VID_1234&PID_5678\\SETTINGS" + std::to_wstring(i), L"USB Serial Device (" + port + L")",
            {L"USB\\VID_1234&PID_5678&REV_0100", L"USB\\VID_1234&PID_5678"}}));
    }
}

std::array<int, 5> ListSelections(const Window& dialog)
{
    std::array<int, 5> selections{};
    const int ids[5] = {1019, 1003, 1004, 1005, 1006};
    for (size_t i = 0; i < 5; ++i)
        selections[i] = dialog.Child(ids[i]).ComboSelection();
    return selections;
}

void SettingsTest::SetUp()
{
    TerminateProcessesByName(kTapwireExeName);
    DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName);
}

void SettingsTest::TearDown()
{
    EXPECT_EQ(TerminateProcessesByName(kTapwireExeName), 0u) << "a Tapwire process outlived its test";
    DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName);
}

}  // namespace settingstest
