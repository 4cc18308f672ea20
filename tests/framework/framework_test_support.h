// Lets GoogleTest print CString values in failure messages.
#pragma once

#include "Afx.h"

#include <ostream>
#include <string>

inline void PrintTo(const CString& s, std::ostream* os)
{
    std::string utf8(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, s, s.GetLength(), nullptr, 0, nullptr, nullptr)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s, s.GetLength(), utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    *os << '"' << utf8 << '"';
}
