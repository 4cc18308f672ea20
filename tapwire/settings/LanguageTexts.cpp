#include "LanguageTexts.h"

namespace tapwire {

namespace {

struct PortStateTexts {
    const char16_t* stoppedButton;
    const char16_t* startedButton;
    const char16_t* stoppedStatus;
    const char16_t* startedStatus;
};

// The status texts begin with four blanks.
constexpr PortStateTexts kPortStateTexts[] = {
    { u"Start", u"Stop", u"    Port Status: Closed", u"    Port Status: Opened" },
    { u"开始", u"停止", u"    串口状态: 已关闭", u"    串口状态: 已打开" },
    { u"接続", u"切断", u"    接続状態: 切断", u"    接続状態: 接続" },
};

const PortStateTexts* TextsFor(int language)
{
    if (language < kEnglish || language > kJapanese)
        return nullptr;
    return &kPortStateTexts[language - kEnglish];
}

} // namespace

const char16_t* StartStopButtonText(int language, bool started)
{
    const PortStateTexts* texts = TextsFor(language);
    return texts ? (started ? texts->startedButton : texts->stoppedButton) : nullptr;
}

const char16_t* PortStatusText(int language, bool started)
{
    const PortStateTexts* texts = TextsFor(language);
    return texts ? (started ? texts->startedStatus : texts->stoppedStatus) : nullptr;
}

} // namespace tapwire
