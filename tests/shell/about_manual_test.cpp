// The About box, from the Help menu and from the system menu, in each
// interface language; and the help manual, whose file is observed where the
// shell hands it over: a stand-in viewer registered for .chm files records
// what it was asked to open.
#include "NotificationArea.h"
#include "Screenshot.h"
#include "ShellTestSupport.h"

#include <sstream>

using namespace shelltest;

namespace {

constexpr DWORD kTimeoutMs = 5000;
const std::wstring kVersionLine = L"Tapwire  V2.5.9 JP";
const std::wstring kEnglishManual = L"Tapwire_Manual_EN_V2.2.chm";
const std::wstring kChineseManual = L"Tapwire_Manual_CN_V2.2.chm";

// An interface language, reached through the hidden switch buttons (none
// for Japanese, the language every start comes up in).
struct Language {
    const char* name;
    int switchId;
    std::wstring statusStopped;  // the status line once it is in force
    std::wstring aboutCaption;
    std::wstring manual;
};

const Language kJapanese{"Japanese", 0, kStatusStopped, L"About Tapwire", kEnglishManual};
const Language kEnglish{"English", kEnglishSwitch, L"    Port Status: Closed", L"About Tapwire", kEnglishManual};
const Language kChinese{"Chinese", kChineseSwitch, L"    串口状态: 已关闭", L"关于 Tapwire", kChineseManual};

::testing::AssertionResult SwitchTo(const Window& dialog, const Language& language)
{
    if (language.switchId)
        dialog.PostCommand(language.switchId, BN_CLICKED, dialog.Child(language.switchId).Handle());
    if (WaitUntil([&] { return dialog.Child(kStatusLine).Text() == language.statusStopped; }, kTimeoutMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the interface is not in " << language.name;
}

struct AboutSource {
    const char* name;
    void (*open)(const Window& dialog);
};
void PrintTo(const AboutSource& c, std::ostream* out) { *out << c.name; }

class AboutBox : public ShellTest, public ::testing::WithParamInterface<AboutSource> {
protected:
    TapwireApp m_app;
};

}  // namespace

TEST_P(AboutBox, ShowsNameAndVersionInTheCaptionOfTheLanguageAndHidesNothing)
{
    const Window dialog = m_app.Start();
    const size_t icons = TrayIcons().size();
    for (const Language* language : {&kJapanese, &kEnglish, &kChinese}) {
        SCOPED_TRACE(language->name);
        ASSERT_TRUE(SwitchTo(dialog, *language));
        GetParam().open(dialog);
        Window about;
        ASSERT_TRUE(WaitUntil(
            [&] { return static_cast<bool>(about = FindVisibleDialog(m_app.GetProcess().Id(),
                                                                      language->aboutCaption)); },
            kTimeoutMs))
            << "no About box";
        EXPECT_EQ(about.Child(kAboutVersionLine).Text(), kVersionLine);
        EXPECT_TRUE(dialog.IsVisible() && !dialog.IsMinimized()) << "the main window went away";
        EXPECT_FALSE(dialog.IsEnabled()) << "the main window takes input while the About box runs";
        EXPECT_EQ(TrayIcons().size(), icons) << "an icon came to the notification area";
        if (language == &kJapanese)
            SaveScreenshot(BoundingRect(dialog.Rect(), about.Rect()), std::wstring(L"about-box-") +
                                                                          Widen(GetParam().name));

        about.Child(IDOK).Click();
        EXPECT_TRUE(WaitUntil([&] { return !about.Exists(); }, kTimeoutMs)) << "OK did not end the About box";
        EXPECT_TRUE(WaitUntil([&] { return dialog.IsEnabled(); }, kTimeoutMs));
    }
    EXPECT_TRUE(ClosesCleanly(m_app));
}

INSTANTIATE_TEST_SUITE_P(
    From, AboutBox,
    ::testing::Values(AboutSource{"HelpMenu", [](const Window& w) { w.PostCommand(kHelpAboutCommand); }},
                      AboutSource{"SystemMenu", [](const Window& w) { w.PostSysCommand(kSystemMenuAbout); }}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

// Makes the stand-in viewer the handler of .chm files for the length of a
// test (the prefix's HKLM classes: this Wine reads no per-user ones).
class StandInManualViewer {
public:
    StandInManualViewer() : m_strRecord(m_folder.File(L"opened.txt"))
    {
        m_previous = GetRegistryValue(HKEY_LOCAL_MACHINE, kExtensionKey, L"");
        SetRegistryString(HKEY_LOCAL_MACHINE, kProgIdKey + L"\\shell\\open\\command", L"",
                          L"\"" + WindowsPathFromUnix(MANUAL_VIEWER_STAND_IN_EXE) + L"\" \"" + m_strRecord +
                              L"\" \"%1\"");
        SetRegistryString(HKEY_LOCAL_MACHINE, kExtensionKey, L"", kProgId);
    }
    ~StandInManualViewer()
    {
        if (m_previous)
            SetRegistryValue(HKEY_LOCAL_MACHINE, kExtensionKey, L"", *m_previous);
        else
            DeleteRegistryValue(HKEY_LOCAL_MACHINE, kExtensionKey, L"");
    }
    StandInManualViewer(const StandInManualViewer&) = delete;
    StandInManualViewer& operator=(const StandInManualViewer&) = delete;

    // The files it was asked to open, in order.
    std::vector<std::wstring> Opened() const
    {
        std::string text;
        HANDLE record = CreateFileW(m_strRecord.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (record != INVALID_HANDLE_VALUE) {
            char buffer[4096];
            DWORD read = 0;
            while (ReadFile(record, buffer, sizeof(buffer), &read, nullptr) && read > 0)
                text.append(buffer, read);
            CloseHandle(record);
        }
        std::vector<std::wstring> files;
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line))
            files.push_back(Widen(line));
        return files;
    }
    // Waits until it has been asked `count` times; the files by then.
    std::vector<std::wstring> WaitForOpened(size_t count) const
    {
        std::vector<std::wstring> files;
        WaitUntil([&] { return (files = Opened()).size() >= count; }, kTimeoutMs);
        return files;
    }

private:
    static inline const std::wstring kExtensionKey = L"Software\\Classes\\.chm";
    static inline const std::wstring kProgId = L"TapwireTest.ManualViewer";
    static inline const std::wstring kProgIdKey = L"Software\\Classes\\TapwireTest.ManualViewer";

    ScratchFolder m_folder;
    std::wstring m_strRecord;
    ScopedRegistryKey m_progId{HKEY_LOCAL_MACHINE, kProgIdKey};
    std::optional<RegistryValue> m_previous;
};

// Both manuals, empty, in a folder: the shell opens only files that exist.
void PlaceManuals(const std::wstring& folder)
{
    for (const std::wstring& name : {kEnglishManual, kChineseManual}) {
        const std::wstring path = folder + L"\\" + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            ThrowLastError("cannot create " + Narrow(path));
        CloseHandle(file);
    }
}

class Manual : public ShellTest {
protected:
    StandInManualViewer m_viewer;
    TapwireApp m_app;
};

}  // namespace

TEST_F(Manual, OpensTheEnglishManualForJapaneseAndEnglishAndTheChineseOneForChinese)
{
    PlaceManuals(m_app.Folder());
    const Window dialog = m_app.Start();
    std::vector<std::wstring> expected;
    for (const Language* language : {&kJapanese, &kEnglish, &kChinese}) {
        SCOPED_TRACE(language->name);
        ASSERT_TRUE(SwitchTo(dialog, *language));
        dialog.PostCommand(kHelpManualCommand);
        expected.push_back(m_app.Folder() + L"\\" + language->manual);
        EXPECT_EQ(m_viewer.WaitForOpened(expected.size()), expected);
    }
    EXPECT_TRUE(ClosesCleanly(m_app));
}

TEST_F(Manual, IsTakenFromTheInstallFolderOfTheRegistry)
{
    ScratchFolder installFolder;
    PlaceManuals(installFolder.Path());
    PlaceManuals(m_app.Folder());
    SetRegistryString(HKEY_CURRENT_USER, L"SOFTWARE\\TAPWIRE", L"InstallPath", installFolder.Path());
    const Window dialog = m_app.Start();
    dialog.PostCommand(kHelpManualCommand);
    EXPECT_EQ(m_viewer.WaitForOpened(1), std::vector<std::wstring>{installFolder.File(kEnglishManual)});
    EXPECT_TRUE(ClosesCleanly(m_app));
}
