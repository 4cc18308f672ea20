// The settings load's decisions: what each key's text in Config.ini means,
// what is written back, which list positions are selected and which options
// are on. Plain data in and out; the dialog reads the keys and applies the
// outcome.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tapwire {

// A key as the program reads it: with the default text "ERROR" into a buffer
// of 10 units, so only the first 9 characters of a value are seen.
constexpr int kSettingBufferUnits = 10;
std::u16string SettingText(const std::optional<std::u16string>& storedValue);

// A number key counts as present when its text is anything but "ERROR".
bool IsPresent(const std::u16string& text);

// The line settings by list position, as the lists are filled.
extern const char16_t* const kBaudRates[10];
const char16_t* BaudRateForPosition(int position);   // "9600" outside 0 to 9
const char16_t* ParityForPosition(int position);     // "O" for 1, "E" for 2, else "N"
const char16_t* DataBitsForPosition(int position);   // "7" for 0, else "8"
const char16_t* StopBitsForPosition(int position);   // "2" for 1, else "1"

// The encoding written and applied when the key is missing: UTF-8.
constexpr int kDefaultEncoding = 3;

// The typing choices of "Typing Setting": the pause between characters and
// how characters are typed. The load never writes them: they are written
// when the user chooses, and a start without them types as it always has.
constexpr int kKeyDelaysMs[] = { 0, 5, 20, 50 };
// The pause a "KeyDelay" text stands for: exactly one of the delays' decimal
// texts, anything else (missing, negative, too long, with a unit) 0.
int KeyDelayFromText(const std::u16string& text);
// "KeyMode": 1 (keyboard keys) for the text "1", anything else 0 (Unicode
// characters).
int KeyModeFromText(const std::u16string& text);

struct SettingWrite {
    const char16_t* section;
    const char16_t* key;
    std::u16string value;
    friend bool operator==(const SettingWrite& a, const SettingWrite& b)
    {
        return std::u16string(a.section) == b.section && std::u16string(a.key) == b.key && a.value == b.value;
    }
};

struct SettingsOutcome {
    std::vector<SettingWrite> writes;   // in the order the load writes them
    bool bootRun = false;
    bool runMini = false;               // also: start the hide-to-tray timer
    int encoding = 0;                   // any number; only 0 to 8 has a menu entry
    int portPosition = 0;               // the port list's selection and port name
    int baudPosition = 5;               // may lie outside the list: no selection
    const char16_t* baudRate = u"9600";
    int parityPosition = 0;
    const char16_t* parity = u"N";
    int dataBitsPosition = 1;
    const char16_t* dataBits = u"8";
    int stopBitsPosition = 0;
    const char16_t* stopBits = u"1";
    bool runStart = false;              // also: start the port
    int keyDelayMs = 0;                 // one of kKeyDelaysMs
    int keyMode = 0;                    // 0 Unicode characters, 1 keyboard keys
};

// readKey gives a key's text as the program reads it (see SettingText).
// isAutostartRegistered is asked only when "BootRun" is "1". portCount is the
// number of entries of the current port list, preselected the entry the port
// list selected when it was built (the last scanner, else 0; -1 when the list
// is empty): a missing "ComPort" keeps that entry and is written with it.
SettingsOutcome DecideSettings(const std::function<std::u16string(const char16_t* section, const char16_t* key)>& readKey,
                               const std::function<bool()>& isAutostartRegistered, int portCount,
                               int preselected);

} // namespace tapwire
