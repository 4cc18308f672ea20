#include "InstallDrivers.h"
#include "LogMessages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

namespace {

constexpr char kModemInf[] = "C:\\Windows\\inf\\mdmcpq.inf";
constexpr char kXpModemInf[] = "C:\\WINDOWS\\inf\\mdmcpq.inf";
constexpr char kSystem32Driver[] = "C:\\Windows\\System32\\drivers\\usbser.sys";
constexpr char kSysWow64Driver[] = "C:\\Windows\\SysWOW64\\drivers\\usbser.sys";

using Copies = std::vector<std::pair<std::string, std::string>>;

// The records every completed run starts and ends with, around the part
// that depends on the system.
std::vector<std::string> RunLog(std::initializer_list<std::string_view> middle,
                                std::initializer_list<std::string_view> preinstall = {
                                    msg::kCallingPreinstall, msg::kPreinstallSucceeded,
                                    msg::kVendorDriverReady})
{
    std::vector<std::string> log = Messages({msg::kLogOpened, msg::kDriverVersion, msg::kDetectingSystem});
    log.insert(log.end(), middle.begin(), middle.end());
    log.push_back(std::string(msg::kSeparator));
    log.push_back(std::string(msg::kInstallingVendorDriver));
    log.insert(log.end(), preinstall.begin(), preinstall.end());
    log.push_back(std::string(msg::kLogClosing));
    log.push_back(std::string(msg::kRunEnd));
    return log;
}

class InstallRun : public ::testing::Test {
protected:
    InstallRun() : m_installFolder(m_temp.File("inst")), m_platform(m_installFolder) {}

    // Runs the installer on the fake system and returns the records it wrote.
    std::vector<std::string> Run(int expectedExitCode = 0)
    {
        EXPECT_EQ(RunInstaller(m_platform), expectedExitCode);
        return ReadLogMessages(m_platform.LogPath());
    }

    // An installed modem INF that still names usbser.sys in its fake modem
    // section, where the patch finds it under destination.
    void InstallPatchableModemInf(const std::string& destination)
    {
        const std::string file = m_temp.File("mdmcpq.inf");
        WriteBytes(file, Utf16le("[FakeModemCopyFileSection]\r\nusbser.sys,,,0x20\r\n"));
        m_platform.files.mapping[destination] = file;
    }

