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
        u"Typing",
        { u"No pause between characters", u"5 ms between characters", u"20 ms between characters",
          u"50 ms between characters" },
        { u"Type Unicode characters", u"Type keyboard keys" },
        u"    Scan not typed: input refused",
        u"A scan could not be typed: the window in front does not accept keyboard input from Tapwire "
        u"(it may run as administrator, or the computer is locked).",
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
        u"键入",
        { u"字符之间不停顿", u"字符之间停顿 5 毫秒", u"字符之间停顿 20 毫秒", u"字符之间停顿 50 毫秒" },
        { u"键入 Unicode 字符", u"模拟键盘按键" },
        u"    扫描未键入: 输入被拒绝",
        u"有一次扫描未能键入：前台窗口不接受 Tapwire 发出的键盘输入（该程序可能以管理员身份运行，或者计算机已锁定）。",
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
        u"キー入力",
        { u"文字間の待ちなし", u"文字間 5 ミリ秒待つ", u"文字間 20 ミリ秒待つ", u"文字間 50 ミリ秒待つ" },
        { u"Unicode 文字で入力", u"キーボードのキーで入力" },
        u"    スキャン未入力: 入力が拒否されました",
        u"スキャンを入力できませんでした。前面のウィンドウが Tapwire からのキーボード入力を受け付けません"
        u"（管理者として実行されているか、コンピューターがロックされている可能性があります）。",
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

const char16_t* TypingFailedStatusText(int language)
{
    const InterfaceTexts* texts = TextsForLanguage(language);
    return texts ? texts->statusTypingFailed : nullptr;
}

const char16_t* TypingFailedNoticeText(int language)
{
    const InterfaceTexts* texts = TextsForLanguage(language);
    return texts ? texts->typingFailedNotice : nullptr;
}

} // namespace tapwire
