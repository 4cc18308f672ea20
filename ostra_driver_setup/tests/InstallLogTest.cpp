#include "InstallDrivers.h"
#include "LogMessages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

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

TEST_F(InstallLogFile, EveryRunAppends)
{
    const std::string first = RunAndRead();
    const std::string both = RunAndRead();
    ASSERT_EQ(both.size(), 2 * first.size());
    EXPECT_EQ(both.substr(0, first.size()), first);
    EXPECT_EQ(WithFramesMarked(both.substr(first.size())), WithFramesMarked(first));
}

}  // namespace
