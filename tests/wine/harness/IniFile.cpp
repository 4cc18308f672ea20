#include "IniFile.h"

#include "HarnessEnv.h"

#include <windows.h>

namespace wineharness {

std::optional<std::string> ReadFileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr) != FALSE) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    if (!ok)
        return std::nullopt;
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        ThrowLastError("cannot create " + Narrow(path));
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size());
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        SetLastError(error);
        ThrowLastError("cannot write " + Narrow(path));
    }
}

std::string Describe(const IniEntry& entry)
{
    return "[" + entry.section + "] " + entry.key + "=" + entry.value;
}

namespace {

std::string Trimmed(const std::string& text)
{
    const char* blanks = " \t\r";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

}  // namespace

std::vector<IniEntry> ParseIni(const std::string& text)
{
    std::vector<IniEntry> entries;
    std::optional<std::string> section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            section = Trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            continue;
        }
        const size_t equals = line.find('=');
        if (!section || equals == std::string::npos)
            continue;
        std::string value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        entries.push_back({*section, Trimmed(line.substr(0, equals)), value});
    }
    return entries;
}

std::optional<std::string> IniValue(const std::vector<IniEntry>& entries, const std::string& section,
                                    const std::string& key)
{
    for (const IniEntry& entry : entries)
        if (entry.section == section && entry.key == key)
            return entry.value;
    return std::nullopt;
}

std::string IniText(const std::vector<IniEntry>& entries)
{
    std::vector<std::string> sections;
    for (const IniEntry& entry : entries) {
        bool known = false;
        for (const std::string& section : sections)
            known = known || section == entry.section;
        if (!known)
            sections.push_back(entry.section);
    }
    std::string text;
    for (const std::string& section : sections) {
        text += "[" + section + "]\r\n";
        for (const IniEntry& entry : entries)
            if (entry.section == section)
                text += entry.key + "=" + entry.value + "\r\n";
    }
    return text;
}

}  // namespace wineharness
