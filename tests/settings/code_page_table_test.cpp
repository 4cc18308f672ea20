// The whole table of a double-byte code page end to end: every character that
// code page 932 or 936 defines, double-byte and single-byte, sent by the
// scanner in a few long scans through the started port, arrives in the
// focused window exactly as the system's own conversion of the whole byte
// string reads it, unit for unit.
#include "ScannerPort.h"
#include "SettingsTestSupport.h"
#include "TargetWindow.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

using namespace settingstest;

namespace {

// The bytes of the scans and, for each character, where it starts in them.
struct CodePageText {
    std::vector<uint8_t> bytes;
    std::vector<size_t> starts;
    size_t doubleByte = 0;  // characters
    size_t singleByte = 0;

    void Append(std::initializer_list<uint8_t> character)
    {
        starts.push_back(bytes.size());
        bytes.insert(bytes.end(), character);
    }
};

// A character the code page defines: the pair makes exactly one UTF-16 unit,
// and no stand-in for an undefined character.
bool IsDoubleByteCharacter(UINT codePage, const char pair[2])
{
    wchar_t units[2];
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, pair, 2, units, 2) == 1;
}

// Every double-byte character of the code page in code order, with a single
// byte after every third: by turn every byte from 20 up that is no lead byte
// and no DEL (for 932 the half-width katakana among them, for 936 the euro
// sign 80 and FF). A carriage return ends each scan of 3,000 double-byte
// characters, and the last one.
CodePageText WholeTable(UINT codePage)
{
    std::vector<uint8_t> singles;
    for (int b = 0x20; b <= 0xFF; ++b) {
        if (b != 0x7F && !IsDBCSLeadByteEx(codePage, static_cast<BYTE>(b)))
            singles.push_back(static_cast<uint8_t>(b));
    }
    CodePageText text;
    size_t inScan = 0;
    for (int lead = 0x00; lead <= 0xFF; ++lead) {
        if (!IsDBCSLeadByteEx(codePage, static_cast<BYTE>(lead)))
            continue;
        for (int trail = 0x00; trail <= 0xFF; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            if (!IsDoubleByteCharacter(codePage, pair))
                continue;
            text.Append({static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)});
            ++text.doubleByte;
            if (text.doubleByte % 3 == 0) {
                text.Append({singles[text.singleByte % singles.size()]});
                ++text.singleByte;
            }
            if (++inScan == 3000) {
                text.Append({0x0D});
                inScan = 0;
            }
        }
    }
    if (inScan > 0)
        text.Append({0x0D});
    return text;
}

// The whole byte string read by the system's conversion in one call.
std::wstring Converted(UINT codePage, const std::vector<uint8_t>& bytes)
{
    const char* data = reinterpret_cast<const char*>(bytes.data());
    const int size = static_cast<int>(bytes.size());
    std::wstring units(static_cast<size_t>(MultiByteToWideChar(codePage, 0, data, size, nullptr, 0)), L'\0');
    MultiByteToWideChar(codePage, 0, data, size, units.data(), static_cast<int>(units.size()));
    return units;
}

std::string Hex(const std::vector<uint8_t>& bytes, size_t from, size_t to)
{
    std::string text;
    char byte[4];
    for (size_t i = from; i < std::min(to, bytes.size()); ++i) {
        std::snprintf(byte, sizeof(byte), "%02X ", bytes[i]);
        text += byte;
    }
    return text;
}

std::string Units(const std::wstring& units, size_t from, size_t count)
{
    std::string text;
    char unit[8];
    for (size_t i = from; i < std::min(from + count, units.size()); ++i) {
        std::snprintf(unit, sizeof(unit), "%04X ", static_cast<unsigned>(units[i]));
        text += unit;
    }
    return text;
}

// Equal unit for unit, or where the first difference is: the characters
// there and the bytes they were typed from.
::testing::AssertionResult SameUnits(const std::wstring& expected, const std::wstring& typed,
                                     const CodePageText& text)
{
    const auto difference = std::mismatch(expected.begin(), expected.end(), typed.begin(), typed.end());
    if (difference.first == expected.end() && difference.second == typed.end())
        return ::testing::AssertionSuccess();
    const size_t at = static_cast<size_t>(difference.first - expected.begin());
    const size_t from = at >= 3 ? at - 3 : 0;
    const size_t firstByte = text.starts[std::min(from, text.starts.size() - 1)];
    const size_t lastByte = at + 5 < text.starts.size() ? text.starts[at + 5] : text.bytes.size();
    return ::testing::AssertionFailure()
           << typed.size() << " of " << expected.size() << " units typed; the first difference at unit " << at
           << "\n  from bytes " << Hex(text.bytes, firstByte, lastByte) << "\n  expected   "
           << Units(expected, from, 8) << "\n  typed      " << Units(typed, from, 8);
}

// Waits until the window holds `units` units, as long as more keep coming;
// false once nothing more has come for ten seconds.
bool WaitForUnits(const TargetWindow& target, size_t units)
{
    size_t seen = 0;
    for (;;) {
        const size_t now = target.WaitForText(units, 10000).size();
        if (now >= units)
            return true;
        if (now == seen)
            return false;
        seen = now;
    }
}

class CodePageTableTest : public SettingsTest {
protected:
    // Tapwire started in the encoding, each scan written and typed before
    // the next, then everything typed compared with the conversion.
    void TypeWholeTable(int encoding, UINT codePage)
    {
        const CodePageText text = WholeTable(codePage);
        const std::wstring expected = Converted(codePage, text.bytes);
        ASSERT_EQ(expected.size(), text.starts.size()) << "a single byte that is not one unit";

        PortDevices ports(1);
        TapwireApp app;
        SettingsValues values;
        values.runStart = "1";
        values.encoding = std::to_string(encoding);
        WriteFileBytes(app.SettingsPath(), IniText(SettingsFile(values)));
        const Window dialog = app.Start();
        ASSERT_TRUE(WaitUntil([&] { return dialog.Child(1017).Text() == JapaneseTexts().buttonStarted; }, 5000))
            << "the port did not start";
        TargetWindow target;
        target.Activate();

        ScannerPort scanner(ports.Pairs()[0].scannerPort);
        size_t scans = 0;
        for (auto scanStart = text.bytes.begin(); scanStart != text.bytes.end(); ++scans) {
            const auto scanEnd = std::find(scanStart, text.bytes.end(), 0x0D) + 1;
            scanner.Write(std::vector<uint8_t>(scanStart, scanEnd));
            scanStart = scanEnd;
            // Each character is one unit.
            const size_t due = static_cast<size_t>(
                std::lower_bound(text.starts.begin(), text.starts.end(), scanEnd - text.bytes.begin()) -
                text.starts.begin());
            if (!WaitForUnits(target, due))
                break;
        }
        Sleep(200);  // anything extra would come now
        EXPECT_TRUE(SameUnits(expected, target.Text(), text));
        EXPECT_TRUE(target.IsForeground());
        std::printf("[          ] %zu double-byte and %zu single-byte characters in %zu scans\n", text.doubleByte,
                    text.singleByte, scans);
        EXPECT_TRUE(ClosesCleanly(app));
    }
};

}  // namespace

TEST_F(CodePageTableTest, ShiftJisTypesEveryCharacterOfCodePage932)
{
    TypeWholeTable(5, 932);  // "Japanese(Shift-JIS/Windows-932)"
}

TEST_F(CodePageTableTest, GbkTypesEveryCharacterOfCodePage936)
{
    TypeWholeTable(4, 936);  // "Simplified Chinese(GBK/Windows-936)"
}
