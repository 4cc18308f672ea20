#include "InstallLocation.h"

namespace tapwire {

std::u16string InstallDirFromRegistryData(const unsigned char* data, std::size_t size)
{
    if (!data || size > kInstallPathBufferBytes)
        return {};
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == u'\0')
            return text;
        text.push_back(unit);
    }
    // No terminator: a value that filled the buffer may go on beyond it.
    if (size == kInstallPathBufferBytes)
        return {};
    return text;
}

std::u16string FolderOfPath(const std::u16string& path)
{
    const std::size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

std::u16string ConfigPathFor(const std::u16string& installDir)
{
    return installDir.empty() ? std::u16string(u".\\Config.ini") : installDir + u"\\Config.ini";
}

} // namespace tapwire
