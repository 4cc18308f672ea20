#include "ScannerPort.h"

#include "HarnessEnv.h"

#include <algorithm>

namespace wineharness {

ScannerPort::ScannerPort(int number) : m_strName(L"\\\\.\\COM" + std::to_wstring(number))
{
    m_hPort = CreateFileW(m_strName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          0, nullptr);
    if (m_hPort == INVALID_HANDLE_VALUE)
        ThrowLastError("cannot open the scanner side " + Narrow(m_strName));
    // A write must never wait for ever on a pty nobody drains. A pty drained
    // one byte at a time takes new bytes in bursts: a full terminal buffer
    // takes more only once it is nearly empty again, which at a slow drain
    // can be many seconds.
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutConstant = 60000;
    SetCommTimeouts(m_hPort, &timeouts);
}

ScannerPort::~ScannerPort()
{
    if (m_hPort != INVALID_HANDLE_VALUE)
        CloseHandle(m_hPort);
}

void ScannerPort::Write(const std::vector<uint8_t>& bytes)
{
    // In pieces: a pty that the program drains slowly takes a large write
    // only bit by bit, and each write has to finish within the timeout.
    constexpr size_t kPiece = 256;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(m_hPort, bytes.data() + done, static_cast<DWORD>(std::min(kPiece, bytes.size() - done)),
                       &written, nullptr))
            ThrowLastError("WriteFile failed on " + Narrow(m_strName));
        if (written == 0)
            throw HarnessError("WriteFile wrote nothing on " + Narrow(m_strName));
        done += written;
    }
}

void ScannerPort::Write(const std::string& bytes)
{
    Write(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void ScannerPort::WritePaced(const std::vector<uint8_t>& bytes, DWORD pauseMs, size_t chunkSize)
{
    chunkSize = std::max<size_t>(chunkSize, 1);
    for (size_t start = 0; start < bytes.size(); start += chunkSize) {
        if (start > 0)
            Sleep(pauseMs);
        const size_t end = std::min(bytes.size(), start + chunkSize);
        Write(std::vector<uint8_t>(bytes.begin() + start, bytes.begin() + end));
    }
}

HANDLE OpenAppSide(int number)
{
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(number);
    HANDLE hPort = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    if (hPort == INVALID_HANDLE_VALUE)
        ThrowLastError("cannot open " + Narrow(path));
    COMMTIMEOUTS timeouts{1000, 1000, 1000, 1000, 1000};
    SetCommTimeouts(hPort, &timeouts);
    PurgeComm(hPort, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    return hPort;
}

DWORD ReadOneByte(HANDLE hPort, OVERLAPPED& overlapped, uint8_t& byte)
{
    DWORD count = 0;
    if (!ReadFile(hPort, &byte, 1, &count, &overlapped) &&
        (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(hPort, &overlapped, &count, TRUE)))
        return 0;
    return count;
}

}  // namespace wineharness
