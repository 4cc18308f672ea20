#include "NumberText.h"
#include "PortList.h"

#include <gtest/gtest.h>

using namespace tapwire;

namespace {

const ScannerPatterns kPatterns = { u"VID_2E9B&PID_0002", u"VID_2E9B&PID_0201", u"VID_0483&PID_5740" };

PortDevice Device(std::u16string friendlyName, std::u16string hardwareId)
{
    return { std::move(friendlyName), std::move(hardwareId) };
}

PortListState Refresh(const std::vector<PortDevice>& devices, PortListState state = {})
{
    RefreshPortListState(state, devices, kPatterns);
    return state;
}

} // namespace

TEST(PortList, PortNameIsCutFromTheLastParentheses)
{
    struct Case {
        std::u16string friendlyName;
        std::u16string portName;
    };
    const Case cases[] = {
        { u"USB Serial Device (COM3)", u"COM3" },
        { u"Bridge (v2) (COM12)", u"COM12" },
        { u"No parentheses", u"" },
        { u"COM5)", u"COM5" },        // no '(': from the start to the last ')'
        { u"Broken (COM7", u"" },     // no ')' after the last '('
        { u"Odd ) order (", u"" },
        { u"", u"" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(PortNameFromFriendlyName(c.friendlyName), c.portName);
}

TEST(PortList, ScannerIsPreselectedAndLpt1LeftOut)
{
    const PortListState state = Refresh({
        Device(u"Communications Port (COM1)", u"ACPI\\PNP0501"),
        Device(u"ECP Printer Port (LPT1)", u"ACPI\\PNP0401"),
        Device(u"USB Serial Device (COM7)", u"USB\\VID_2E9B&PID_0002&REV_0100"),
    });
    EXPECT_EQ(state.entries, (std::vector<std::u16string>{ u"Communications Port (COM1)", u"USB Serial Device (COM7)" }));
    EXPECT_EQ(state.portCount, 2);
    EXPECT_EQ(state.names[0], u"COM1");
    EXPECT_EQ(state.names[1], u"COM7");
    EXPECT_EQ(state.selection, 1);
    EXPECT_EQ(state.scannerIndex, 1);
    EXPECT_EQ(state.portName, u"COM7");
}

TEST(PortList, SelectionRules)
{
    struct Case {
        const char* what;
        std::vector<PortDevice> devices;
        int selection;
        std::u16string portName;
    };
    const Case cases[] = {
        { "the last of two scanners",
          { Device(u"A (COM3)", u"USB\\VID_0483&PID_5740"), Device(u"B (COM4)", u"PCI\\X"),
            Device(u"C (COM5)", u"USB\\VID_2E9B&PID_0201") }, 2, u"COM5" },
        { "no scanner: the first port",
          { Device(u"A (COM3)", u"PCI\\X"), Device(u"B (COM4)", u"PCI\\Y") }, 0, u"COM3" },
        { "lower-case hardware id",
          { Device(u"A (COM3)", u"PCI\\X"), Device(u"S (COM9)", u"usb\\vid_2e9b&pid_0002&rev_0100") }, 1, u"COM9" },
        { "LPT2 is listed",
          { Device(u"Printer (LPT2)", u"ACPI\\X") }, 0, u"LPT2" },
        { "an unreadable hardware id ends the list after its device",
          { Device(u"A (COM3)", u"PCI\\X"), PortDevice{ u"B (COM4)", std::nullopt },
            Device(u"S (COM9)", u"USB\\VID_2E9B&PID_0002") }, 0, u"COM3" },
    };
    for (const Case& c : cases) {
        const PortListState state = Refresh(c.devices);
        EXPECT_EQ(state.selection, c.selection) << c.what;
        EXPECT_EQ(state.portName, c.portName) << c.what;
    }
}

TEST(PortList, NoPortsKeepsThePortNameAndSelectsNothing)
{
    PortListState before;
    before.portName = u"COM3";
    const PortListState state = Refresh({}, before);
    EXPECT_EQ(state.portCount, 0);
    EXPECT_TRUE(state.entries.empty());
    EXPECT_EQ(state.selection, -1);
    EXPECT_EQ(state.portName, u"COM3");
}

TEST(PortList, TableHoldsAtMost256Ports)
{
    std::vector<PortDevice> devices;
    for (int i = 1; i <= 300; ++i)
        devices.push_back(Device(u"Port (COM" + std::u16string(1, u'x') + u")", u"PCI\\X"));
    devices.push_back(Device(u"Scanner (COM999)", u"USB\\VID_2E9B&PID_0002"));
    const PortListState state = Refresh(devices);
    EXPECT_EQ(state.portCount, kPortNameTableSize);
    EXPECT_EQ(state.entries.size(), static_cast<size_t>(kPortNameTableSize));
    EXPECT_EQ(state.names.size(), static_cast<size_t>(kPortNameTableSize));
    // The scanner beyond the table is not listed and so not selected.
    EXPECT_EQ(state.selection, 0);
}

TEST(PortNumber, TakenAfterComOrAfterTheFirstTwoCharacters)
{
    struct Case {
        std::u16string name;
        int number;
    };
    const Case cases[] = {
        { u"COM3", 3 }, { u"COM10", 10 }, { u"COM256", 256 }, { u"xxCOM7yy", 7 },
        { u"COM", 0 }, { u"AB12", 12 }, { u"TTY5", 0 }, { u"AB", 0 }, { u"", 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(PortNumberFromName(c.name), c.number) << std::string(c.name.begin(), c.name.end());
}

TEST(LeadingInteger, ReadsLikeTheSettingsRules)
{
    struct Case {
        std::u16string text;
        int value;
    };
    const Case cases[] = {
        { u"9600", 9600 }, { u"  12abc", 12 }, { u"-4", -4 }, { u"+7", 7 }, { u"abc", 0 }, { u"", 0 },
        { u"0000000001", 1 }, { u"99999999999", 2147483647 }, { u"-99999999999", -2147483647 - 1 },
        { u"- 3", 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(LeadingInteger(c.text), c.value) << std::string(c.text.begin(), c.text.end());
}
