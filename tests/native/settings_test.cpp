// The settings load's decisions and the autostart registration, over fakes.
#include "Autostart.h"
#include "SettingsLoad.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace tapwire;

namespace {

using Key = std::pair<std::u16string, std::u16string>;

// Config.ini as a map; missing keys read as the program reads them.
struct FakeIni {
    std::map<Key, std::u16string> values;
    int autostartQueries = 0;
    bool registered = true;

    // preselected: the port list's selection when the load runs.
    SettingsOutcome Load(int portCount, int preselected = 0)
    {
        return DecideSettings(
            [this](const char16_t* section, const char16_t* key) {
                auto it = values.find({ section, key });
                return SettingText(it == values.end() ? std::nullopt : std::optional<std::u16string>(it->second));
            },
            [this] {
                ++autostartQueries;
                return registered;
            },
            portCount, preselected);
    }
};

std::vector<std::u16string> WrittenKeys(const SettingsOutcome& outcome)
{
    std::vector<std::u16string> keys;
    for (const SettingWrite& w : outcome.writes)
        keys.push_back(std::u16string(w.key) + u"=" + w.value);
    return keys;
}

std::string Utf8(const std::u16string& s)
{
    return std::string(s.begin(), s.end());
}

} // namespace

TEST(SettingsLoad, FirstStartWritesTheTenDefaultsInOrder)
{
    FakeIni ini;
    const SettingsOutcome out = ini.Load(3);
    EXPECT_EQ(WrittenKeys(out), (std::vector<std::u16string>{
                                    u"Language=1", u"BootRun=0", u"RunMini=0", u"Encoding=3", u"ComPort=0",
                                    u"BaudRate=5", u"ParityBit=0", u"DataBit=1", u"StopBit=0", u"RunStart=0" }));
    EXPECT_EQ(std::u16string(out.writes[3].section), u"Encoding Setting");
    EXPECT_EQ(ini.autostartQueries, 0);
    // The default encoding is applied in the same run as it is written.
    EXPECT_EQ(out.encoding, 3);
    EXPECT_EQ(out.portPosition, 0);
    EXPECT_EQ(out.baudPosition, 5);
    EXPECT_EQ(std::u16string(out.baudRate), u"9600");
    EXPECT_EQ(std::u16string(out.parity), u"N");
    EXPECT_EQ(std::u16string(out.dataBits), u"8");
    EXPECT_EQ(std::u16string(out.stopBits), u"1");
    EXPECT_FALSE(out.bootRun || out.runMini || out.runStart);
    // Typing as it always has: no pause, Unicode characters, nothing written.
    EXPECT_EQ(out.keyDelayMs, 0);
    EXPECT_EQ(out.keyMode, 0);
}

