// The interface texts of each language: 1 English, 2 Chinese, 3 Japanese. For
// any other language there are none, and the texts on the screen stay as they are.
#pragma once

namespace tapwire {

enum Language { kEnglish = 1, kChinese = 2, kJapanese = 3 };

struct InterfaceTexts {
    // Dialog items, in the order the language switch sets them
    const char16_t* groupSerial;     // 1038
    const char16_t* labelPort;       // 1039
    const char16_t* labelBaudRate;   // 1041
    const char16_t* labelParity;     // 1040
    const char16_t* labelDataBits;   // 1042
    const char16_t* labelStopBits;   // 1043
    // Button 1017 and status line 1048 by port state
    const char16_t* buttonStopped;
    const char16_t* buttonStarted;
    const char16_t* statusStopped;
    const char16_t* statusStarted;
    // The menu bar, by position
    const char16_t* menuSettings;
    const char16_t* menuHelp;
    const char16_t* menuStartUp;
    const char16_t* menuEncoding;
    const char16_t* startUp[4];      // None, run at log-on, minimise, start the port
    const char16_t* encodings[9];    // by encoding index
    const char16_t* helpAbout;
    // Settings › Typing, by position: the pauses, then (after a separator)
    // the two ways of typing
    const char16_t* menuTyping;
    const char16_t* typingPauses[4];  // no pause, 5, 20, 50 ms
    const char16_t* typingModes[2];   // Unicode characters, keyboard keys
    // A scan that the input did not take: the status line (begins with four
    // blanks, as the port states do) and the tray icon's balloon
    const char16_t* statusTypingFailed;
    const char16_t* typingFailedNotice;
};

// nullptr for a language outside 1 to 3.
const InterfaceTexts* TextsForLanguage(int language);

// Button 1017 and status line 1048 for a stopped or started port.
const char16_t* StartStopButtonText(int language, bool started);
const char16_t* PortStatusText(int language, bool started);
// The status line and balloon text of a scan that could not be typed.
const char16_t* TypingFailedStatusText(int language);
const char16_t* TypingFailedNoticeText(int language);

} // namespace tapwire
