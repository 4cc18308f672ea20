// The interface texts that depend on the language: 1 English, 2 Chinese,
// 3 Japanese. For any other language the functions give nullptr and the text
// on the screen is left as it is.
#pragma once

namespace tapwire {

enum Language { kEnglish = 1, kChinese = 2, kJapanese = 3 };

// Button 1017 and status line 1048 for a stopped or started port.
const char16_t* StartStopButtonText(int language, bool started);
const char16_t* PortStatusText(int language, bool started);

} // namespace tapwire
