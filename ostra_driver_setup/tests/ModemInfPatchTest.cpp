#include "LogMessages.h"
#include "ModemInfPatch.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// "[FakeModemCopyFileSection]", the section header the patch looks for.
constexpr char kSection[] = "[FakeModemCopyFileSection]";
const std::string kBom = "\xFF\xFE";

class ModemInfPatch : public ::testing::Test {
protected:
    ModemInfPatch() : m_inf(m_temp.File("mdmcpq.inf")), m_logPath(m_temp.File("install.log")) {}

    // Patches an INF with the given bytes; returns the records written.
    std::vector<std::string> Patch(const std::string& bytes, CPatchFileIo& io)
    {
        WriteBytes(m_inf, bytes);
        return PatchExisting(io);
    }

    std::vector<std::string> Patch(const std::string& bytes)
    {
        CPatchFileIo io;
        return Patch(bytes, io);
    }

    std::vector<std::string> PatchExisting(CPatchFileIo& io)
    {
        {
            CScopedInstallLog log(m_logPath);
            PatchModemInf(m_inf, io);
        }
        std::vector<std::string> records = ReadLogMessages(m_logPath);
        std::filesystem::remove(m_logPath);
        return records;
    }

    CTempFolder m_temp;
    std::string m_inf;
    std::string m_logPath;
};

