#include "String.h"

#include <cstdarg>
#include <cwchar>
#include <algorithm>
#include <vector>

int CString::Compare(const wchar_t* psz) const
{
    return wcscmp(m_str.c_str(), psz ? psz : L"");
}

int CString::CompareNoCase(const wchar_t* psz) const
{
    return _wcsicmp(m_str.c_str(), psz ? psz : L"");
}

int CString::Find(wchar_t ch, int nStart) const
{
    if (nStart < 0 || nStart >= GetLength())
        return -1;
    const size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* pszSub, int nStart) const
{
    if (!pszSub || nStart < 0 || nStart > GetLength())
        return -1;
    const size_t pos = m_str.find(pszSub, static_cast<size_t>(nStart));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(wchar_t ch) const
{
    const size_t pos = m_str.rfind(ch);
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength() - nFirst);
}

CString CString::Mid(int nFirst, int nCount) const
{
    nFirst = std::max(nFirst, 0);
    nCount = std::max(nCount, 0);
    if (nFirst >= GetLength())
        return CString();
    nCount = std::min(nCount, GetLength() - nFirst);
    return CString(m_str.c_str() + nFirst, nCount);
}

CString CString::Left(int nCount) const
{
    return Mid(0, nCount);
}

CString CString::Right(int nCount) const
{
    nCount = std::clamp(nCount, 0, GetLength());
    return Mid(GetLength() - nCount, nCount);
}

CString& CString::MakeUpper()
{
    if (!m_str.empty())
        ::CharUpperBuffW(&m_str[0], static_cast<DWORD>(m_str.size()));
    return *this;
}

CString& CString::MakeLower()
{
    if (!m_str.empty())
        ::CharLowerBuffW(&m_str[0], static_cast<DWORD>(m_str.size()));
    return *this;
}

void CString::Format(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const wchar_t* pszFormat, va_list args)
{
    // The CRT's own wide formatter (not the ISO one) so that %s takes a wide string.
    va_list count;
    va_copy(count, args);
    const int nLength = _vscwprintf(pszFormat, count);
    va_end(count);
    if (nLength < 0) {
        m_str.clear();
        return;
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(nLength) + 1);
    _vsnwprintf(buffer.data(), buffer.size(), pszFormat, args);
    m_str.assign(buffer.data(), static_cast<size_t>(nLength));
}

wchar_t* CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength > GetLength())
        m_str.resize(static_cast<size_t>(nMinBufLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = static_cast<int>(wcsnlen(m_str.c_str(), m_str.size()));
    m_str.resize(static_cast<size_t>(std::min(nNewLength, GetLength())));
}

BOOL CString::LoadString(UINT nID)
{
    // With a zero buffer length LoadStringW hands out a pointer into the resource.
    const wchar_t* pRes = nullptr;
    const int nLength = ::LoadStringW(::GetModuleHandleW(nullptr), nID,
                                      reinterpret_cast<LPWSTR>(&pRes), 0);
    if (nLength <= 0 || !pRes) {
        m_str.clear();
        return FALSE;
    }
    m_str.assign(pRes, static_cast<size_t>(nLength));
    return TRUE;
}
