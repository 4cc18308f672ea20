#include "ModemInfPatch.h"

#include "InstallLog.h"
#include "LogMessages.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr char kPatternText[] = "[FakeModemCopyFileSection]\r\nusbser.sys";
static_assert(sizeof kPatternText - 1 == kModemInfPatternSize / 2);

constexpr std::array<unsigned char, kModemInfPatternSize> MakePattern()
{
    std::array<unsigned char, kModemInfPatternSize> pattern{};
    for (std::size_t i = 0; i < kModemInfPatternSize / 2; ++i)
        pattern[2 * i] = static_cast<unsigned char>(kPatternText[i]);
    return pattern;
}

constexpr std::array<unsigned char, kModemInfPatternSize> kPattern = MakePattern();

// The UTF-16LE semicolon, which makes the rest of the line an INF comment.
constexpr unsigned char kSemicolon[2] = {0x3B, 0x00};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Size of the file from its end position; the stream is left at the start.
std::optional<long> FileSize(std::FILE* file)
{
    if (std::fseek(file, 0, SEEK_END) != 0)
        return std::nullopt;
    const long size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0)
        return std::nullopt;
    return size;
}

bool WriteAt(CPatchFileIo& io, std::FILE* file, long offset, const unsigned char* data, std::size_t size)
{
    std::clearerr(file);
    return std::fseek(file, offset, SEEK_SET) == 0 && io.Write(file, data, size) == size && io.Flush(file);
}

}  // namespace

std::FILE* CPatchFileIo::OpenForUpdate(const std::string& path)
{
    return std::fopen(path.c_str(), "rb+");
}

std::size_t CPatchFileIo::Read(std::FILE* file, void* buffer, std::size_t size)
{
    return std::fread(buffer, 1, size, file);
}

std::size_t CPatchFileIo::Write(std::FILE* file, const void* data, std::size_t size)
{
    return std::fwrite(data, 1, size, file);
}

bool CPatchFileIo::Flush(std::FILE* file)
{
    if (std::fflush(file) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

bool CPatchFileIo::Truncate(std::FILE* file, long size)
{
    if (std::fflush(file) != 0)
        return false;
#ifdef _WIN32
    return _chsize(_fileno(file), size) == 0;
#else
    return ftruncate(fileno(file), size) == 0;
#endif
}

std::optional<std::size_t> FindModemInfPattern(const unsigned char* data, std::size_t size)
{
    // Byte steps, not code-unit steps: a file with a stray byte in front of
    // the section still matches at an odd offset.
    for (std::size_t i = 0; i + kModemInfPatternSize <= size; ++i) {
        if (std::memcmp(data + i, kPattern.data(), kModemInfPatternSize) == 0)
            return i;
    }
    return std::nullopt;
}

void PatchModemInf(const std::string& path, CPatchFileIo& io)
{
    UniqueFile file(io.OpenForUpdate(path));
    if (!file) {
        LogByName(msg::kModemInfOpenFailed);
        return;
    }

    // A file whose size cannot be told cannot be read in full either.
    const std::optional<long> fileSize = FileSize(file.get());
    if (!fileSize) {
        LogByName(msg::kModemInfShortRead);
        return;
    }
    const std::size_t size = static_cast<std::size_t>(*fileSize);

    // The original bytes stay untouched in content: they are what a failed
    // rewrite puts back. The patched text is built in a buffer of its own.
    std::unique_ptr<unsigned char[]> content(new (std::nothrow) unsigned char[size + 2]);
    std::unique_ptr<unsigned char[]> patched(new (std::nothrow) unsigned char[size + 2]);
    if (!content || !patched) {
        LogByName(msg::kModemInfNoMemory);
        return;
    }

    const std::size_t read = io.Read(file.get(), content.get(), size);
    if (read != size) {
        // Whatever the missing part holds, neither "no edit needed" nor a
        // rewrite could be justified from part of the file.
        LogByName(msg::kModemInfShortRead);
        return;
    }

    const std::optional<std::size_t> match = FindModemInfPattern(content.get(), size);
    if (!match) {
        LogByName(msg::kModemInfUsable);
        return;
    }

    // Everything before the insertion point keeps its bytes, so only the
    // part from there on is written, over the old bytes and two beyond them.
    // The file stays the same file: it is neither truncated nor recreated.
    const std::size_t insertAt = *match + kModemInfInsertOffset;
    const std::size_t tail = size - insertAt;
    std::memcpy(patched.get(), kSemicolon, sizeof kSemicolon);
    std::memcpy(patched.get() + sizeof kSemicolon, content.get() + insertAt, tail);

    const long offset = static_cast<long>(insertAt);
    if (WriteAt(io, file.get(), offset, patched.get(), tail + sizeof kSemicolon)) {
        file.reset();
        LogByName(msg::kModemInfPatched);
        return;
    }

    // The rewrite fell short: put the old tail back and cut off whatever the
    // attempt wrote past the old end.
    const bool restored = WriteAt(io, file.get(), offset, content.get() + insertAt, tail) &&
                          io.Truncate(file.get(), *fileSize);
    file.reset();
    LogByName(restored ? msg::kModemInfRestored : msg::kModemInfNotRestored);
}
