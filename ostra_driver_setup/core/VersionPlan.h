#pragma once

#include "InstallerPlatform.h"

#include <cstdint>
#include <optional>
#include <string_view>

enum WindowsClass {
    WindowsXP = 0,
    WindowsVISTA = 1,
    Windows7 = 2,
    Windows8 = 3,
    Windows8_1 = 4,
    Windows10 = 5,
    BeforeXP = 6,
};

// Whether version is major.minor with at least servicePack, or any later
// version. An unknown version is never at least anything.
bool VersionAtLeast(const std::optional<OsVersion>& version, std::uint16_t major, std::uint16_t minor,
                    std::uint16_t servicePack);

bool IsVersionAtLeast(CInstallerPlatform& platform, std::uint16_t major, std::uint16_t minor,
                      std::uint16_t servicePack);

// The version class of the running system; the version number alone decides,
// server editions included, and everything from 10.0 on is Windows10.
WindowsClass ClassifyWindows(CInstallerPlatform& platform);

// 1 for AMD64 and IA64, 0 for every other architecture, ARM64 included.
int IsArchitecture64Bit(std::uint16_t processorArchitecture);
int Is64BitSystem(CInstallerPlatform& platform);

// A copy of a shipped file into a Windows folder. source is relative to the
// Drivers folder; destination is absolute.
struct DriverCopy {
    const char* source;
    const char* destination;
};

// A serial driver copy with the record written when it copied and when not.
struct SerialDriverStep {
    DriverCopy copy;
    std::string_view copiedMessage;
    std::string_view notCopiedMessage;
};

// What an install does for one version class and processor width: the record
// that names the system, then an optional modem INF copy, then the serial
// driver copies in order.
struct VersionPlan {
    std::string_view systemMessage;
    std::optional<DriverCopy> modemInf;
    SerialDriverStep serialDrivers[2];
    int serialDriverCount;
};

// The plan of a class other than BeforeXP; is64Bit is 0 or 1.
const VersionPlan& PlanFor(WindowsClass windowsClass, int is64Bit);
