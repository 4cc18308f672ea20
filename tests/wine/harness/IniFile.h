// Settings files as a test prepares and checks them: the exact bytes of a
// file, and the entries of an INI text in file order, read the way the
// profile functions read them.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace wineharness {

// The whole file, byte for byte; nothing when it cannot be opened for
// reading (missing, a folder, held without read sharing).
std::optional<std::string> ReadFileBytes(const std::wstring& path);
// Replaces the file with exactly these bytes. Throws HarnessError.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

// One key of an INI text.
struct IniEntry {
    std::string section;
    std::string key;
    std::string value;

    bool operator==(const IniEntry& other) const
    {
        return section == other.section && key == other.key && value == other.value;
    }
};
// "[Start Setting] RunMini=0", for test failure messages.
std::string Describe(const IniEntry& entry);
inline void PrintTo(const IniEntry& entry, std::ostream* out)
{
    *out << Describe(entry);
}

// The keys of an 8-bit INI text (CR LF or LF lines) in file order, each with
// the section it stands in. As GetPrivateProfileString reads them: section
// names, keys and values without surrounding blanks, a value in double
// quotes without them; lines beginning with ';' and lines without '=' are
// no keys. Keys before the first section are skipped.
std::vector<IniEntry> ParseIni(const std::string& text);

// The value of a key as ParseIni reads it (the first occurrence); nothing
// when the key is not there.
std::optional<std::string> IniValue(const std::vector<IniEntry>& entries, const std::string& section,
                                    const std::string& key);

// An INI text with CR LF lines: entries of one section together under one
// header, sections in the order they first appear.
std::string IniText(const std::vector<IniEntry>& entries);

}  // namespace wineharness
