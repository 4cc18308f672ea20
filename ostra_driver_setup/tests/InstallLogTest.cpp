#include "InstallDrivers.h"
#include "LogMessages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The log with every record frame of the default layout replaced by
// "<frame>".
std::string WithFramesMarked(const std::string& log)
{
    std::string marked;
    for (std::size_t pos = 0; pos < log.size();) {
        if (IsFrameAt(log, pos)) {
            marked += "<frame>";
            pos += kFrameSize;
        } else {
            marked += log[pos++];
        }
    }
    return marked;
}

std::string Records(std::initializer_list<std::string_view> messages)
{
    std::string bytes;
    for (std::string_view message : messages)
        bytes.append("<frame>").append(message).append("\r\n");
    return bytes;
}

// The log's records, each with its CR LF, the digits of a record's time
// stamp shown as '#'.
std::vector<std::string> RecordsWithTimesMasked(const std::string& log)
{
    std::vector<std::string> records;
    for (std::size_t pos = 0; pos < log.size();) {
        const std::size_t end = log.find("\r\n", pos);
        const std::size_t next = end == std::string::npos ? log.size() : end + 2;
        std::string record = log.substr(pos, next - pos);
        if (IsFrameAt(log, pos)) {
            for (std::size_t i = 1; i < 24; ++i) {
                if (record[i] >= '0' && record[i] <= '9')
                    record[i] = '#';
            }
        }
        records.push_back(record);
        pos = next;
    }
    return records;
}

class InstallLogFile : public ::testing::Test {
protected:
    InstallLogFile() : m_platform(m_temp.File("inst")) {}

    std::string RunAndRead()
    {
        EXPECT_EQ(RunInstaller(m_platform), 0);
        return ReadBytes(m_platform.LogPath());
    }

    CTempFolder m_temp;
    CFakePlatform m_platform;
};

TEST_F(InstallLogFile, RecordsAreFrameGbkMessageAndCrLf)
{
    // The driver store reports the INF as present: that run has the record
    // without a line feed of its own.
    m_platform.preinstall = {false, 80};
    const std::string log = RunAndRead();

    EXPECT_EQ(WithFramesMarked(log),
              Records({msg::kLogOpened, msg::kDriverVersion, msg::kDetectingSystem, msg::kWindows10_64,
                       msg::kModemInfCopied, msg::kSerialDriverCopied, msg::kSeparator,
                       msg::kInstallingVendorDriver, msg::kCallingPreinstall, msg::kPreinstallFailed,
                       msg::kVendorDriverPresent, msg::kVendorDriverReady, msg::kLogClosing, msg::kRunEnd}));

    // Spelled out: the closing record in GBK, then the end-of-run record,
    // which is nothing but its own line feed and the record's CR LF.
    const std::string closing = "INFO: \xB9\xD8\xB1\xD5\xC8\xD5\xD6\xBE\x0A\x0D\x0A";
    const std::string end = "[info] \x0A\x0D\x0A";
    ASSERT_GE(log.size(), closing.size() + 50);
    EXPECT_EQ(log.substr(log.size() - end.size()), end);
    EXPECT_NE(log.find(closing + "["), std::string::npos);
    // The failed pre-install's record ends with the full-width colon and the
    // record's CR LF; the next record starts right after.
    EXPECT_NE(log.find("\xCA\xA7\xB0\xDC\xA3\xBA\x0D\x0A["), std::string::npos);
    EXPECT_EQ(log.compare(0, 1, "["), 0);
}

// Whole records of a real log file, byte for byte, written out here rather
// than taken from the table the program is built from.
TEST_F(InstallLogFile, RecordsAreTheseGbkBytes)
{
    // 64-bit Windows 10 with both files in place, a modem INF that cannot be
    // read in full, and the vendor INF already in the driver store.
    const std::string inf = m_temp.File("mdmcpq.inf");
    WriteBytes(inf, Utf16le("[FakeModemCopyFileSection]\r\nusbser.sys\r\n"));
    m_platform.files.mapping["C:\\Windows\\inf\\mdmcpq.inf"] = inf;
    m_platform.files.shortRead = true;
    m_platform.copyErrors = {{"C:\\Windows\\inf\\mdmcpq.inf", 80},
                             {"C:\\Windows\\System32\\drivers\\usbser.sys", 80}};
    m_platform.preinstall = {false, 80};
    const std::vector<std::string> records = RecordsWithTimesMasked(RunAndRead());

    // M01 M02 M03 M16 M26 M19 M29 M30 M31 M33 M34 M36 M38 M39
    ASSERT_EQ(records.size(), 14u);
    const std::string frame = "[####-##-## ##:##:##.###] [driver_install_info] [info] ";
    struct Case {
        const char* label;
        std::size_t index;
        std::string record;
    };
    const Case cases[] = {
        {"M01", 0, frame + "INFO: \xBF\xAA\xC6\xF4\xC8\xD5\xD6\xBE >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>> \n\r\n"},
        {"M16", 3, frame + "INFO: Windows10 64Bits System \n\r\n"},
        {"M26", 4, frame + "FAIL: mdmcpq.inf \xB6\xC1\xC8\xA1\xCA\xA7\xB0\xDC: file read len error!!!\n\r\n"},
        {"M19", 5, frame + "Warning: usbser.sys\xCE\xC4\xBC\xFE\xD2\xD1\xB4\xE6\xD4\xDA\xA3\xAC"
                           "\xCE\xDE\xD0\xE8\xB8\xB4\xD6\xC6\n\r\n"},
        {"M33", 9, frame + "FAIL: \xC7\xFD\xB6\xAF\xD4\xA4\xB0\xB2\xD7\xB0\xBA\xAF\xCA\xFD"
                           "\xD4\xCB\xD0\xD0\xCA\xA7\xB0\xDC\xA3\xBA\r\n"},
        {"M38", 12, frame + "INFO: \xB9\xD8\xB1\xD5\xC8\xD5\xD6\xBE\n\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(records[c.index], c.record) << c.label;
}

TEST_F(InstallLogFile, EveryRunAppends)
{
    const std::string first = RunAndRead();
    const std::string both = RunAndRead();
    ASSERT_EQ(both.size(), 2 * first.size());
    EXPECT_EQ(both.substr(0, first.size()), first);
    EXPECT_EQ(WithFramesMarked(both.substr(first.size())), WithFramesMarked(first));
}

}  // namespace
