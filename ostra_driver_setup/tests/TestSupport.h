#pragma once

#include "InstallerPlatform.h"
#include "ModemInfPatch.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Path of name inside the folder, as a string.
    std::string File(std::string_view name) const;

private:
    std::filesystem::path m_path;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);

// The UTF-16LE bytes of an ASCII text.
std::string Utf16le(std::string_view ascii);

// The modem INF patch's file access with the fixed Windows paths mapped to
// files of the test and a record of the paths it was asked to open.
class CMappedPatchFiles : public CPatchFileIo {
public:
    std::FILE* OpenForUpdate(const std::string& path) override;
    std::size_t Read(std::FILE* file, void* buffer, std::size_t size) override;

    std::map<std::string, std::string> mapping;  // Windows path -> test file
    std::vector<std::string> opened;
    bool shortRead = false;  // reads give one byte less, as from a file that shrinks
};

// A system as the test describes it. By default: 64-bit Windows 10 whose
// copies all succeed and whose driver store takes the vendor INF.
class CFakePlatform : public CInstallerPlatform {
public:
    // Plays a system only, for the routines that need no install folder.
    CFakePlatform() = default;
    // Plays an installer whose executable lies in installFolder, which gets
    // a logs folder of its own.
    explicit CFakePlatform(const std::string& installFolder);

    std::optional<std::string> ExecutablePath() override { return exePath; }
    bool IsLeadByte(unsigned char byte) override;
    bool FolderExists(const std::string& path) override;
    std::optional<OsVersion> QueryVersion() override { return version; }
    std::uint16_t ProcessorArchitecture() override
    {
        ++architectureQueries;
        return architecture;
    }
    CopyResult CopyNewFile(const std::string& source, const std::string& destination) override;
    PreinstallResult CopyOemInf(const std::string& infPath) override;
    CPatchFileIo& ModemInfFiles() override { return files; }

    // Where the run writes its log.
    std::string LogPath() const;

    std::string installFolder;
    std::optional<std::string> exePath;
    std::optional<OsVersion> version = OsVersion{10, 0, 0};
    std::uint16_t architecture = 9;  // AMD64
    bool logsFolderPresent = true;
    // Copies to these destinations fail with the given error; all others copy.
    std::map<std::string, std::uint32_t> copyErrors;
    PreinstallResult preinstall = {true, 0};
    CMappedPatchFiles files;

    std::vector<std::pair<std::string, std::string>> copies;  // (source, destination) asked for
    std::vector<std::string> preinstalled;                     // INF paths handed to the driver store
    int architectureQueries = 0;
};

// Whether bytes hold a record frame of the default pattern at pos:
// "[YYYY-MM-DD HH:MM:SS.mmm] [driver_install_info] [info] ".
bool IsFrameAt(const std::string& bytes, std::size_t pos);
inline constexpr std::size_t kFrameSize = 55;

// The messages of the records in a log file, in order. Every record must
// have the default frame with the install log's name and end in CR LF; a
// record that does not makes the test fail.
std::vector<std::string> ReadLogMessages(const std::string& path);

// Registers the install log on path for a test of a single routine and drops
// it again at the end.
class CScopedInstallLog {
public:
    explicit CScopedInstallLog(const std::string& path);
    ~CScopedInstallLog();
};

std::vector<std::string> Messages(std::initializer_list<std::string_view> messages);
