#include "TestSupport.h"

#include "InstallLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <cctype>
#include <sstream>

namespace fs = std::filesystem;

CTempFolder::CTempFolder()
{
    static std::atomic<int> s_counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_path = fs::temp_directory_path() /
             ("ostra-test-" + std::to_string(stamp) + "-" + std::to_string(s_counter++));
    fs::create_directories(m_path);
}

CTempFolder::~CTempFolder()
{
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string CTempFolder::File(std::string_view name) const
{
    return (m_path / fs::path(std::string(name))).string();
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << path;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string Utf16le(std::string_view ascii)
{
    std::string bytes;
    for (char c : ascii) {
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

std::FILE* CMappedPatchFiles::OpenForUpdate(const std::string& path)
{
    opened.push_back(path);
    const auto it = mapping.find(path);
    return it == mapping.end() ? nullptr : CPatchFileIo::OpenForUpdate(it->second);
}

std::size_t CMappedPatchFiles::Read(std::FILE* file, void* buffer, std::size_t size)
{
    return CPatchFileIo::Read(file, buffer, shortRead && size > 0 ? size - 1 : size);
}

CFakePlatform::CFakePlatform(const std::string& folder)
    : installFolder(folder), exePath(folder + "\\ostra_driver_setup.exe")
{
    // Natively the backslashes are ordinary characters and the log is one
    // file named "<folder>\logs\..." beside the folder; on Windows it lies
    // in this logs folder. LogPath() is the same string either way.
    fs::create_directories(fs::path(folder) / "logs");
}

bool CFakePlatform::IsLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;  // GBK
}

bool CFakePlatform::FolderExists(const std::string& path)
{
    return path == installFolder + "\\logs" && logsFolderPresent;
}

CopyResult CFakePlatform::CopyNewFile(const std::string& source, const std::string& destination)
{
    copies.emplace_back(source, destination);
    const auto it = copyErrors.find(destination);
    if (it != copyErrors.end())
        return {false, it->second};
    return {true, 0};
}

PreinstallResult CFakePlatform::CopyOemInf(const std::string& infPath)
{
    preinstalled.push_back(infPath);
    return preinstall;
}

std::string CFakePlatform::LogPath() const
{
    return installFolder + kLogFileSuffix;
}

bool IsFrameAt(const std::string& bytes, std::size_t pos)
{
    // '#' stands for any digit; every other character must be there as is.
    static constexpr char kFrame[] = "[####-##-## ##:##:##.###] [driver_install_info] [info] ";
    static_assert(sizeof kFrame - 1 == kFrameSize);
    if (pos > bytes.size() || bytes.size() - pos < kFrameSize)
        return false;
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        const char c = bytes[pos + i];
        if (kFrame[i] == '#' ? !std::isdigit(static_cast<unsigned char>(c)) : c != kFrame[i])
            return false;
    }
    return true;
}

std::vector<std::string> ReadLogMessages(const std::string& path)
{
    const std::string bytes = ReadBytes(path);
    std::vector<std::string> messages;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (!IsFrameAt(bytes, pos)) {
            ADD_FAILURE() << "no record frame at offset " << pos;
            break;
        }
        // The record ends at the CR LF that the next frame or the end of the
        // file follows.
        const std::size_t messageStart = pos + kFrameSize;
        std::size_t end = bytes.find("\r\n", messageStart);
        while (end != std::string::npos && end + 2 != bytes.size() && !IsFrameAt(bytes, end + 2))
            end = bytes.find("\r\n", end + 1);
        if (end == std::string::npos) {
            ADD_FAILURE() << "record at offset " << pos << " does not end in CR LF";
            break;
        }
        messages.push_back(bytes.substr(messageStart, end - messageStart));
        pos = end + 2;
    }
    return messages;
}

CScopedInstallLog::CScopedInstallLog(const std::string& path)
{
    spdlog::basic_logger_st(kInstallLoggerName, path, /*truncate=*/false);
}

CScopedInstallLog::~CScopedInstallLog()
{
    spdlog::drop_all();
}

std::vector<std::string> Messages(std::initializer_list<std::string_view> messages)
{
    return std::vector<std::string>(messages.begin(), messages.end());
}
