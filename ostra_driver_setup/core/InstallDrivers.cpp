#include "InstallDrivers.h"

#include "InstallLog.h"
#include "InstallPaths.h"
#include "LogMessages.h"
#include "ModemInfPatch.h"
#include "VersionPlan.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace {

constexpr char kVendorInfName[] = "Pelk_UsbToUartDriver_NoSign.inf";
constexpr char kLogsFolder[] = "\\logs";
constexpr char kDriversFolder[] = "\\Drivers\\";

// ERROR_FILE_EXISTS: a copy that fails with it found its destination in
// place, and the driver store has the INF already.
constexpr std::uint32_t kErrorFileExists = 80;

// Drivers\<relative>, as the records name a shipped file.
std::string ShippedName(const char* relative)
{
    return std::string("Drivers\\") + relative;
}

class CPlanRunner {
public:
    CPlanRunner(CInstallerPlatform& platform, spdlog::logger& log, const std::string& installFolder)
        : m_platform(platform), m_log(log), m_strInstallFolder(installFolder)
    {
    }

    void Run(const VersionPlan& plan)
    {
        m_log.info(plan.systemMessage);
        if (plan.modemInf)
            CopyModemInf(*plan.modemInf);
        for (int i = 0; i < plan.serialDriverCount; ++i)
            CopySerialDriver(plan.serialDrivers[i]);
    }

private:
    std::optional<std::string> SourcePath(const char* relative)
    {
        std::optional<std::string> path =
            BuildPath(m_strInstallFolder, std::string(kDriversFolder) + relative);
        if (!path)
            m_log.info(std::string(msg::kPathTooLong) + ShippedName(relative) + "\n");
        return path;
    }

    // The "exists" records cannot tell why a copy did not happen; when the
    // cause was something else, say so in a record of its own.
    void ReportUnexpectedCopyError(const CopyResult& result, const char* relative)
    {
        if (result.error == kErrorFileExists)
            return;
        m_log.info(std::string(msg::kCopyFailed) + std::to_string(result.error) +
                   std::string(msg::kCopyFailedSource) + ShippedName(relative) + "\n");
    }

    void CopyModemInf(const DriverCopy& copy)
    {
        const std::optional<std::string> source = SourcePath(copy.source);
        if (!source)
            return;
        const CopyResult result = m_platform.CopyNewFile(*source, copy.destination);
        if (result.copied) {
            m_log.info(msg::kModemInfCopied);
            return;
        }
        // The INF is in place already: it may still name usbser.sys in its
        // fake modem section.
        PatchModemInf(copy.destination, m_platform.ModemInfFiles());
        ReportUnexpectedCopyError(result, copy.source);
    }

    void CopySerialDriver(const SerialDriverStep& step)
    {
        const std::optional<std::string> source = SourcePath(step.copy.source);
        if (!source)
            return;
        const CopyResult result = m_platform.CopyNewFile(*source, step.copy.destination);
        m_log.info(result.copied ? step.copiedMessage : step.notCopiedMessage);
        if (!result.copied)
            ReportUnexpectedCopyError(result, step.copy.source);
    }

    CInstallerPlatform& m_platform;
    spdlog::logger& m_log;
    const std::string& m_strInstallFolder;
};

}  // namespace

int InstallDrivers(CInstallerPlatform& platform)
{
    const std::optional<std::string> exePath = platform.ExecutablePath();
    if (!exePath)
        return kInstallNoLog;
    const std::optional<std::string> installFolder =
        InstallFolderOf(*exePath, [&platform](unsigned char byte) { return platform.IsLeadByte(byte); });
    if (!installFolder)
        return kInstallNoLog;
    const std::optional<std::string> logPath = BuildPath(*installFolder, kLogFileSuffix);
    if (!logPath)
        return kInstallNoLog;

    // spdlog would create a missing folder on its own; the logs folder is
    // part of the shipped layout and its absence means a broken install.
    if (!platform.FolderExists(*installFolder + kLogsFolder))
        return kInstallNoLog;
    std::shared_ptr<spdlog::logger> log;
    try {
        log = spdlog::basic_logger_st(kInstallLoggerName, *logPath, /*truncate=*/false);
    } catch (const spdlog::spdlog_ex&) {
        return kInstallNoLog;
    }

    log->info(msg::kLogOpened);
    log->info(msg::kDriverVersion);
    log->info(msg::kDetectingSystem);

    const WindowsClass windowsClass = ClassifyWindows(platform);
    if (windowsClass == BeforeXP) {
        log->info(msg::kBeforeXp);
    } else {
        const int is64Bit = Is64BitSystem(platform);
        CPlanRunner(platform, *log, *installFolder).Run(PlanFor(windowsClass, is64Bit));
    }

    log->info(msg::kSeparator);
    log->info(msg::kInstallingVendorDriver);

    int vendorInfReady = 0;
    const std::optional<std::string> vendorInf =
        BuildPath(*installFolder, std::string(kDriversFolder) + kVendorInfName);
    if (vendorInf)
        vendorInfReady = PreinstallVendorInf(*vendorInf, platform);
    else
        log->info(std::string(msg::kPathTooLong) + ShippedName(kVendorInfName) + "\n");
    log->info(vendorInfReady ? msg::kVendorDriverReady : msg::kVendorDriverFailed);
    return 0;
}

int PreinstallVendorInf(const std::string& infPath, CInstallerPlatform& platform)
{
    LogByName(msg::kCallingPreinstall);
    const PreinstallResult result = platform.CopyOemInf(infPath);
    if (result.installed) {
        LogByName(msg::kPreinstallSucceeded);
        return 1;
    }
    LogByName(msg::kPreinstallFailed);
    if (result.error == kErrorFileExists) {
        LogByName(msg::kVendorDriverPresent);
        return 1;
    }
    LogByName(msg::kPreinstallError);
    return 0;
}

int RunInstaller(CInstallerPlatform& platform) noexcept
{
    int exitCode = 1;
    try {
        if (InstallDrivers(platform) == 0) {
            LogByName(msg::kLogClosing);
            LogByName(msg::kRunEnd);
            exitCode = 0;
        }
    } catch (const std::exception&) {
        // A run that broke off has not completed; what it logged so far is
        // still flushed by drop_all below.
    }
    spdlog::drop_all();
    return exitCode;
}
