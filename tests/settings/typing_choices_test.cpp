// Settings › Typing of Tapwire.exe: the pause between characters and the two
// ways of typing, each seen in the menu's check marks, in Config.ini, and in
// what the focused window receives: a paced scan with the window responsive
// meanwhile, and keyboard keys of the US and German X layouts.
#include "ScannerPort.h"
#include "SettingsTestSupport.h"
#include "TargetWindow.h"

using namespace settingstest;

namespace {

constexpr char kTyping[] = "Typing Setting";
constexpr DWORD kTimeoutMs = 10000;

std::vector<IniEntry> WithTyping(std::vector<IniEntry> entries, const std::vector<IniEntry>& typing)
{
    entries.insert(entries.end(), typing.begin(), typing.end());
    return entries;
}

// A file with the port started at once and the typing keys given.
void WriteSettingsWithTyping(const TapwireApp& app, const std::vector<IniEntry>& typing)
{
    SettingsValues values;
    values.runStart = "1";
    WriteFileBytes(app.SettingsPath(), IniText(WithTyping(SettingsFile(values), typing)));
}

std::vector<WORD> KeyDownsOf(const std::vector<TargetEvent>& events)
{
    std::vector<WORD> keys;
    for (const TargetEvent& event : events)
        if (event.kind == kTargetKeyDown)
            keys.push_back(event.value);
    return keys;
}

// Start or Stop as the button's click sends it, without taking the focus from
// the target window.
void PressStartStop(const Window& dialog, const std::wstring& buttonAfter)
{
    dialog.PostCommand(1017, BN_CLICKED, dialog.Child(1017).Handle());
    ASSERT_TRUE(WaitUntil([&] { return dialog.Child(1017).Text() == buttonAfter; }, kTimeoutMs))
        << "the button still reads " << Narrow(dialog.Child(1017).Text());
}

// Whether the window answers a message sent to it within a second: it is not
// held up by the typing.
bool Answers(const Window& window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window.Handle(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

}  // namespace

TEST_F(SettingsTest, TypingChoicesCheckTheirEntryWriteTheirKeyAndHoldAtTheNextStart)
{
    TapwireApp app;
    const std::wstring config = app.SettingsPath();
    {
        const Window dialog = app.Start();
        AppProbe probe(dialog);
        ASSERT_TRUE(probe.Sync());
        EXPECT_EQ(ReadTypingChecks(probe), ExpectedTypingChecks(0, 0));
        EXPECT_EQ(ReadSettings(config), DefaultSettingsFile()) << "a first start writes no typing key";

        struct Step {
            UINT command;
            int delayMs, keyMode;
        };
        const Step steps[] = {
            {ID_TYPING_PAUSE_5, 5, 0},   {ID_TYPING_PAUSE_20, 20, 0}, {ID_TYPING_KEYS, 20, 1},
            {ID_TYPING_PAUSE_50, 50, 1}, {ID_TYPING_NO_PAUSE, 0, 1},  {ID_TYPING_UNICODE, 0, 0},
            {ID_TYPING_UNICODE, 0, 0},   {ID_TYPING_PAUSE_50, 50, 0}, {ID_TYPING_KEYS, 50, 1},
        };
        bool keyModeWritten = false;
        for (const Step& step : steps) {
            SCOPED_TRACE("command " + std::to_string(step.command));
            Command(dialog, probe, step.command);
            EXPECT_EQ(ReadTypingChecks(probe), ExpectedTypingChecks(step.delayMs, step.keyMode));
            keyModeWritten = keyModeWritten || step.command == ID_TYPING_KEYS || step.command == ID_TYPING_UNICODE;
            std::vector<IniEntry> typing = {{kTyping, "KeyDelay", std::to_string(step.delayMs)}};
            if (keyModeWritten)
                typing.push_back({kTyping, "KeyMode", std::to_string(step.keyMode)});
            EXPECT_EQ(ReadSettings(config), WithTyping(DefaultSettingsFile(), typing));
        }
        // The other menus are as they were; a language switch keeps every check.
        EXPECT_EQ(ReadChecks(probe), ExpectedChecks(false, false, false, 3));
        ClickNotification(dialog, probe, 1037);
        ExpectTexts(dialog, probe, ChineseTexts(), false);
        EXPECT_EQ(ReadTypingChecks(probe), ExpectedTypingChecks(50, 1));
        ClickNotification(dialog, probe, 1036);
        ExpectTexts(dialog, probe, EnglishTexts(), false);
        EXPECT_EQ(ReadTypingChecks(probe), ExpectedTypingChecks(50, 1));
        EXPECT_TRUE(ClosesCleanly(app));
    }
    const std::optional<std::vector<IniEntry>> stored = ReadSettings(config);
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ExpectTexts(dialog, probe, JapaneseTexts(), false);
    EXPECT_EQ(ReadTypingChecks(probe), ExpectedTypingChecks(50, 1));
    EXPECT_EQ(ReadSettings(config), stored) << "the load writes no typing key";
    EXPECT_TRUE(ClosesCleanly(app));
}

TEST_F(SettingsTest, TypingValuesThatAreNoChoiceMeanNoPauseAndUnicodeCharacters)
{
    TapwireApp app;
    for (const char* delay : {"-5", "99999", "abc", "20ms", ""}) {
        SCOPED_TRACE(std::string("KeyDelay ") + delay);
        const std::vector<IniEntry> file =
            WithTyping(DefaultSettingsFile(), {{kTyping, "KeyDelay", delay}, {kTyping, "KeyMode", "keys"}});
        WriteFileBytes(app.SettingsPath(), IniText(file));
        const Window dialog = app.Start();
        AppProbe probe(dialog);
        EXPECT_EQ(ReadTypingChecks(probe), ExpectedTypingChecks(0, 0));
        EXPECT_EQ(ReadSettings(app.SettingsPath()), file) << "kept as they are";
        EXPECT_TRUE(ClosesCleanly(app));
    }
}

TEST_F(SettingsTest, APausedScanArrivesInOrderWhileTheWindowStaysResponsiveAndStopEndsIt)
{
    PortDevices ports(1);
    TapwireApp app;
    WriteSettingsWithTyping(app, {{kTyping, "KeyDelay", "50"}});
    const Window dialog = app.Start();
    AppProbe probe(dialog);
    ASSERT_TRUE(probe.Sync());
    ASSERT_EQ(dialog.Child(1017).Text(), JapaneseTexts().buttonStarted) << "the port did not start";
    TargetWindow target;
    ScannerPort scanner(ports.Pairs()[0].scannerPort);

    // 30 characters and Enter take at least 1.5 s at 50 ms between them.
    const std::string scan = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\r";
    scanner.Write(scan);
    ASSERT_GE(target.WaitForText(1, kTimeoutMs).size(), 1u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(Answers(dialog)) << "the window is held up by the paced typing";
        Sleep(100);
    }
    EXPECT_LT(target.Text().size(), scan.size()) << "not paced";
    EXPECT_EQ(target.WaitForText(scan.size(), kTimeoutMs), std::wstring(scan.begin(), scan.end()));

    // Between the key-up of a character and the key-down of the next: the
    // pause at least (the times are whole milliseconds).
    const std::vector<TargetEvent> events = target.Events();
    uint32_t lastKeyUp = 0;
    bool afterKeyUp = false;
    size_t gaps = 0;
    for (const TargetEvent& event : events) {
        if (event.kind == kTargetKeyDown && afterKeyUp) {
            EXPECT_GE(event.timeMs - lastKeyUp, 49u) << "after character " << gaps;
            ++gaps;
        }
        if (event.kind == kTargetKeyUp) {
            lastKeyUp = event.timeMs;
            afterKeyUp = true;
        } else if (event.kind == kTargetKeyDown) {
            afterKeyUp = false;
        }
    }
    EXPECT_EQ(gaps, scan.size() - 1);

    // A long paced scan: Stop ends its typing, and what was typed is its
    // beginning, nothing lost or doubled before the stop.
    const std::string longScan(200, 'x');
    const size_t before = target.Text().size();
    scanner.Write(longScan);
    ASSERT_GE(target.WaitForText(before + 5, kTimeoutMs).size(), before + 5);
    ASSERT_NO_FATAL_FAILURE(PressStartStop(dialog, JapaneseTexts().buttonStopped));
    const size_t atStop = target.Text().size();
    Sleep(500);
    const std::wstring typed = target.Text();
    EXPECT_LE(typed.size(), atStop + 2) << "typing went on after Stop";
    EXPECT_LT(typed.size(), before + longScan.size());
    EXPECT_EQ(typed.substr(before), std::wstring(typed.size() - before, L'x'));

    // Closing while a paced scan is typed.
    ASSERT_NO_FATAL_FAILURE(PressStartStop(dialog, JapaneseTexts().buttonStarted));
    const size_t beforeClose = target.Text().size();
    scanner.Write(longScan);
    ASSERT_GE(target.WaitForText(beforeClose + 5, kTimeoutMs).size(), beforeClose + 5);
    EXPECT_TRUE(ClosesCleanly(app));
}

TEST_F(SettingsTest, KeyboardKeysAreTheKeysOfTheLayoutAndUnicodeCharactersStayAsTheyWere)
{
    struct Case {
        const char* layout;
        int keyMode;
        std::vector<WORD> keyDowns;
    };
    // "zy@é1!" and a carriage return. German: Z and Y swap places but keep
    // their key codes, 'é' has no key. '@' is AltGr+Q there, which Tapwire
    // presses as Ctrl+Alt+Q where the layout's translation gives '@' for it,
    // as Windows' does; Wine's gives Ctrl+Alt combinations no character (it
    // takes AltGr from the X server's own state), so here '@' goes as a
    // Unicode character, and arrives all the same.
    const Case cases[] = {
        {"us", 1, {'Z', 'Y', VK_SHIFT, '2', VK_PACKET, '1', VK_SHIFT, '1', VK_RETURN}},
        {"de", 1, {'Z', 'Y', VK_PACKET, VK_PACKET, '1', VK_SHIFT, '1', VK_RETURN}},
        {"de", 0, {VK_PACKET, VK_PACKET, VK_PACKET, VK_PACKET, VK_PACKET, VK_PACKET, VK_RETURN}},
    };
    PortDevices ports(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + (c.keyMode ? " keyboard keys" : " Unicode characters"));
        ScopedKeyboardLayout layout(c.layout);
        TapwireApp app;
        WriteSettingsWithTyping(app, {{kTyping, "KeyMode", std::to_string(c.keyMode)}});
        const Window dialog = app.Start();
        ASSERT_EQ(dialog.Child(1017).Text(), JapaneseTexts().buttonStarted) << "the port did not start";
        TargetWindow target;
        ScannerPort scanner(ports.Pairs()[0].scannerPort);
        scanner.Write("zy@\xC3\xA9" "1!\r");   // UTF-8, the default encoding
        EXPECT_EQ(target.WaitForText(7, kTimeoutMs), L"zy@\u00E91!\r");
        Sleep(200);   // anything late
        EXPECT_EQ(target.Text(), L"zy@\u00E91!\r");
        EXPECT_EQ(KeyDownsOf(target.Events()), c.keyDowns);
        EXPECT_TRUE(ClosesCleanly(app));
    }
}
