// Whether the scans of a port were typed. A scan is the bytes that come
// without a pause: it ends once the port has been quiet for kScanQuietMs. When
// the input does not take a character, the rest of that scan is not typed (a
// half barcode in a field is worse than none) and the user is warned; the
// warning stays until a later scan has been typed completely. Times come in
// from the caller, in milliseconds of a steady clock.
#pragma once

#include <cstdint>

namespace tapwire {

class ScanOutcome {
public:
    static constexpr std::uint64_t kScanQuietMs = 200;

    // A byte arrives: true when it is to be typed, false when it belongs to
    // a scan whose typing has failed. A pause of kScanQuietMs before it ends
    // the scan before it.
    bool ByteArrives(std::uint64_t nowMs);
    // Something of the current scan was typed completely.
    void CharacterTyped() { m_bTypedInScan = true; }
    // The input did not take something of the current scan. True for the
    // scan's first failure: that is when the user is to be told.
    bool TypingFailed();
    // Ends the current scan if the port has been quiet long enough; false
    // while a scan is still under way (the caller looks again later).
    bool EndIfQuiet(std::uint64_t nowMs);
    // The port stopped: no scan under way, no warning.
    void Reset() { *this = ScanOutcome(); }

    // A scan could not be typed, and none has been typed completely since.
    bool IsWarning() const { return m_bWarning; }
    // Whether a scan is under way whose end matters: it failed, or it may
    // clear the warning. Only then does the caller need to watch for the
    // quiet that ends it.
    bool ScanEndMatters() const { return m_bInScan && (m_bFailedInScan || m_bWarning); }
    // Milliseconds from nowMs until the current scan would end.
    std::uint64_t QuietLeft(std::uint64_t nowMs) const;

private:
    void EndScan();

    bool m_bInScan = false;
    std::uint64_t m_lastByteMs = 0;
    bool m_bTypedInScan = false;
    bool m_bFailedInScan = false;
    bool m_bWarning = false;
};

} // namespace tapwire
