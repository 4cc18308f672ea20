// The settings reading rules over arbitrary key texts.
//
// Input: a byte for the size of the port list, a byte for whether the Run
// key names the program (bit 0) and which entry the port list preselected
// (the other bits), then the stored values of the twelve keys, separated by FF
// bytes; a value that begins with FE is missing from the file. The load's
// outcome must follow the rules key by key, within the ranges they allow, and
// the number rule must agree with its reference on every whole value.
#include "NumberText.h"
#include "SettingsLoad.h"
#include "fuzz_check.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace tapwire;

namespace {

struct Key {
    const char16_t* section;
    const char16_t* key;
    const char16_t* defaultText;   // what a missing or unusable value is replaced by
};

// In the order the load reads them.
const std::array<Key, 12> kKeys = { {
    { u"Language Setting", u"Language", u"1" },
    { u"Start Setting", u"BootRun", u"0" },
    { u"Start Setting", u"RunMini", u"0" },
    { u"Encoding Setting", u"Encoding", u"3" },
    { u"Uart Setting", u"ComPort", u"0" },
    { u"Uart Setting", u"BaudRate", u"5" },
    { u"Uart Setting", u"ParityBit", u"0" },
    { u"Uart Setting", u"DataBit", u"1" },
    { u"Uart Setting", u"StopBit", u"0" },
    { u"Start Setting", u"RunStart", u"0" },
    // Read, never written by the load.
    { u"Typing Setting", u"KeyDelay", nullptr },
    { u"Typing Setting", u"KeyMode", nullptr },
} };
enum {
    kLanguage, kBootRun, kRunMini, kEncoding, kComPort, kBaudRate, kParity, kDataBit, kStopBit, kRunStart,
    kKeyDelay, kKeyMode,
};

bool IsFlagKey(int index)
{
    return index == kLanguage || index == kBootRun || index == kRunMini || index == kRunStart;
}

const char16_t* const kRates[10] = { u"300", u"600", u"1200", u"2400", u"4800",
                                     u"9600", u"19200", u"38400", u"57600", u"115200" };

std::u16string DecimalText(int value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

bool Is(const char16_t* a, const char16_t* b)
{
    return std::u16string(a) == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int portCount = data[0] > 200 ? data[0] * 2 : data[0];   // up to beyond the 256 table entries
    const bool registered = (data[1] & 1) != 0;
    // The list's selection: an entry of the list, or -1 when it is empty.
    const int preselected = portCount == 0 ? -1 : (data[1] >> 1) % portCount;

    std::array<std::optional<std::u16string>, kKeys.size()> stored;
    std::size_t start = 2;
    for (std::size_t k = 0; k < kKeys.size() && start <= size; ++k) {
        const std::uint8_t* end = static_cast<const std::uint8_t*>(std::memchr(data + start, 0xFF, size - start));
        const std::size_t stop = end ? static_cast<std::size_t>(end - data) : size;
        if (!(stop > start && data[start] == 0xFE))
            stored[k] = fuzz::TextOfBytes(data + start, stop - start);
        start = stop + 1;
    }

    // What the program reads: at most 9 units, "ERROR" for a missing key.
    std::array<std::u16string, kKeys.size()> texts;
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
        texts[k] = SettingText(stored[k]);
        const std::u16string whole = stored[k] ? *stored[k] : u"ERROR";
        FUZZ_CHECK(texts[k].size() <= 9 && whole.compare(0, texts[k].size(), texts[k]) == 0);
        FUZZ_CHECK(texts[k].size() == 9 || texts[k] == whole);
        // The number rule on the whole value, beyond the 9 units the load sees.
        if (stored[k])
            FUZZ_CHECK(LeadingInteger(*stored[k]) == fuzz::ReferenceLeadingInteger(*stored[k]));
    }

    int registeredQueries = 0;
    const SettingsOutcome out = DecideSettings(
        [&](const char16_t* section, const char16_t* key) {
            for (std::size_t k = 0; k < kKeys.size(); ++k) {
                if (Is(kKeys[k].section, section) && Is(kKeys[k].key, key))
                    return texts[k];
            }
            FUZZ_CHECK(!"a key the file does not have");
            return std::u16string();
        },
        [&] {
            ++registeredQueries;
            return registered;
        },
        portCount, preselected);

    // Writes: the default of each key whose text it cannot take, in the order
    // of the keys. Flags and "Language" must be exactly "1" or "0" ("Language"
    // exactly "1"); a number key only when missing.
    std::vector<SettingWrite> expected;
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
        const std::u16string& text = texts[k];
        bool replace = false;
        if (k == kLanguage)
            replace = text != u"1";
        else if (k == kKeyDelay || k == kKeyMode)
            replace = false;
        else if (IsFlagKey(static_cast<int>(k)))
            replace = (text != u"1" && text != u"0") || (k == kBootRun && text == u"1" && !registered);
        else
            replace = text == u"ERROR";
        // A missing port is stored as the entry the list preselected.
        if (replace)
            expected.push_back({ kKeys[k].section, kKeys[k].key,
                                 k == kComPort ? DecimalText(std::max(preselected, 0)) : kKeys[k].defaultText });
    }
    FUZZ_CHECK(out.writes == expected);
    FUZZ_CHECK(registeredQueries == (texts[kBootRun] == u"1" ? 1 : 0));

    FUZZ_CHECK(out.bootRun == (texts[kBootRun] == u"1" && registered));
    FUZZ_CHECK(out.runMini == (texts[kRunMini] == u"1"));
    FUZZ_CHECK(out.runStart == (texts[kRunStart] == u"1"));

    // A present number key is taken as it reads, without a range check; a
    // missing one has its default.
    auto number = [&](int k, long long missing) {
        return texts[k] == u"ERROR" ? missing : fuzz::ReferenceLeadingInteger(texts[k]);
    };
    FUZZ_CHECK(out.encoding == number(kEncoding, 3));

    // The port: always a position of the list, the first when the stored one
    // is none (or the list is empty); a missing one is the preselected entry.
    const long long port = number(kComPort, preselected < 0 ? 0 : preselected);
    FUZZ_CHECK(out.portPosition >= 0);
    FUZZ_CHECK(out.portPosition == (port >= 0 && port < portCount ? port : 0));

    FUZZ_CHECK(out.baudPosition == number(kBaudRate, 5));
    const bool baudListed = out.baudPosition >= 0 && out.baudPosition <= 9;
    FUZZ_CHECK(Is(out.baudRate, baudListed ? kRates[out.baudPosition] : u"9600"));

    FUZZ_CHECK(out.parityPosition == number(kParity, 0));
    FUZZ_CHECK(Is(out.parity, out.parityPosition == 1 ? u"O" : out.parityPosition == 2 ? u"E" : u"N"));

    FUZZ_CHECK(out.dataBitsPosition == number(kDataBit, 1));
    FUZZ_CHECK(Is(out.dataBits, out.dataBitsPosition == 0 ? u"7" : u"8"));

    FUZZ_CHECK(out.stopBitsPosition == number(kStopBit, 0));
    FUZZ_CHECK(Is(out.stopBits, out.stopBitsPosition == 1 ? u"2" : u"1"));

    // The typing keys: exactly the texts of the menu's choices, else none.
    int delay = 0;
    for (int choice : { 5, 20, 50 })
        delay = texts[kKeyDelay] == DecimalText(choice) ? choice : delay;
    FUZZ_CHECK(out.keyDelayMs == delay);
    FUZZ_CHECK(out.keyMode == (texts[kKeyMode] == u"1" ? 1 : 0));
    return 0;
}
