#include "SettingsLoad.h"

#include "NumberText.h"

namespace tapwire {

namespace {

constexpr const char16_t* kUart = u"Uart Setting";
constexpr const char16_t* kStart = u"Start Setting";
constexpr const char16_t* kLanguage = u"Language Setting";
constexpr const char16_t* kEncoding = u"Encoding Setting";
constexpr const char16_t* kTyping = u"Typing Setting";

std::u16string Decimal(int value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace

const char16_t* const kBaudRates[10] = {
    u"300", u"600", u"1200", u"2400", u"4800", u"9600", u"19200", u"38400", u"57600", u"115200",
};

std::u16string SettingText(const std::optional<std::u16string>& storedValue)
{
    const std::u16string text = storedValue ? *storedValue : u"ERROR";
    return text.substr(0, kSettingBufferUnits - 1);
}

bool IsPresent(const std::u16string& text)
{
    return text != u"ERROR";
}

int KeyDelayFromText(const std::u16string& text)
{
    for (int delayMs : kKeyDelaysMs) {
        if (text == Decimal(delayMs))
            return delayMs;
    }
    return 0;
}

int KeyModeFromText(const std::u16string& text)
{
    return text == u"1" ? 1 : 0;
}

const char16_t* BaudRateForPosition(int position)
{
    return position >= 0 && position < 10 ? kBaudRates[position] : u"9600";
}

const char16_t* ParityForPosition(int position)
{
    return position == 1 ? u"O" : position == 2 ? u"E" : u"N";
}

const char16_t* DataBitsForPosition(int position)
{
    return position == 0 ? u"7" : u"8";
}

const char16_t* StopBitsForPosition(int position)
{
    return position == 1 ? u"2" : u"1";
}

SettingsOutcome DecideSettings(const std::function<std::u16string(const char16_t*, const char16_t*)>& readKey,
                               const std::function<bool()>& isAutostartRegistered, int portCount,
                               int preselected)
{
    SettingsOutcome out;
    auto write = [&out](const char16_t* section, const char16_t* key, std::u16string value) {
        out.writes.push_back({ section, key, std::move(value) });
    };

    // The interface always comes up in Japanese; the key is only normalised.
    if (readKey(kLanguage, u"Language") != u"1")
        write(kLanguage, u"Language", u"1");

    const std::u16string bootRun = readKey(kStart, u"BootRun");
    if (bootRun == u"1") {
        // Only a Run value naming another program switches the option off.
        out.bootRun = isAutostartRegistered();
        if (!out.bootRun)
            write(kStart, u"BootRun", u"0");
    } else if (bootRun != u"0") {
        write(kStart, u"BootRun", u"0");
    }

    const std::u16string runMini = readKey(kStart, u"RunMini");
    if (runMini == u"1")
        out.runMini = true;
    else if (runMini != u"0")
        write(kStart, u"RunMini", u"0");

    const std::u16string encoding = readKey(kEncoding, u"Encoding");
    if (IsPresent(encoding)) {
        out.encoding = LeadingInteger(encoding);
    } else {
        write(kEncoding, u"Encoding", Decimal(kDefaultEncoding));
        out.encoding = kDefaultEncoding;
    }

    const std::u16string comPort = readKey(kUart, u"ComPort");
    if (IsPresent(comPort)) {
        int position = LeadingInteger(comPort);
        if (position < 0)
            position = 0;
        // Not a position of the current list: the first port.
        out.portPosition = position >= portCount ? 0 : position;
    } else {
        // A first start keeps the port that the list preselected, so that a
        // scanner plugged in beforehand is the one shown and opened.
        out.portPosition = preselected >= 0 && preselected < portCount ? preselected : 0;
        write(kUart, u"ComPort", Decimal(out.portPosition));
    }

    // A line setting is stored as its position in its list; a missing key is
    // written with the default position, and the outcome keeps the defaults.
    auto loadLineSetting = [&](const char16_t* key, const char16_t* defaultPosition, int& position,
                               const char16_t*& value, const char16_t* (*forPosition)(int)) {
        const std::u16string stored = readKey(kUart, key);
        if (IsPresent(stored)) {
            position = LeadingInteger(stored);
            value = forPosition(position);
        } else {
            write(kUart, key, defaultPosition);
        }
    };
    loadLineSetting(u"BaudRate", u"5", out.baudPosition, out.baudRate, BaudRateForPosition);
    loadLineSetting(u"ParityBit", u"0", out.parityPosition, out.parity, ParityForPosition);
    loadLineSetting(u"DataBit", u"1", out.dataBitsPosition, out.dataBits, DataBitsForPosition);
    loadLineSetting(u"StopBit", u"0", out.stopBitsPosition, out.stopBits, StopBitsForPosition);

    const std::u16string runStart = readKey(kStart, u"RunStart");
    if (runStart == u"1")
        out.runStart = true;
    else if (runStart != u"0")
        write(kStart, u"RunStart", u"0");

    out.keyDelayMs = KeyDelayFromText(readKey(kTyping, u"KeyDelay"));
    out.keyMode = KeyModeFromText(readKey(kTyping, u"KeyMode"));
    return out;
}

} // namespace tapwire
