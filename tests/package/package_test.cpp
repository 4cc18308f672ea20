// The setup package as a user meets it: a silent install into a folder with
// blanks in its name, Tapwire run from there with its settings in that
// folder, and a silent uninstall that takes everything but the user's
// Config.ini (unless asked) and the registry values with it.
#include "HarnessEnv.h"
#include "IniFile.h"
#include "Process.h"
#include "Registry.h"
#include "TapwireApp.h"
#include "Window.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>

using namespace wineharness;

namespace {

const std::wstring kInstallKey = L"SOFTWARE\\TAPWIRE";
const std::wstring kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tapwire";

// What the package puts into the folder, besides the folders Drivers and logs.
const wchar_t* const kProgramFiles[] = {
    L"Tapwire.exe",
    L"Tapwire_Manual_EN_V2.2.chm",
    L"Tapwire_Manual_CN_V2.2.chm",
    L"ostra_driver_setup.exe",
    L"Drivers\\Pelk_UsbToUartDriver_NoSign.inf",
    L"Drivers\\README.txt",
    L"Drivers\\xp\\README.txt",
    L"Drivers\\win7_32bit\\README.txt",
    L"Drivers\\win7_64bit\\32bits\\README.txt",
    L"Drivers\\win7_64bit\\64bits\\README.txt",
    L"Drivers\\win8_64bit\\README.txt",
    L"Drivers\\win10\\README.txt",
    L"Uninstall.exe",
};

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring StartMenuShortcut()
{
    wchar_t programs[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
        throw HarnessError("no Start menu folder");
    return std::wstring(programs) + L"\\Tapwire.lnk";
}

// The package under test: this build's, or the one the environment names (the
// tests of the shipped 32-bit build run the same cases against it).
std::wstring SetupPackage()
{
    if (const char* underTest = std::getenv("SETUP_PACKAGE_UNDER_TEST"); underTest && *underTest)
        return WindowsPathFromUnix(underTest);
    return WindowsPathFromUnix(SETUP_PACKAGE_EXE);
}

// Whether a program is a 64-bit one, from its PE header.
bool Is64BitProgram(const std::wstring& path)
{
    const std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes || bytes->size() < 0x40)
        throw HarnessError("cannot read " + Narrow(path));
    const uint32_t peOffset = *reinterpret_cast<const uint32_t*>(bytes->data() + 0x3C);
    if (bytes->size() < peOffset + 6)
        throw HarnessError(Narrow(path) + " is no PE file");
    const uint16_t machine = *reinterpret_cast<const uint16_t*>(bytes->data() + peOffset + 4);
    return machine == IMAGE_FILE_MACHINE_AMD64;
}

// Runs a program to its end and gives its exit code.
DWORD RunToEnd(const std::wstring& exePath, const std::wstring& arguments)
{
    Process process = Process::Launch(exePath, arguments);
    if (!process.WaitForExit(60000)) {
        process.Terminate();
        throw HarnessError(Narrow(exePath) + " did not end within 60 s");
    }
    return *process.ExitCode();
}

class SetupPackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TerminateProcessesByName(kTapwireExeName);
        DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, L"TapwirePath");
        DeleteFileW(StartMenuShortcut().c_str());
    }

    void TearDown() override
    {
        EXPECT_EQ(TerminateProcessesByName(kTapwireExeName), 0u) << "a Tapwire process outlived its test";
        DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, L"TapwirePath");
        DeleteFileW(StartMenuShortcut().c_str());
    }

    std::wstring File(const std::wstring& name) const { return m_strFolder + L"\\" + name; }

    // /D= comes last and unquoted, blanks and all, as the package expects it.
    void Install()
    {
        ASSERT_EQ(RunToEnd(SetupPackage(), L"/S /D=" + m_strFolder), 0u);
        ASSERT_TRUE(FileExists(File(L"Tapwire.exe"))) << "nothing installed in " << Narrow(m_strFolder);
    }

    // Uninstall.exe hands the work to a copy of itself in %TEMP% and ends at
    // once; that copy removes Uninstall.exe last, so the work is done when
    // the file is gone.
    void Uninstall(const std::wstring& options)
    {
        ASSERT_EQ(RunToEnd(File(L"Uninstall.exe"), L"/S" + options), 0u);
        ASSERT_TRUE(WaitUntil([&] { return !FileExists(File(L"Uninstall.exe")); }, 30000, 50))
            << "the uninstaller did not finish";
    }

    // Starts the installed Tapwire from another working folder and waits for
    // its main window.
    Process StartTapwire(Window& dialog)
    {
        Process process = Process::Launch(File(L"Tapwire.exe"), L"", m_base.Path());
        const bool shown = WaitUntil(
            [&] {
                dialog = FindTapwireWindow(process.Id());
                return (dialog && dialog.IsVisible()) || !process.IsRunning();
            },
            15000);
        if (!shown || !dialog)
            throw HarnessError("the installed Tapwire showed no main window");
        return process;
    }

    void ExpectProgramFilesGone()
    {
        for (const wchar_t* name : kProgramFiles)
            EXPECT_FALSE(FileExists(File(name))) << Narrow(name) << " is still there";
        EXPECT_FALSE(FolderExists(File(L"Drivers")));
        EXPECT_FALSE(FolderExists(File(L"logs")));
        EXPECT_FALSE(FileExists(StartMenuShortcut()));
        EXPECT_FALSE(GetRegistryValue(HKEY_CURRENT_USER, kInstallKey, L"InstallPath").has_value());
        EXPECT_FALSE(GetRegistryValue(HKEY_CURRENT_USER, kRunKey, L"TapwirePath").has_value());
        EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUninstallKey));
    }

    // Each test starts without these keys and leaves none behind.
    ScopedRegistryKey m_installKey{HKEY_CURRENT_USER, kInstallKey};
    ScopedRegistryKey m_uninstallKey{HKEY_CURRENT_USER, kUninstallKey};
    ScratchFolder m_base;
    const std::wstring m_strFolder = m_base.Path() + L"\\My Programs\\Tap wire 2";
};

}  // namespace