TEST(SettingsLoad, AMissingPortKeepsThePreselectedEntryAndStoresIt)
{
    struct Case {
        const char* what;
        int portCount;
        int preselected;
        int position;
    };
    const Case cases[] = {
        { "a scanner preselected", 3, 2, 2 },
        { "no scanner: the first port", 3, 0, 0 },
        { "an empty list", 0, -1, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeIni ini;
        const SettingsOutcome out = ini.Load(c.portCount, c.preselected);
        EXPECT_EQ(out.portPosition, c.position);
        ASSERT_EQ(out.writes.size(), 10u);
        EXPECT_EQ(WrittenKeys(out)[4], u"ComPort=" + std::u16string(1, static_cast<char16_t>(u'0' + c.position)));
    }

    // A stored position is applied as it is, whatever the list preselected.
    for (const char16_t* stored : { u"0", u"1", u"7" }) {
        FakeIni ini;
        ini.values[{ u"Uart Setting", u"ComPort" }] = stored;
        const SettingsOutcome out = ini.Load(3, 2);
        EXPECT_EQ(out.portPosition, stored[0] == u'1' ? 1 : 0) << Utf8(stored);
        for (const SettingWrite& w : out.writes)
            EXPECT_NE(std::u16string(w.key), u"ComPort") << Utf8(stored);
    }
}

TEST(SettingsLoad, ValuesAndTheirEdgeCases)
{
    struct Case {
        const char* what;
        std::u16string section;
        std::u16string key;
        std::u16string value;
        int portCount;
        std::function<void(const SettingsOutcome&)> check;
        std::vector<std::u16string> rewritten;   // the key's own writes
    };
    const Case cases[] = {
        { "baud 12: 9600 used, no selection, kept", u"Uart Setting", u"BaudRate", u"12", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.baudPosition, 12); EXPECT_EQ(std::u16string(o.baudRate), u"9600"); }, {} },
        { "baud 9", u"Uart Setting", u"BaudRate", u"9", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(std::u16string(o.baudRate), u"115200"); }, {} },
        { "port 7 of three", u"Uart Setting", u"ComPort", u"7", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.portPosition, 0); }, {} },
        { "port -4", u"Uart Setting", u"ComPort", u"-4", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.portPosition, 0); }, {} },
        { "port 2 of three", u"Uart Setting", u"ComPort", u"2", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.portPosition, 2); }, {} },
        { "port 3 of three", u"Uart Setting", u"ComPort", u"3", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.portPosition, 0); }, {} },
        { "RunMini yes: off and rewritten", u"Start Setting", u"RunMini", u"yes", 3,
          [](const SettingsOutcome& o) { EXPECT_FALSE(o.runMini); }, { u"RunMini=0" } },
        { "RunMini 1", u"Start Setting", u"RunMini", u"1", 3,
          [](const SettingsOutcome& o) { EXPECT_TRUE(o.runMini); }, {} },
        { "Language 2: rewritten to 1", u"Language Setting", u"Language", u"2", 3,
          [](const SettingsOutcome&) {}, { u"Language=1" } },
        { "Encoding 12: applied as is", u"Encoding Setting", u"Encoding", u"12", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.encoding, 12); }, {} },
        { "DataBit 5: eight bits", u"Uart Setting", u"DataBit", u"5", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.dataBitsPosition, 5); EXPECT_EQ(std::u16string(o.dataBits), u"8"); }, {} },
        { "DataBit 0: seven bits", u"Uart Setting", u"DataBit", u"0", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(std::u16string(o.dataBits), u"7"); }, {} },
        { "ParityBit letters: none", u"Uart Setting", u"ParityBit", u"odd", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.parityPosition, 0); EXPECT_EQ(std::u16string(o.parity), u"N"); }, {} },
        { "ParityBit 2: even", u"Uart Setting", u"ParityBit", u"2", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(std::u16string(o.parity), u"E"); }, {} },
        { "StopBit 1: two", u"Uart Setting", u"StopBit", u"1", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(std::u16string(o.stopBits), u"2"); }, {} },
        { "ERROR is a missing key", u"Uart Setting", u"BaudRate", u"ERROR", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.baudPosition, 5); }, { u"BaudRate=5" } },
        { "only nine characters are seen", u"Uart Setting", u"ComPort", u"0000000001", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.portPosition, 0); }, {} },
        { "an empty number is 0", u"Uart Setting", u"StopBit", u"", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.stopBitsPosition, 0); }, {} },
        { "RunStart 1 with no ports: still on", u"Start Setting", u"RunStart", u"1", 0,
          [](const SettingsOutcome& o) { EXPECT_TRUE(o.runStart); EXPECT_EQ(o.portPosition, 0); }, {} },
        { "BootRun 01 is no flag", u"Start Setting", u"BootRun", u"01", 3,
          [](const SettingsOutcome& o) { EXPECT_FALSE(o.bootRun); }, { u"BootRun=0" } },
        // The typing keys: exactly the texts of the menu's choices count, and
        // the load never rewrites them.
        { "KeyDelay 5", u"Typing Setting", u"KeyDelay", u"5", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyDelayMs, 5); }, {} },
        { "KeyDelay 20", u"Typing Setting", u"KeyDelay", u"20", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyDelayMs, 20); }, {} },
        { "KeyDelay 50", u"Typing Setting", u"KeyDelay", u"50", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyDelayMs, 50); }, {} },
        { "KeyDelay -5: none", u"Typing Setting", u"KeyDelay", u"-5", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyDelayMs, 0); }, {} },
        { "KeyDelay 99999: none", u"Typing Setting", u"KeyDelay", u"99999", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyDelayMs, 0); }, {} },
        { "KeyDelay abc: none", u"Typing Setting", u"KeyDelay", u"abc", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyDelayMs, 0); }, {} },
        { "KeyDelay 20ms: none", u"Typing Setting", u"KeyDelay", u"20ms", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyDelayMs, 0); }, {} },
        { "KeyDelay 10, not a choice: none", u"Typing Setting", u"KeyDelay", u"10", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyDelayMs, 0); }, {} },
        { "KeyMode 1: keyboard keys", u"Typing Setting", u"KeyMode", u"1", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyMode, 1); }, {} },
        { "KeyMode 2: Unicode characters", u"Typing Setting", u"KeyMode", u"2", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyMode, 0); }, {} },
        { "KeyMode 01: Unicode characters", u"Typing Setting", u"KeyMode", u"01", 3,
          [](const SettingsOutcome& o) { EXPECT_EQ(o.keyMode, 0); }, {} },
    };
    for (const Case& c : cases) {
        // A full file, with the one key of the case replaced.
        FakeIni ini;
        ini.values = {
            { { u"Language Setting", u"Language" }, u"1" }, { { u"Start Setting", u"BootRun" }, u"0" },
            { { u"Start Setting", u"RunMini" }, u"0" },     { { u"Encoding Setting", u"Encoding" }, u"0" },
            { { u"Uart Setting", u"ComPort" }, u"1" },      { { u"Uart Setting", u"BaudRate" }, u"5" },
            { { u"Uart Setting", u"ParityBit" }, u"0" },    { { u"Uart Setting", u"DataBit" }, u"1" },
            { { u"Uart Setting", u"StopBit" }, u"0" },      { { u"Start Setting", u"RunStart" }, u"0" },
        };
        ini.values[{ c.section, c.key }] = c.value;
        const SettingsOutcome out = ini.Load(c.portCount);
        SCOPED_TRACE(c.what);
        c.check(out);
        EXPECT_EQ(WrittenKeys(out), c.rewritten);
    }
}

