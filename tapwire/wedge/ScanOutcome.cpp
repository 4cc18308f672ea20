#include "ScanOutcome.h"

namespace tapwire {

bool ScanOutcome::ByteArrives(std::uint64_t nowMs)
{
    EndIfQuiet(nowMs);
    m_bInScan = true;
    m_lastByteMs = nowMs;
    return !m_bFailedInScan;
}

bool ScanOutcome::TypingFailed()
{
    m_bWarning = true;
    const bool bFirst = !m_bFailedInScan;
    m_bFailedInScan = true;
    return bFirst;
}

bool ScanOutcome::EndIfQuiet(std::uint64_t nowMs)
{
    if (!m_bInScan)
        return true;
    if (QuietLeft(nowMs) > 0)
        return false;
    EndScan();
    return true;
}

std::uint64_t ScanOutcome::QuietLeft(std::uint64_t nowMs) const
{
    const std::uint64_t quiet = nowMs > m_lastByteMs ? nowMs - m_lastByteMs : 0;
    return quiet >= kScanQuietMs ? 0 : kScanQuietMs - quiet;
}

void ScanOutcome::EndScan()
{
    if (m_bTypedInScan && !m_bFailedInScan)
        m_bWarning = false;
    m_bInScan = false;
    m_bTypedInScan = false;
    m_bFailedInScan = false;
}

} // namespace tapwire