TEST_F(SetupPackageTest, InstallsRunsAndUninstallsKeepingTheSettings)
{
    Install();
    for (const wchar_t* name : kProgramFiles)
        EXPECT_TRUE(FileExists(File(name))) << Narrow(name) << " is missing";
    EXPECT_TRUE(FolderExists(File(L"logs"))) << "the driver installer needs its logs folder";
    EXPECT_TRUE(FileExists(StartMenuShortcut()));
    // The folder exactly, without a trailing backslash.
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kInstallKey, L"InstallPath"), m_strFolder);
    EXPECT_FALSE(FileExists(File(L"Config.ini"))) << "a per-user install brings no settings file";

    // Tapwire takes its settings from the folder (115200 Bd instead of the
    // default 9600), fills in the missing keys there, and stores a change
    // there.
    WriteFileBytes(File(L"Config.ini"), "[Uart Setting]\r\nBaudRate=9\r\n");
    Window dialog;
    Process tapwire = StartTapwire(dialog);
    const Window baudRate = dialog.Child(1003);
    EXPECT_EQ(baudRate.ComboSelectedText(), L"115200");
    baudRate.Post(CB_SETCURSEL, 6, 0);
    dialog.PostCommand(1003, CBN_SELCHANGE, baudRate.Handle());
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::optional<std::string> text = ReadFileBytes(File(L"Config.ini"));
            return text && IniValue(ParseIni(*text), "Uart Setting", "BaudRate") == "6";
        },
        5000))
        << "the new baud rate did not reach Config.ini in the installation folder";
    const std::vector<IniEntry> settings = ParseIni(ReadFileBytes(File(L"Config.ini")).value_or(""));
    EXPECT_EQ(IniValue(settings, "Start Setting", "BootRun"), "0");
    EXPECT_EQ(IniValue(settings, "Uart Setting", "ParityBit"), "0");
    dialog.PostClose();
    ASSERT_TRUE(tapwire.WaitForExit(10000));

    // As Tapwire leaves it when "Run after starting up the PC" is on.
    SetRegistryString(HKEY_CURRENT_USER, kRunKey, L"TapwirePath", File(L"Tapwire.exe"));
    Uninstall(L"");
    ExpectProgramFilesGone();
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kInstallKey)) << "the emptied key stays behind";
    const std::optional<std::string> kept = ReadFileBytes(File(L"Config.ini"));
    ASSERT_TRUE(kept.has_value()) << "the user's settings went with the program";
    EXPECT_EQ(IniValue(ParseIni(*kept), "Uart Setting", "BaudRate"), "6");
}

