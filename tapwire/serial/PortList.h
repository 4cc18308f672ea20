// The port list's rules: which devices of the "Ports" class are listed, under
// which port name, and which entry is preselected (the maker's scanner, else
// the first port). Plain data in, plain data out; SetupAPI stays with the caller.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tapwire {

// The port-name table holds this many entries; ports beyond it are not listed.
constexpr int kPortNameTableSize = 256;

// What the enumeration read of one present device.
struct PortDevice {
    std::u16string friendlyName;                 // empty when it could not be read
    std::optional<std::u16string> hardwareId;    // first id of the list; none when unreadable
};

// The scanners' USB vendor and product ids, tested in this order.
using ScannerPatterns = std::array<std::u16string, 3>;

// The port list and what the window keeps of it. A refresh starts from the
// window's current values: names of the table and the port name survive where
// the rules do not replace them.
struct PortListState {
    std::vector<std::u16string> entries;   // list texts, in order
    std::vector<std::u16string> names;     // the port-name table, kPortNameTableSize entries
    int portCount = 0;
    int scannerIndex = 0;
    int selection = -1;                    // -1: no entry selected
    std::u16string portName;
};

// "USB Serial Device (COM3)" gives "COM3": the text after the last '(' up to the
// last ')'. Without '(' it runs from the start; without ')' after the last '('
// it is empty.
std::u16string PortNameFromFriendlyName(const std::u16string& friendlyName);

// ASCII letters upper-cased; hardware and instance ids are ASCII.
std::u16string ToUpperAscii(std::u16string text);

// TRUE when the upper-cased id contains one of the patterns.
bool MatchesScanner(const std::u16string& upperId, const ScannerPatterns& patterns);

// Rebuilds the list from the devices in enumeration order. "LPT1" is not
// listed; the last scanner is selected, else the first entry. A device whose
// hardware id cannot be read ends the enumeration after it has been listed.
void RefreshPortListState(PortListState& state, const std::vector<PortDevice>& devices,
                          const ScannerPatterns& patterns);

// The number Start opens: the leading number after the first "COM" of the
// name ("COM10" gives 10); without "COM", of the name without its first two
// characters.
int PortNumberFromName(const std::u16string& portName);

} // namespace tapwire
