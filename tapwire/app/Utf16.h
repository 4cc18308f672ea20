// Between the platform-free code's UTF-16 strings and the framework's CString:
// on Windows both hold the same 16-bit units.
#pragma once

#include "Afx.h"

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "CString holds UTF-16 units");

inline CString ToCString(const std::u16string& text)
{
    return CString(reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<int>(text.size()));
}

inline std::u16string ToU16(const CString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.GetString()),
                          static_cast<std::size_t>(text.GetLength()));
}

// A UTF-16 literal of the platform-free code, as the Win32 calls take it.
inline const wchar_t* AsWide(const char16_t* text)
{
    return reinterpret_cast<const wchar_t*>(text);
}