TEST_F(ModemInfPatch, CommentsOutTheDriverLineRightAfterTheSection)
{
    struct Case {
        const char* name;
        std::string before;
        std::string after;  // empty: the file must not change
    };
    const std::string s = kSection;
    const Case cases[] = {
        {"section inside an INF",
         kBom + Utf16le("[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n" + s +
                        "\r\nusbser.sys,,,0x20\r\n\r\n[Strings]\r\n"),
         kBom + Utf16le("[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n" + s +
                        "\r\n;usbser.sys,,,0x20\r\n\r\n[Strings]\r\n")},
        {"match at an odd offset", "\x01" + Utf16le(s + "\r\nusbser.sys\r\n"),
         "\x01" + Utf16le(s + "\r\n;usbser.sys\r\n")},
        {"match ending at the last byte", Utf16le(s + "\r\nusbser.sys"), Utf16le(s + "\r\n;usbser.sys")},
        {"only the first of two sections", Utf16le(s + "\r\nusbser.sys\r\n" + s + "\r\nusbser.sys\r\n"),
         Utf16le(s + "\r\n;usbser.sys\r\n" + s + "\r\nusbser.sys\r\n")},
        {"blank line after the section", Utf16le(s + "\r\n\r\nusbser.sys\r\n"), ""},
        {"another file after the section", Utf16le(s + "\r\nmodem.sys\r\n"), ""},
        {"line feed without carriage return", Utf16le(s + "\nusbser.sys\r\n"), ""},
        {"ANSI text", s + "\r\nusbser.sys\r\n", ""},
        {"empty file", "", ""},
        {"one byte short of the pattern", Utf16le(s + "\r\nusbser.sys").substr(0, 75), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool changes = !c.after.empty();
        EXPECT_EQ(Patch(c.before), Messages({changes ? msg::kModemInfPatched : msg::kModemInfUsable}));
        EXPECT_EQ(ReadBytes(m_inf), changes ? c.after : c.before);
    }
}

TEST_F(ModemInfPatch, SecondCallFindsNothingToDo)
{
    const std::string patched = Utf16le(std::string(kSection) + "\r\n;usbser.sys\r\n");
    EXPECT_EQ(Patch(Utf16le(std::string(kSection) + "\r\nusbser.sys\r\n")), Messages({msg::kModemInfPatched}));
    CPatchFileIo io;
    EXPECT_EQ(PatchExisting(io), Messages({msg::kModemInfUsable}));
    EXPECT_EQ(ReadBytes(m_inf), patched);
}

TEST_F(ModemInfPatch, RewritesTheSameFileInPlace)
{
    // A second name for the file sees the edit only if the file itself was
    // rewritten, not replaced by a new one.
    WriteBytes(m_inf, Utf16le(std::string(kSection) + "\r\nusbser.sys\r\n"));
    const std::string otherName = m_temp.File("link.inf");
    std::filesystem::create_hard_link(m_inf, otherName);
    CPatchFileIo io;
    EXPECT_EQ(PatchExisting(io), Messages({msg::kModemInfPatched}));
    EXPECT_EQ(ReadBytes(otherName), Utf16le(std::string(kSection) + "\r\n;usbser.sys\r\n"));
}

TEST_F(ModemInfPatch, MissingFileCannotBeOpened)
{
    CPatchFileIo io;
    EXPECT_EQ(PatchExisting(io), Messages({msg::kModemInfOpenFailed}));
    EXPECT_FALSE(std::filesystem::exists(m_inf));
}

// Reads one byte less than asked for, as when the file shrinks under us.
class CShortReadIo : public CPatchFileIo {
public:
    std::size_t Read(std::FILE* file, void* buffer, std::size_t size) override
    {
        return CPatchFileIo::Read(file, buffer, size > 0 ? size - 1 : 0);
    }
};

TEST_F(ModemInfPatch, ShortReadLeavesTheFileAlone)
{
    // The pattern lies inside the part that was read: even so, the file is
    // not rewritten from part of its content, and nothing claims it is fine.
    const std::string original = Utf16le(std::string(kSection) + "\r\nusbser.sys\r\n");
    CShortReadIo io;
    EXPECT_EQ(Patch(original, io), Messages({msg::kModemInfShortRead}));
    EXPECT_EQ(ReadBytes(m_inf), original);
}

// Lets the first write or flush fail, the way a full disk does; what comes
// after (the restore) goes through unless failRestore is set.
class CFailingRewriteIo : public CPatchFileIo {
public:
    enum class Fault { HalfWritten, FlushFails };

    CFailingRewriteIo(Fault fault, bool failRestore) : m_fault(fault), m_failRestore(failRestore) {}

    std::size_t Write(std::FILE* file, const void* data, std::size_t size) override
    {
        ++m_writes;
        if (m_writes == 1 && m_fault == Fault::HalfWritten)
            return CPatchFileIo::Write(file, data, size / 2);
        if (m_writes > 1 && m_failRestore)
            return 0;
        return CPatchFileIo::Write(file, data, size);
    }

    bool Flush(std::FILE* file) override
    {
        ++m_flushes;
        if (m_flushes == 1 && m_fault == Fault::FlushFails)
            return false;  // the patched bytes stay in the stream's buffer
        return CPatchFileIo::Flush(file);
    }

private:
    Fault m_fault;
    bool m_failRestore;
    int m_writes = 0;
    int m_flushes = 0;
};

TEST_F(ModemInfPatch, FailedRewritePutsTheOriginalBack)
{
    const std::string original =
        kBom + Utf16le("[Version]\r\n" + std::string(kSection) + "\r\nusbser.sys,,,0x20\r\n[Strings]\r\n");
    struct Case {
        const char* name;
        CFailingRewriteIo::Fault fault;
    };
    const Case cases[] = {
        {"write falls short", CFailingRewriteIo::Fault::HalfWritten},
        // The buffered bytes reach the file on the next seek, two bytes past
        // the old end: the restore has to cut them off again.
        {"flush fails", CFailingRewriteIo::Fault::FlushFails},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFailingRewriteIo io(c.fault, /*failRestore=*/false);
        EXPECT_EQ(Patch(original, io), Messages({msg::kModemInfRestored}));
        EXPECT_EQ(ReadBytes(m_inf), original);
    }
}

TEST_F(ModemInfPatch, FailedRestoreIsReportedAndNeverAsSuccess)
{
    CFailingRewriteIo io(CFailingRewriteIo::Fault::HalfWritten, /*failRestore=*/true);
    EXPECT_EQ(Patch(Utf16le(std::string(kSection) + "\r\nusbser.sys\r\n"), io),
              Messages({msg::kModemInfNotRestored}));
}

}  // namespace