TEST(SettingsLoad, BootRunAsksTheRegistryOnlyWhenOn)
{
    struct Case {
        std::u16string value;
        bool registered;
        int queries;
        bool bootRun;
        std::vector<std::u16string> writes;
    };
    const Case cases[] = {
        { u"1", true, 1, true, {} },
        { u"1", false, 1, false, { u"BootRun=0" } },
        { u"0", true, 0, false, {} },
    };
    for (const Case& c : cases) {
        FakeIni ini;
        ini.registered = c.registered;
        ini.values = {
            { { u"Language Setting", u"Language" }, u"1" }, { { u"Start Setting", u"BootRun" }, c.value },
            { { u"Start Setting", u"RunMini" }, u"0" },     { { u"Encoding Setting", u"Encoding" }, u"0" },
            { { u"Uart Setting", u"ComPort" }, u"0" },      { { u"Uart Setting", u"BaudRate" }, u"5" },
            { { u"Uart Setting", u"ParityBit" }, u"0" },    { { u"Uart Setting", u"DataBit" }, u"1" },
            { { u"Uart Setting", u"StopBit" }, u"0" },      { { u"Start Setting", u"RunStart" }, u"0" },
        };
        const SettingsOutcome out = ini.Load(1);
        EXPECT_EQ(ini.autostartQueries, c.queries);
        EXPECT_EQ(out.bootRun, c.bootRun);
        EXPECT_EQ(WrittenKeys(out), c.writes);
    }
}

namespace {

// The Run key as a fake: records opens with their access, holds one value.
struct FakeRunKey : RunKey {
    std::optional<std::u16string> value;
    long openResult = kErrorSuccess;
    long createResult = kErrorSuccess;
    bool valueTooLong = false;
    std::vector<std::string> log;
    bool open = false;

    long Open(bool create, std::uint32_t access) override
    {
        char buf[64];
        snprintf(buf, sizeof buf, "%s %#x", create ? "create" : "open", access);
        log.push_back(buf);
        const long result = create ? createResult : openResult;
        open = result == kErrorSuccess;
        return result;
    }
    void Close() override
    {
        if (open)
            log.push_back("close");
        open = false;
    }
    long QueryValue(std::u16string& out) override
    {
        if (!value || valueTooLong)
            return valueTooLong ? 234 : 2;
        out = *value;
        return kErrorSuccess;
    }
    long SetValue(const std::u16string& v) override
    {
        log.push_back("set " + Utf8(v));
        value = v;
        return kErrorSuccess;
    }
    long DeleteValue() override
    {
        log.push_back("delete");
        value.reset();
        return kErrorSuccess;
    }
};

const std::u16string kExe = u"C:\\Program Files\\Tapwire\\Tapwire.exe";

} // namespace