    CTempFolder m_temp;
    std::string m_installFolder;
    CFakePlatform m_platform;
};

struct PlanCase {
    const char* system;
    OsVersion version;
    std::uint16_t architecture;
    std::vector<std::pair<const char*, const char*>> copies;  // in order, source relative to Drivers
    std::vector<std::string_view> whenMissing;                 // records when every copy happens
    std::vector<std::string_view> whenPresent;                 // records when every destination exists
};

const PlanCase kPlanCases[] = {
    {"XP 32-bit", {5, 1, 3}, 0,
     {{"xp\\mdmcpq.inf", kXpModemInf}, {"xp\\usbser.sys", kSystem32Driver}},
     {msg::kWindowsXp32, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindowsXp32, msg::kModemInfPatched, msg::kSerialDriverExists}},
    {"Server 2003 64-bit", {5, 2, 2}, 9,
     {{"xp\\mdmcpq.inf", kXpModemInf}, {"xp\\usbser.sys", kSystem32Driver}},
     {msg::kWindowsXp64, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindowsXp64, msg::kModemInfPatched, msg::kSerialDriverExists}},
    {"Vista 32-bit", {6, 0, 2}, 0, {}, {msg::kWindowsVista32}, {msg::kWindowsVista32}},
    {"Server 2008 64-bit", {6, 0, 2}, 9, {}, {msg::kWindowsVista64}, {msg::kWindowsVista64}},
    {"7 32-bit", {6, 1, 1}, 0,
     {{"win7_32bit\\mdmcpq.inf", kModemInf}, {"win7_32bit\\usbser.sys", kSystem32Driver}},
     {msg::kWindows7_32, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindows7_32, msg::kModemInfPatched, msg::kSerialDriverExists}},
    {"7 64-bit", {6, 1, 1}, 9,
     {{"win7_64bit\\32bits\\mdmcpq.inf", kModemInf},
      {"win7_64bit\\32bits\\usbser.sys", kSystem32Driver},
      {"win7_64bit\\64bits\\usbser.sys", kSysWow64Driver}},
     {msg::kWindows7_64, msg::kModemInfCopied, msg::kSystem32DriverCopied, msg::kSysWow64DriverCopied},
     {msg::kWindows7_64, msg::kModemInfPatched, msg::kSystem32DriverExists, msg::kSysWow64DriverExists}},
    {"8 32-bit", {6, 2, 0}, 0,
     {{"win8_64bit\\mdmcpq.inf", kModemInf}, {"win8_64bit\\usbser.sys", kSystem32Driver}},
     {msg::kWindows8_32, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindows8_32, msg::kModemInfPatched, msg::kSerialDriverExists}},
    {"8 on IA64", {6, 2, 0}, 6,
     {{"win8_64bit\\mdmcpq.inf", kModemInf}, {"win8_64bit\\usbser.sys", kSystem32Driver}},
     {msg::kWindows8_64, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindows8_64, msg::kModemInfPatched, msg::kSerialDriverExists}},
    {"8.1 32-bit", {6, 3, 0}, 0,
     {{"win8_64bit\\mdmcpq.inf", kModemInf}, {"win8_64bit\\usbser.sys", kSystem32Driver}},
     {msg::kWindows8_1_32, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindows8_1_32, msg::kModemInfPatched, msg::kSerialDriverExists}},
    {"8.1 64-bit", {6, 3, 0}, 9,
     {{"win8_64bit\\mdmcpq.inf", kModemInf}, {"win8_64bit\\usbser.sys", kSystem32Driver}},
     {msg::kWindows8_1_64, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindows8_1_64, msg::kModemInfPatched, msg::kSerialDriverExists}},
    {"10 32-bit", {10, 0, 0}, 0,
     {{"win10\\mdmcpq.inf", kModemInf}, {"win10\\usbser.sys", kSystem32Driver}},
     {msg::kWindows10_32, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindows10_32, msg::kModemInfPatched, msg::kSerialDriverExists}},
    {"10 64-bit", {10, 0, 0}, 9,
     {{"win10\\mdmcpq.inf", kModemInf}, {"win10\\usbser.sys", kSystem32Driver}},
     {msg::kWindows10_64, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindows10_64, msg::kModemInfPatched, msg::kSerialDriverExists}},
    {"11 on ARM64 counts as 32-bit", {10, 0, 0}, 12,
     {{"win10\\mdmcpq.inf", kModemInf}, {"win10\\usbser.sys", kSystem32Driver}},
     {msg::kWindows10_32, msg::kModemInfCopied, msg::kSerialDriverCopied},
     {msg::kWindows10_32, msg::kModemInfPatched, msg::kSerialDriverExists}},
};

std::vector<std::string> PlanRunLog(const std::vector<std::string_view>& plan)
{
    std::vector<std::string> log = RunLog({});
    log.insert(log.begin() + 3, plan.begin(), plan.end());
    return log;
}

class VersionPlanRun : public InstallRun, public ::testing::WithParamInterface<PlanCase> {};

TEST_P(VersionPlanRun, CopiesWhatIsMissing)
{
    const PlanCase& c = GetParam();
    m_platform.version = c.version;
    m_platform.architecture = c.architecture;

    EXPECT_EQ(Run(), PlanRunLog(c.whenMissing));
    Copies expected;
    for (const auto& copy : c.copies)
        expected.emplace_back(m_installFolder + "\\Drivers\\" + copy.first, copy.second);
    EXPECT_EQ(m_platform.copies, expected);
    EXPECT_TRUE(m_platform.files.opened.empty()) << "nothing to patch after a copy";
}

TEST_P(VersionPlanRun, PatchesAndReportsWhatExists)
{
    const PlanCase& c = GetParam();
    m_platform.version = c.version;
    m_platform.architecture = c.architecture;
    std::vector<std::string> patched;
    for (const auto& [source, destination] : c.copies) {
        m_platform.copyErrors[destination] = 80;  // ERROR_FILE_EXISTS
        if (std::string_view(source).find("mdmcpq.inf") != std::string_view::npos) {
            InstallPatchableModemInf(destination);
            patched.push_back(destination);
        }
    }

    EXPECT_EQ(Run(), PlanRunLog(c.whenPresent));
    EXPECT_EQ(m_platform.files.opened, patched);
}

void PrintTo(const PlanCase& c, std::ostream* out)
{
    *out << c.system;
}

INSTANTIATE_TEST_SUITE_P(EveryClassAndWidth, VersionPlanRun, ::testing::ValuesIn(kPlanCases),
                         [](const ::testing::TestParamInfo<PlanCase>& info) {
                             std::string name;
                             for (const char* p = info.param.system; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(InstallRun, BeforeXpCopiesNothingAndStillPreinstalls)
{
    for (const std::optional<OsVersion>& version : {std::optional<OsVersion>(OsVersion{5, 0, 4}),
                                                    std::optional<OsVersion>()}) {
        std::filesystem::remove(m_platform.LogPath());
        m_platform.version = version;
        EXPECT_EQ(Run(), RunLog({msg::kBeforeXp}));
        EXPECT_TRUE(m_platform.copies.empty());
        EXPECT_EQ(m_platform.architectureQueries, 0) << "the width is not asked for";
    }
    EXPECT_EQ(m_platform.preinstalled.size(), 2u);
}

TEST_F(InstallRun, SecondRunOnTheSameSystemAppendsAndFindsTheFilesInPlace)
{
    // A first run on 64-bit Windows 10 copies both files; the second finds
    // them, patches the INF the first one copied and says usbser.sys exists.
    EXPECT_EQ(Run(), RunLog({msg::kWindows10_64, msg::kModemInfCopied, msg::kSerialDriverCopied}));

    m_platform.copyErrors = {{kModemInf, 80}, {kSystem32Driver, 80}};
    InstallPatchableModemInf(kModemInf);
    m_platform.preinstall = {false, 80};
    std::vector<std::string> both =
        RunLog({msg::kWindows10_64, msg::kModemInfCopied, msg::kSerialDriverCopied});
    const std::vector<std::string> second =
        RunLog({msg::kWindows10_64, msg::kModemInfPatched, msg::kSerialDriverExists},
               {msg::kCallingPreinstall, msg::kPreinstallFailed, msg::kVendorDriverPresent,
                msg::kVendorDriverReady});
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(Run(), both);
}

TEST_F(InstallRun, CopyFailureOtherThanAnExistingFileIsSpelledOut)
{
    // The plan's own records cannot tell a missing source from an existing
    // destination; a record with the error code follows when the cause was
    // not an existing file. A modem INF that is not there cannot be opened.
    m_platform.copyErrors = {{kModemInf, 2}, {kSystem32Driver, 5}};
    const std::string copyFailed(msg::kCopyFailed);
    const std::string source(msg::kCopyFailedSource);
    EXPECT_EQ(Run(), RunLog({msg::kWindows10_64, msg::kModemInfOpenFailed,
                             copyFailed + "2" + source + "Drivers\\win10\\mdmcpq.inf\n",
                             msg::kSerialDriverExists,
                             copyFailed + "5" + source + "Drivers\\win10\\usbser.sys\n"}));
    EXPECT_EQ(m_platform.files.opened, std::vector<std::string>{kModemInf});
}

TEST_F(InstallRun, PreinstallOutcomes)
{
    struct Case {
        PreinstallResult result;
        std::initializer_list<std::string_view> records;
    };
    const Case cases[] = {
        {{true, 0}, {msg::kCallingPreinstall, msg::kPreinstallSucceeded, msg::kVendorDriverReady}},
        // ERROR_FILE_EXISTS: the INF counts as present.
        {{false, 80},
         {msg::kCallingPreinstall, msg::kPreinstallFailed, msg::kVendorDriverPresent, msg::kVendorDriverReady}},
        {{false, 2},
         {msg::kCallingPreinstall, msg::kPreinstallFailed, msg::kPreinstallError, msg::kVendorDriverFailed}},
        {{false, 0xE0000000u},
         {msg::kCallingPreinstall, msg::kPreinstallFailed, msg::kPreinstallError, msg::kVendorDriverFailed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result.error);
        std::filesystem::remove(m_platform.LogPath());
        m_platform.preinstall = c.result;
        EXPECT_EQ(Run(0), RunLog({msg::kWindows10_64, msg::kModemInfCopied, msg::kSerialDriverCopied},
                                 c.records));
    }
    EXPECT_EQ(m_platform.preinstalled,
              std::vector<std::string>(4, m_installFolder + "\\Drivers\\Pelk_UsbToUartDriver_NoSign.inf"));
}

TEST_F(InstallRun, WithoutALogNothingIsDoneAndTheExitCodeIsOne)
{
    struct Case {
        const char* situation;
        void (*arrange)(CFakePlatform&);
    };
    const Case cases[] = {
        {"no logs folder", [](CFakePlatform& p) { p.logsFolderPresent = false; }},
        {"no executable path", [](CFakePlatform& p) { p.exePath.reset(); }},
        {"executable path without a folder", [](CFakePlatform& p) { p.exePath = "setup.exe"; }},
        {"log file cannot be opened",
         [](CFakePlatform& p) { std::filesystem::create_directories(p.LogPath()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        CTempFolder temp;
        CFakePlatform platform(temp.File("inst"));
        c.arrange(platform);
        EXPECT_EQ(RunInstaller(platform), 1);
        EXPECT_TRUE(platform.copies.empty());
        EXPECT_TRUE(platform.preinstalled.empty());
        EXPECT_FALSE(std::filesystem::is_regular_file(platform.LogPath()));
    }
}

// An install folder of exactly length characters inside temp.
std::string FolderOfLength(const CTempFolder& temp, std::size_t length)
{
    const std::string base = temp.Path().string();
    return base + "/" + std::string(length - base.size() - 1, 'd');
}

TEST(InstallPathLength, VendorInfPathThatDoesNotFitIsSkipped)
{
    // "\Drivers\Pelk_UsbToUartDriver_NoSign.inf" has 40 characters, the
    // log's "\logs\Pelk_Ostra_Driver_NoSign_Log.txt" 38: with a folder of 221
    // the log fits exactly and the vendor INF's path does not; with one of
    // 222 there can be no log.
    {
        CTempFolder temp;
        CFakePlatform platform(FolderOfLength(temp, 219));
        EXPECT_EQ(RunInstaller(platform), 0);
        ASSERT_EQ(platform.preinstalled.size(), 1u);
        EXPECT_EQ(platform.preinstalled[0].size(), 259u);
    }
    {
        CTempFolder temp;
        CFakePlatform platform(FolderOfLength(temp, 221));
        EXPECT_EQ(RunInstaller(platform), 0);
        EXPECT_EQ(platform.LogPath().size(), 259u);
        EXPECT_TRUE(platform.preinstalled.empty());
        EXPECT_EQ(ReadLogMessages(platform.LogPath()),
                  RunLog({msg::kWindows10_64, msg::kModemInfCopied, msg::kSerialDriverCopied},
                         {std::string(msg::kPathTooLong) + "Drivers\\Pelk_UsbToUartDriver_NoSign.inf\n",
                          msg::kVendorDriverFailed}));
    }
    {
        CTempFolder temp;
        CFakePlatform platform(FolderOfLength(temp, 222));
        EXPECT_EQ(RunInstaller(platform), 1);
        EXPECT_TRUE(platform.copies.empty());
        EXPECT_FALSE(std::filesystem::exists(platform.LogPath()));
    }
}

}  // namespace
