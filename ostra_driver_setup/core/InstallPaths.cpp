#include "InstallPaths.h"

std::optional<std::string> InstallFolderOf(std::string_view exePath,
                                           const std::function<bool(unsigned char)>& isLeadByte)
{
    std::optional<std::size_t> lastBackslash;
    for (std::size_t i = 0; i < exePath.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(exePath[i]);
        if (byte == '\\')
            lastBackslash = i;
        else if (isLeadByte(byte) && i + 1 < exePath.size())
            ++i;  // the trail byte belongs to this character
    }
    if (!lastBackslash)
        return std::nullopt;
    return std::string(exePath.substr(0, *lastBackslash));
}

std::optional<std::string> BuildPath(std::string_view folder, std::string_view tail)
{
    if (folder.size() + tail.size() > kMaxPathChars)
        return std::nullopt;
    std::string path;
    path.reserve(folder.size() + tail.size());
    path.append(folder).append(tail);
    return path;
}