TEST_F(SetupPackageTest, UninstallOnRequestRemovesTheSettingsAndTheFolder)
{
    Install();
    WriteFileBytes(File(L"Config.ini"), "[Uart Setting]\r\nBaudRate=9\r\n");
    // What the driver installer leaves after a run.
    WriteFileBytes(File(L"logs\\Pelk_Ostra_Driver_NoSign_Log.txt"), "[2024-01-01 00:00:00.000] [log] [info] INFO:\r\n");

    Uninstall(L" /REMOVECONFIG");
    ExpectProgramFilesGone();
    EXPECT_TRUE(WaitUntil([&] { return !FolderExists(m_strFolder); }, 5000))
        << "the installation folder is still there";
}

TEST_F(SetupPackageTest, NeitherInstallNorUninstallTouchesARunningTapwire)
{
    Install();
    Window dialog;
    Process tapwire = StartTapwire(dialog);

    // Silent, so the request to close Tapwire is answered with Cancel: 2.
    EXPECT_EQ(RunToEnd(SetupPackage(), L"/S /D=" + m_strFolder), 2u);
    // _?= runs the uninstaller in place, so its own exit code comes back.
    EXPECT_EQ(RunToEnd(File(L"Uninstall.exe"), L"/S _?=" + m_strFolder), 2u);
    for (const wchar_t* name : kProgramFiles)
        EXPECT_TRUE(FileExists(File(name))) << Narrow(name) << " is gone";
    EXPECT_TRUE(GetRegistryValue(HKEY_CURRENT_USER, kInstallKey, L"InstallPath").has_value());
    EXPECT_TRUE(tapwire.IsRunning());

    dialog.PostClose();
    ASSERT_TRUE(tapwire.WaitForExit(10000));
    Uninstall(L"");
    ExpectProgramFilesGone();
}

// For all users the package goes into the Program Files folder of its own
// width (a 32-bit package on 64-bit Windows: "Program Files (x86)") and lists
// itself in the machine's uninstall entries of its own registry view, where
// Windows lists programs of that width.
TEST_F(SetupPackageTest, ForAllUsersItGoesToTheProgramFilesOfItsWidthAndListsItself)
{
    const bool wide = Is64BitProgram(SetupPackage());
    wchar_t programFiles[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, wide ? CSIDL_PROGRAM_FILES : CSIDL_PROGRAM_FILESX86, nullptr,
                                           SHGFP_TYPE_CURRENT, programFiles)));
    const std::wstring folder = std::wstring(programFiles) + L"\\Tapwire";
    const REGSAM own = wide ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const REGSAM other = wide ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    ScopedRegistryKey machineEntry{HKEY_LOCAL_MACHINE, kUninstallKey, own};

    ASSERT_EQ(RunToEnd(SetupPackage(), L"/S /AllUsers"), 0u);
    EXPECT_TRUE(FileExists(folder + L"\\Tapwire.exe")) << "nothing installed in " << Narrow(folder);
    EXPECT_EQ(GetRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", own), folder);
    EXPECT_FALSE(GetRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", other).has_value())
        << "the uninstall entry is in the other width's view";
    // Tapwire started from there finds the folder through "InstallPath".
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kInstallKey, L"InstallPath"), folder);

    ASSERT_EQ(RunToEnd(folder + L"\\Uninstall.exe", L"/S /REMOVECONFIG"), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(folder + L"\\Uninstall.exe"); }, 30000, 50))
        << "the uninstaller did not finish";
    EXPECT_TRUE(WaitUntil([&] { return !FolderExists(folder); }, 5000)) << Narrow(folder) << " is still there";
    EXPECT_FALSE(GetRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", own).has_value());
}
