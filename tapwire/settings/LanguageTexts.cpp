#include "LanguageTexts.h"

namespace tapwire {

namespace {

// The status texts begin with four blanks. Japanese keeps the English names
// of the encodings.
constexpr InterfaceTexts kTexts[] = {
    {
        u"Serial Port Settings", u"COM Port", u"Baud Rate", u"Parity Bit", u"Data Bit", u"Stop Bit",
        u"Start", u"Stop", u"    Port Status: Closed", u"    Port Status: Opened",
        u"Settings", u"Help", u"Start up", u"Encoding",
        { u"None", u"Run after starting up the PC", u"Minimize the window after running", u"Start after running" },
        { u"ASCII", u"Unicode", u"Unicode(Big-Endian)", u"UTF-8", u"Simplified Chinese(GBK/Windows-936)",
          u"Japanese(Shift-JIS/Windows-932)", u"Thai(Windows-874)", u"Western European(Latin 1/Windows-1252)",
          u"Arabic/Persian(Windows-1256)" },
        u"About",
    },
    {
        u"串口设置", u"串口号", u"波特率", u"校验位", u"数据位", u"停止位",
        u"开始", u"停止", u"    串口状态: 已关闭", u"    串口状态: 已打开",
        u"设置", u"帮助", u"启动", u"编码",
        { u"无", u"开机后自动启动", u"启动后最小化", u"启动后自动开始" },
        { u"ASCII", u"Unicode", u"Unicode(Big-Endian)", u"UTF-8", u"简体中文(GBK/Windows-936)",
          u"日文(Shift-JIS/Windows-932)", u"泰语(Windows-874)", u"西欧语言(Latin 1/Windows-1252)",
          u"阿拉伯语/波斯语(Windows-1256)" },
        u"关于",
    },
    {
        u"通信設定", u"COMポート", u"ボーレート", u"パリティビット", u"データビット", u"ストップビット",
        u"接続", u"切断", u"    接続状態: 切断", u"    接続状態: 接続",
        u"設定", u"ヘルプ", u"起動オプション", u"エンコーディング",
        { u"指定なし", u"PC起動時に自動起動", u"起動後最小化", u"起動後自動接続" },
        { u"ASCII", u"Unicode", u"Unicode(Big-Endian)", u"UTF-8", u"Simplified Chinese(GBK/Windows-936)",
          u"Japanese(Shift-JIS/Windows-932)", u"Thai(Windows-874)", u"Western European(Latin 1/Windows-1252)",
          u"Arabic/Persian(Windows-1256)" },
        u"バージョン情報",
    },
};

} // namespace

const InterfaceTexts* TextsForLanguage(int language)
{
    if (language < kEnglish || language > kJapanese)
        return nullptr;
    return &kTexts[language - kEnglish];
}

const char16_t* StartStopButtonText(int language, bool started)
{
    const InterfaceTexts* texts = TextsForLanguage(language);
    return texts ? (started ? texts->buttonStarted : texts->buttonStopped) : nullptr;
}

const char16_t* PortStatusText(int language, bool started)
{
    const InterfaceTexts* texts = TextsForLanguage(language);
    return texts ? (started ? texts->statusStarted : texts->statusStopped) : nullptr;
}

} // namespace tapwire
