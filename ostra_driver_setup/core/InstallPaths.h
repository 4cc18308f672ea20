#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The installer's ANSI paths live in buffers of 260 bytes: at most 259
// characters and the terminator.
inline constexpr std::size_t kMaxPathChars = 259;

// The folder of the executable at exePath, without the trailing backslash.
// isLeadByte tells the first bytes of the ANSI code page's double-byte
// characters, whose second byte may be 0x5C and is then no backslash.
// Nothing when the path holds no backslash.
std::optional<std::string> InstallFolderOf(std::string_view exePath,
                                           const std::function<bool(unsigned char)>& isLeadByte);

// folder followed by tail, or nothing when that would not fit into 260 bytes.
std::optional<std::string> BuildPath(std::string_view folder, std::string_view tail);
