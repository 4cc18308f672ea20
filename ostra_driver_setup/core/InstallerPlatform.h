#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CPatchFileIo;

// What the system reports as its version.
struct OsVersion {
    std::uint32_t major;
    std::uint32_t minor;
    std::uint16_t servicePackMajor;
};

// Outcome of a copy that never overwrites: error is the system's error code
// when nothing was copied.
struct CopyResult {
    bool copied;
    std::uint32_t error;
};

// Outcome of the pre-install into the driver store, with the system's error
// code when it failed.
struct PreinstallResult {
    bool installed;
    std::uint32_t error;
};

// The system calls of an install run. The Win32 build passes the real ones;
// the tests pass a fake that plays a given system.
class CInstallerPlatform {
public:
    virtual ~CInstallerPlatform() = default;

    // Full path of the running executable in the ANSI code page; nothing
    // when it cannot be had or does not fit into 260 bytes.
    virtual std::optional<std::string> ExecutablePath() = 0;
    // Whether byte starts a double-byte character of the ANSI code page.
    virtual bool IsLeadByte(unsigned char byte) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // The running system's version, asked afresh at every call; nothing when
    // it cannot be asked.
    virtual std::optional<OsVersion> QueryVersion() = 0;
    // wProcessorArchitecture of the native system.
    virtual std::uint16_t ProcessorArchitecture() = 0;
    // Copies source to destination unless destination exists.
    virtual CopyResult CopyNewFile(const std::string& source, const std::string& destination) = 0;
    // Copies the INF at infPath into the driver store, unless the same or a
    // newer one is there.
    virtual PreinstallResult CopyOemInf(const std::string& infPath) = 0;
    // File access for the modem INF patch.
    virtual CPatchFileIo& ModemInfFiles() = 0;
};
