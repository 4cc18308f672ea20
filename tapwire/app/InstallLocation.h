// Where Tapwire finds its installation folder and its settings file. Plain
// functions over plain data; the registry and module calls stay with the caller.
#pragma once

#include <cstddef>
#include <string>

namespace tapwire {

// The registry value "InstallPath" is read into a buffer of this many bytes.
constexpr std::size_t kInstallPathBufferBytes = 260;

// The folder named by the bytes a successful registry query returned (whatever
// the value's type, read as UTF-16LE text up to its terminator). Data that fills
// the whole buffer without a terminator counts as too long: empty. An odd last
// byte is ignored.
std::u16string InstallDirFromRegistryData(const unsigned char* data, std::size_t size);

// The part of an executable's path before its last backslash; empty when the
// path has none.
std::u16string FolderOfPath(const std::u16string& path);

// The settings file: "Config.ini" in the installation folder, or relative to
// the current directory when the folder is unknown.
std::u16string ConfigPathFor(const std::u16string& installDir);

} // namespace tapwire
