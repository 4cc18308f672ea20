#include "KeyInsertion.h"

namespace tapwire {

namespace {

constexpr std::size_t kMaxHeldKeys = 8;

bool SameKey(const KeyEvent& a, const KeyEvent& b)
{
    return a.wVk == b.wVk && a.wScan == b.wScan && (a.dwFlags & kKeyEventUnicode) == (b.dwFlags & kKeyEventUnicode);
}

bool InsertWithRetries(const KeyEvent& event, const KeyInserter& inserter)
{
    if (inserter.insert(event, inserter.context))
        return true;
    for (unsigned waitMs : kInsertRetryWaitsMs) {
        inserter.wait(waitMs, inserter.context);
        if (inserter.insert(event, inserter.context))
            return true;
    }
    return false;
}

} // namespace

bool InsertKeyEvents(const KeyEvent* events, std::size_t count, const KeyInserter& inserter)
{
    std::array<KeyEvent, kMaxHeldKeys> held{};
    std::size_t heldCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const KeyEvent& event = events[i];
        if (!InsertWithRetries(event, inserter)) {
            while (heldCount > 0) {
                KeyEvent release = held[--heldCount];
                release.dwFlags |= kKeyEventKeyUp;
                inserter.insert(release, inserter.context);
            }
            return false;
        }
        if (!(event.dwFlags & kKeyEventKeyUp)) {
            if (heldCount < held.size())
                held[heldCount++] = event;
            continue;
        }
        for (std::size_t h = heldCount; h-- > 0;) {
            if (SameKey(held[h], event)) {
                for (std::size_t k = h; k + 1 < heldCount; ++k)
                    held[k] = held[k + 1];
                --heldCount;
                break;
            }
        }
    }
    return true;
}

} // namespace tapwire
