#include "PortList.h"

#include "NumberText.h"

namespace tapwire {

std::u16string PortNameFromFriendlyName(const std::u16string& friendlyName)
{
    const std::size_t open = friendlyName.rfind(u'(');
    const std::size_t close = friendlyName.rfind(u')');
    const std::size_t start = open == std::u16string::npos ? 0 : open + 1;
    if (close == std::u16string::npos || close < start)
        return {};
    return friendlyName.substr(start, close - start);
}

std::u16string ToUpperAscii(std::u16string text)
{
    for (char16_t& ch : text) {
        if (ch >= u'a' && ch <= u'z')
            ch = static_cast<char16_t>(ch - u'a' + u'A');
    }
    return text;
}

bool MatchesScanner(const std::u16string& upperId, const ScannerPatterns& patterns)
{
    for (const std::u16string& pattern : patterns) {
        if (upperId.find(pattern) != std::u16string::npos)
            return true;
    }
    return false;
}

void RefreshPortListState(PortListState& state, const std::vector<PortDevice>& devices,
                          const ScannerPatterns& patterns)
{
    state.names.resize(kPortNameTableSize);
    state.entries.clear();
    state.portCount = 0;
    state.selection = -1;
    bool scannerFound = false;

    for (const PortDevice& device : devices) {
        const std::u16string portName = PortNameFromFriendlyName(device.friendlyName);
        bool listed = false;
        if (portName != u"LPT1" && state.portCount < kPortNameTableSize) {
            state.names[static_cast<std::size_t>(state.portCount)] = portName;
            state.entries.push_back(device.friendlyName);
            ++state.portCount;
            listed = true;
        }
        if (!device.hardwareId)
            break;

        if (listed && MatchesScanner(ToUpperAscii(*device.hardwareId), patterns)) {
            state.scannerIndex = state.portCount - 1;
            state.portName = state.names[static_cast<std::size_t>(state.scannerIndex)];
            state.selection = state.scannerIndex;
            scannerFound = true;
        } else if (!scannerFound) {
            state.scannerIndex = 0;
            state.portName = state.names[0];
            state.selection = 0;
        }
    }
    // Selecting an entry of an empty list selects nothing.
    if (state.selection >= state.portCount)
        state.selection = -1;
}

int PortNumberFromName(const std::u16string& portName)
{
    const std::size_t com = portName.find(u"COM");
    if (com != std::u16string::npos)
        return LeadingInteger(portName.substr(com + 3));
    return LeadingInteger(portName.size() > 2 ? portName.substr(2) : std::u16string());
}

} // namespace tapwire
