// The modem INF patch over arbitrary file contents.
//
// Input: a mode byte, then the file's bytes. The file is patched in place:
// afterwards it must hold its old bytes unchanged, or exactly those bytes with
// 3B 00 inserted right after the CR LF of the first
// "[FakeModemCopyFileSection]" CR LF "usbser.sys" (UTF-16LE, at any byte
// offset), and the log must say which of the two happened.
// Mode bit 0 set: the rewrite falls short after (mode >> 1) bytes, as on a
// full disk; the file must then keep its old bytes.
#include "InstallLog.h"
#include "LogMessages.h"
#include "ModemInfPatch.h"
#include "fuzz_check.h"

#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// The install log's records, message texts only.
class CRecordSink : public spdlog::sinks::base_sink<spdlog::details::null_mutex> {
public:
    std::vector<std::string> records;

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override
    {
        records.emplace_back(msg.payload.data(), msg.payload.size());
    }
    void flush_() override {}
};

// The C runtime's file access, without the trip to the disk at every flush,
// and with a write that can be made to fall short once.
class CFuzzFiles : public CPatchFileIo {
public:
    bool Flush(std::FILE* file) override { return std::fflush(file) == 0; }
    std::size_t Write(std::FILE* file, const void* data, std::size_t size) override
    {
        if (shortWrite && size > 0) {
            shortWrite = false;
            return CPatchFileIo::Write(file, data, std::min(size - 1, shortBytes));
        }
        return CPatchFileIo::Write(file, data, size);
    }

    bool shortWrite = false;
    std::size_t shortBytes = 0;
};

struct Fixture {
    std::string path;
    std::shared_ptr<CRecordSink> sink = std::make_shared<CRecordSink>();

    Fixture()
    {
        std::string name = (std::filesystem::temp_directory_path() / "inf_patch_fuzz.XXXXXX").string();
        const int fd = mkstemp(name.data());
        FUZZ_CHECK(fd >= 0);
        close(fd);
        path = name;
        spdlog::register_logger(std::make_shared<spdlog::logger>(kInstallLoggerName, sink));
    }
    ~Fixture() { std::remove(path.c_str()); }
};

Fixture& TheFixture()
{
    static Fixture fixture;
    return fixture;
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    FUZZ_CHECK(std::fclose(file) == 0);
}

Bytes ReadFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    FUZZ_CHECK(file);
    Bytes bytes;
    unsigned char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    return bytes;
}

// The searched bytes, spelled out: each ASCII character followed by 00.
Bytes Pattern()
{
    const std::string text = "[FakeModemCopyFileSection]\r\nusbser.sys";
    Bytes pattern;
    for (char c : text) {
        pattern.push_back(static_cast<unsigned char>(c));
        pattern.push_back(0);
    }
    return pattern;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    Fixture& fixture = TheFixture();
    const Bytes content(data + 1, data + size);
    WriteFile(fixture.path, content);

    CFuzzFiles files;
    files.shortWrite = (data[0] & 1) != 0;
    files.shortBytes = data[0] >> 1;
    fixture.sink->records.clear();
    PatchModemInf(fixture.path, files);
    const Bytes after = ReadFile(fixture.path);

    static const Bytes pattern = Pattern();
    const auto match = std::search(content.begin(), content.end(), pattern.begin(), pattern.end());
    FUZZ_CHECK(fixture.sink->records.size() == 1);
    const std::string& record = fixture.sink->records[0];
    if (match == content.end()) {
        FUZZ_CHECK(after == content);
        FUZZ_CHECK(record == msg::kModemInfUsable);
    } else if (files.shortWrite) {
        FUZZ_CHECK(!"the rewrite was not tried");
    } else if (data[0] & 1) {
        // The rewrite fell short: the old bytes are back.
        FUZZ_CHECK(after == content);
        FUZZ_CHECK(record == msg::kModemInfRestored);
    } else {
        // "[FakeModemCopyFileSection]" CR LF is 28 units: the semicolon goes after them.
        Bytes expected(content.begin(), match + 56);
        expected.push_back(0x3B);
        expected.push_back(0x00);
        expected.insert(expected.end(), match + 56, content.end());
        FUZZ_CHECK(after == expected);
        FUZZ_CHECK(record == msg::kModemInfPatched);
    }
    return 0;
}
