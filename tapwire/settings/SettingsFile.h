// Config.ini: sections and keys, and the one writer every handler uses. Each
// change is written the moment it is made; nothing is saved at exit.
#pragma once

#include "Afx.h"

namespace settings {

constexpr const wchar_t* kUartSection = L"Uart Setting";
constexpr const wchar_t* kStartSection = L"Start Setting";
constexpr const wchar_t* kLanguageSection = L"Language Setting";
constexpr const wchar_t* kEncodingSection = L"Encoding Setting";
constexpr const wchar_t* kTypingSection = L"Typing Setting";

constexpr const wchar_t* kComPortKey = L"ComPort";
constexpr const wchar_t* kBaudRateKey = L"BaudRate";
constexpr const wchar_t* kParityBitKey = L"ParityBit";
constexpr const wchar_t* kDataBitKey = L"DataBit";
constexpr const wchar_t* kStopBitKey = L"StopBit";
constexpr const wchar_t* kBootRunKey = L"BootRun";
constexpr const wchar_t* kRunMiniKey = L"RunMini";
constexpr const wchar_t* kRunStartKey = L"RunStart";
constexpr const wchar_t* kLanguageKey = L"Language";
constexpr const wchar_t* kEncodingKey = L"Encoding";
constexpr const wchar_t* kKeyDelayKey = L"KeyDelay";
constexpr const wchar_t* kKeyModeKey = L"KeyMode";

// Writes one key, creating the file, section and key as needed. A file that
// cannot be written is not reported: the program goes on with its values in memory.
void WriteSetting(const CString& strPath, const wchar_t* pszSection, const wchar_t* pszKey,
                  const wchar_t* pszValue);
void WriteSetting(const CString& strPath, const wchar_t* pszSection, const wchar_t* pszKey, int nValue);

} // namespace settings
