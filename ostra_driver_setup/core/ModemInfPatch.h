#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

// The file operations the modem INF patch performs. The defaults are the C
// runtime's; tests derive from this to map paths and to make a read or a
// write fall short.
class CPatchFileIo {
public:
    virtual ~CPatchFileIo() = default;

    // Opens an existing file for reading and writing in binary mode ("rb+").
    virtual std::FILE* OpenForUpdate(const std::string& path);
    virtual std::size_t Read(std::FILE* file, void* buffer, std::size_t size);
    virtual std::size_t Write(std::FILE* file, const void* data, std::size_t size);
    // Pushes the stream's buffer to the system and the system's to the disk.
    virtual bool Flush(std::FILE* file);
    virtual bool Truncate(std::FILE* file, long size);
};

// Size of the searched byte pattern and where in it the semicolon goes.
inline constexpr std::size_t kModemInfPatternSize = 76;
inline constexpr std::size_t kModemInfInsertOffset = 56;

// Offset of the first occurrence of the UTF-16LE text
// "[FakeModemCopyFileSection]" CR LF "usbser.sys" in data, at any byte offset.
std::optional<std::size_t> FindModemInfPattern(const unsigned char* data, std::size_t size);

// Comments out the usbser.sys line that follows [FakeModemCopyFileSection] in
// the UTF-16LE INF at path, in place, and reports the outcome in the install
// log. The file is either rewritten completely or keeps its original bytes.
void PatchModemInf(const std::string& path, CPatchFileIo& io);
