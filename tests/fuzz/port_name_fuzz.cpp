// The port-name rules over arbitrary friendly names and port names.
//
// Input: texts separated by FF bytes (see fuzz_check.h for how bytes become
// UTF-16). Each text is taken as a friendly name and as a port name; the texts
// together, with the bit 0 of their first byte choosing whether a hardware id
// could be read, also make one enumeration for the port list.
#include "NumberText.h"
#include "PortList.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace tapwire;

namespace {

const ScannerPatterns kPatterns = { u"VID_2E9B&PID_0002", u"VID_2E9B&PID_0201", u"VID_0483&PID_5740" };

// The text after the last '(' up to the last ')', by a scan from the front.
std::u16string ReferencePortName(const std::u16string& name)
{
    long lastOpen = -1, lastClose = -1;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == u'(')
            lastOpen = static_cast<long>(i);
        else if (name[i] == u')')
            lastClose = static_cast<long>(i);
    }
    if (lastClose <= lastOpen)
        return u"";
    return name.substr(static_cast<std::size_t>(lastOpen + 1), static_cast<std::size_t>(lastClose - lastOpen - 1));
}

long long ReferencePortNumber(const std::u16string& name)
{
    for (std::size_t i = 0; i + 3 <= name.size(); ++i) {
        if (name[i] == u'C' && name[i + 1] == u'O' && name[i + 2] == u'M')
            return fuzz::ReferenceLeadingInteger(name.substr(i + 3));
    }
    return fuzz::ReferenceLeadingInteger(name.size() > 2 ? name.substr(2) : u"");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<PortDevice> devices;
    std::size_t start = 0;
    while (start <= size) {
        const void* found = start < size ? std::memchr(data + start, 0xFF, size - start) : nullptr;
        const std::size_t stop = found ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data) : size;
        const std::u16string text = fuzz::TextOfBytes(data + start, stop - start);

        const std::u16string portName = PortNameFromFriendlyName(text);
        FUZZ_CHECK(portName == ReferencePortName(text));
        FUZZ_CHECK(portName.size() <= text.size() && text.find(portName) != std::u16string::npos);
        FUZZ_CHECK(PortNumberFromName(text) == ReferencePortNumber(text));
        FUZZ_CHECK(PortNumberFromName(portName) == ReferencePortNumber(portName));

        PortDevice device{ text, std::nullopt };
        if (stop == start || (data[start] & 1) == 0)
            device.hardwareId = text;
        devices.push_back(device);
        start = stop + 1;
    }

    PortListState state;
    state.portName = u"previous";
    RefreshPortListState(state, devices, kPatterns);
    FUZZ_CHECK(state.names.size() == static_cast<std::size_t>(kPortNameTableSize));
    FUZZ_CHECK(state.portCount >= 0 && state.portCount <= kPortNameTableSize);
    FUZZ_CHECK(state.entries.size() == static_cast<std::size_t>(state.portCount));
    FUZZ_CHECK(state.selection >= -1 && state.selection < state.portCount);
    FUZZ_CHECK(state.scannerIndex >= 0 && state.scannerIndex < std::max(state.portCount, 1));
    for (int i = 0; i < state.portCount; ++i) {
        FUZZ_CHECK(state.names[static_cast<std::size_t>(i)] != u"LPT1");
        FUZZ_CHECK(state.names[static_cast<std::size_t>(i)] == PortNameFromFriendlyName(state.entries[static_cast<std::size_t>(i)]));
    }
    return 0;
}
