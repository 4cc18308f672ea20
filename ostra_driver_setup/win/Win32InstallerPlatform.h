#pragma once

#include "InstallerPlatform.h"
#include "ModemInfPatch.h"

#include <cstdint>

// The install run's system calls on Win32. The version comes from
// RtlGetVersion, which, unlike GetVersionEx, does not depend on the
// compatibility the manifest declares.
class CWin32InstallerPlatform : public CInstallerPlatform {
public:
    std::optional<std::string> ExecutablePath() override;
    bool IsLeadByte(unsigned char byte) override;
    bool FolderExists(const std::string& path) override;
    std::optional<OsVersion> QueryVersion() override;
    std::uint16_t ProcessorArchitecture() override;
    CopyResult CopyNewFile(const std::string& source, const std::string& destination) override;
    PreinstallResult CopyOemInf(const std::string& infPath) override;
    CPatchFileIo& ModemInfFiles() override;

private:
    CPatchFileIo m_modemInfFiles;
};
