// The scanner's end of a serial port pair (see with-harness.sh): what is
// written here arrives at the program under test on the pair's app side.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wineharness {

class ScannerPort {
public:
    // Opens COM<number> through the device path, which also reaches ports
    // above COM9. Throws HarnessError when the port does not open.
    explicit ScannerPort(int number);
    ~ScannerPort();
    ScannerPort(const ScannerPort&) = delete;
    ScannerPort& operator=(const ScannerPort&) = delete;

    // Writes all bytes at once. Throws when not all of them could be written.
    void Write(const std::vector<uint8_t>& bytes);
    void Write(const std::string& bytes);
    // Writes `chunkSize` bytes at a time with a pause between the chunks, as
    // a scanner that sends slower than the program reads.
    void WritePaced(const std::vector<uint8_t>& bytes, DWORD pauseMs, size_t chunkSize = 1);

private:
    HANDLE m_hPort = INVALID_HANDLE_VALUE;
    std::wstring m_strName;
};

// Opens the app side COM<number> as Tapwire does (exclusive, overlapped, the
// five timeouts at 1000 ms, queues purged), for a program that reads the port
// itself, such as a benchmark's bare drain. Throws HarnessError.
HANDLE OpenAppSide(int number);

// One overlapped one-byte ReadFile on such a port, waited for: the read that
// Tapwire's monitor thread makes for every byte. The byte count, 0 when the
// read failed or timed out.
DWORD ReadOneByte(HANDLE hPort, OVERLAPPED& overlapped, uint8_t& byte);

}  // namespace wineharness