TEST(Autostart, RegisteredUnlessTheValueNamesAnotherProgram)
{
    struct Case {
        const char* what;
        std::optional<std::u16string> value;
        bool tooLong;
        int expected;
    };
    const Case cases[] = {
        { "quoted, as this version stores it", u"\"" + kExe + u"\"", false, 1 },
        { "unquoted, as earlier versions stored it", kExe, false, 1 },
        { "no value", std::nullopt, false, 1 },
        { "a value too long for the buffer", u"x", true, 1 },
        { "another path", u"\"C:\\Old\\Tapwire.exe\"", false, 0 },
        { "the same path in other letter case", u"c:\\program files\\tapwire\\tapwire.exe", false, 0 },
    };
    for (const Case& c : cases) {
        FakeRunKey key;
        key.value = c.value;
        key.valueTooLong = c.tooLong;
        AutostartMessage message;
        EXPECT_EQ(IsAutostartRegistered(key, false, kExe, message), c.expected) << c.what;
        EXPECT_EQ(message, AutostartMessage::kNone) << c.what;
        EXPECT_EQ(key.log, (std::vector<std::string>{ "open 0x1", "close" })) << c.what;
    }
}

TEST(Autostart, AccessRightsFollowTheRegistryView)
{
    for (bool wow64 : { false, true }) {
        FakeRunKey key;
        AutostartMessage message;
        IsAutostartRegistered(key, wow64, kExe, message);
        bool bootRun = false;
        ToggleAutostart(key, wow64, true, kExe, bootRun, message);
        RemoveAutostart(key, wow64, 1, message);
        const std::vector<std::string> expected = wow64
            ? std::vector<std::string>{ "open 0x101", "close", "create 0xf013f", "set \"" + Utf8(kExe) + "\"", "close",
                                        "create 0xf013f", "close", "open 0x20106", "delete", "close" }
            : std::vector<std::string>{ "open 0x1", "close", "create 0xf003f", "set \"" + Utf8(kExe) + "\"", "close",
                                        "create 0xf003f", "close", "open 0x20106", "delete", "close" };
        EXPECT_EQ(key.log, expected) << "wow64 " << wow64;
    }
}

TEST(Autostart, ToggleFlipsOnlyWhenTheKeyOpens)
{
    FakeRunKey key;
    AutostartMessage message;
    bool bootRun = false;
    EXPECT_TRUE(ToggleAutostart(key, false, true, kExe, bootRun, message));
    EXPECT_TRUE(bootRun);
    EXPECT_EQ(key.value, u"\"" + kExe + u"\"");
    EXPECT_TRUE(ToggleAutostart(key, false, true, kExe, bootRun, message));
    EXPECT_FALSE(bootRun);
    EXPECT_FALSE(key.value);
    // Unregistering a value that is already gone still turns the option off.
    bootRun = true;
    EXPECT_TRUE(ToggleAutostart(key, false, true, kExe, bootRun, message));
    EXPECT_FALSE(bootRun);

    struct Case {
        long error;
        bool userRequest;
        AutostartMessage message;
    };
    for (const Case& c : { Case{ kErrorAccessDenied, true, AutostartMessage::kAccessDeniedJapanese },
                           Case{ kErrorAccessDenied, false, AutostartMessage::kNone },
                           Case{ 2, true, AutostartMessage::kNone } }) {
        FakeRunKey denied;
        denied.createResult = c.error;
        bool flag = true;
        EXPECT_FALSE(ToggleAutostart(denied, false, c.userRequest, kExe, flag, message));
        EXPECT_TRUE(flag);
        EXPECT_EQ(message, c.message);
    }
}

TEST(Autostart, RemovalTellsAccessDeniedInTheInterfaceLanguage)
{
    struct Case {
        long error;
        int language;
        AutostartMessage message;
    };
    const Case cases[] = {
        { kErrorAccessDenied, 1, AutostartMessage::kAccessDeniedEnglish },
        { kErrorAccessDenied, 2, AutostartMessage::kAccessDeniedChinese },
        { kErrorAccessDenied, 3, AutostartMessage::kAccessDeniedJapanese },
        { kErrorAccessDenied, 0, AutostartMessage::kNone },
        { 2, 1, AutostartMessage::kNone },
    };
    for (const Case& c : cases) {
        FakeRunKey key;
        key.createResult = c.error;
        AutostartMessage message;
        EXPECT_EQ(RemoveAutostart(key, false, c.language, message), 0);
        EXPECT_EQ(message, c.message);
    }
    // An unreadable key at start-up counts as registered, with its message.
    FakeRunKey unreadable;
    unreadable.openResult = kErrorAccessDenied;
    AutostartMessage message;
    EXPECT_EQ(IsAutostartRegistered(unreadable, false, kExe, message), 1);
    EXPECT_EQ(message, AutostartMessage::kReadError);
}
