#include "VersionPlan.h"

#include "LogMessages.h"

#include <cassert>

namespace {

// Destinations are fixed paths on drive C:, not derived from the system's
// Windows folder. The XP plan writes its INF folder in capitals.
constexpr char kModemInf[] = "C:\\Windows\\inf\\mdmcpq.inf";
constexpr char kXpModemInf[] = "C:\\WINDOWS\\inf\\mdmcpq.inf";
constexpr char kSystem32Driver[] = "C:\\Windows\\System32\\drivers\\usbser.sys";
constexpr char kSysWow64Driver[] = "C:\\Windows\\SysWOW64\\drivers\\usbser.sys";

constexpr SerialDriverStep SerialDriver(const char* source)
{
    return {{source, kSystem32Driver}, msg::kSerialDriverCopied, msg::kSerialDriverExists};
}

constexpr VersionPlan OneDriverPlan(std::string_view systemMessage, DriverCopy modemInf,
                                    const char* serialDriver)
{
    return {systemMessage, modemInf, {SerialDriver(serialDriver), {}}, 1};
}

const VersionPlan kPlans[6][2] = {
    // WindowsXP
    {OneDriverPlan(msg::kWindowsXp32, {"xp\\mdmcpq.inf", kXpModemInf}, "xp\\usbser.sys"),
     OneDriverPlan(msg::kWindowsXp64, {"xp\\mdmcpq.inf", kXpModemInf}, "xp\\usbser.sys")},
    // WindowsVISTA: nothing to copy
    {{msg::kWindowsVista32, std::nullopt, {}, 0},
     {msg::kWindowsVista64, std::nullopt, {}, 0}},
    // Windows7
    {OneDriverPlan(msg::kWindows7_32, {"win7_32bit\\mdmcpq.inf", kModemInf}, "win7_32bit\\usbser.sys"),
     {msg::kWindows7_64,
      DriverCopy{"win7_64bit\\32bits\\mdmcpq.inf", kModemInf},
      {{{"win7_64bit\\32bits\\usbser.sys", kSystem32Driver},
        msg::kSystem32DriverCopied,
        msg::kSystem32DriverExists},
       {{"win7_64bit\\64bits\\usbser.sys", kSysWow64Driver},
        msg::kSysWow64DriverCopied,
        msg::kSysWow64DriverExists}},
      2}},
    // Windows8
    {OneDriverPlan(msg::kWindows8_32, {"win8_64bit\\mdmcpq.inf", kModemInf}, "win8_64bit\\usbser.sys"),
     OneDriverPlan(msg::kWindows8_64, {"win8_64bit\\mdmcpq.inf", kModemInf}, "win8_64bit\\usbser.sys")},
    // Windows8_1: the Windows 8 files
    {OneDriverPlan(msg::kWindows8_1_32, {"win8_64bit\\mdmcpq.inf", kModemInf}, "win8_64bit\\usbser.sys"),
     OneDriverPlan(msg::kWindows8_1_64, {"win8_64bit\\mdmcpq.inf", kModemInf}, "win8_64bit\\usbser.sys")},
    // Windows10
    {OneDriverPlan(msg::kWindows10_32, {"win10\\mdmcpq.inf", kModemInf}, "win10\\usbser.sys"),
     OneDriverPlan(msg::kWindows10_64, {"win10\\mdmcpq.inf", kModemInf}, "win10\\usbser.sys")},
};

}  // namespace

bool VersionAtLeast(const std::optional<OsVersion>& version, std::uint16_t major, std::uint16_t minor,
                    std::uint16_t servicePack)
{
    if (!version)
        return false;
    if (version->major != major)
        return version->major > major;
    if (version->minor != minor)
        return version->minor > minor;
    return version->servicePackMajor >= servicePack;
}

bool IsVersionAtLeast(CInstallerPlatform& platform, std::uint16_t major, std::uint16_t minor,
                      std::uint16_t servicePack)
{
    return VersionAtLeast(platform.QueryVersion(), major, minor, servicePack);
}

WindowsClass ClassifyWindows(CInstallerPlatform& platform)
{
    struct Threshold {
        std::uint16_t major;
        std::uint16_t minor;
        WindowsClass windowsClass;
    };
    static constexpr Threshold kThresholds[] = {
        {10, 0, Windows10}, {6, 3, Windows8_1}, {6, 2, Windows8},
        {6, 1, Windows7},   {6, 0, WindowsVISTA}, {5, 1, WindowsXP},
    };
    for (const Threshold& t : kThresholds) {
        if (IsVersionAtLeast(platform, t.major, t.minor, 0))
            return t.windowsClass;
    }
    return BeforeXP;
}

int IsArchitecture64Bit(std::uint16_t processorArchitecture)
{
    constexpr std::uint16_t kArchitectureIa64 = 6;
    constexpr std::uint16_t kArchitectureAmd64 = 9;
    return processorArchitecture == kArchitectureAmd64 || processorArchitecture == kArchitectureIa64 ? 1 : 0;
}

int Is64BitSystem(CInstallerPlatform& platform)
{
    return IsArchitecture64Bit(platform.ProcessorArchitecture());
}

const VersionPlan& PlanFor(WindowsClass windowsClass, int is64Bit)
{
    assert(windowsClass >= WindowsXP && windowsClass <= Windows10);
    assert(is64Bit == 0 || is64Bit == 1);
    return kPlans[windowsClass][is64Bit];
}
