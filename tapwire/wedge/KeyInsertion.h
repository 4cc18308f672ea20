// Key events into the input, one at a time, with what happens when the input
// does not take one: the window in front refuses synthesised input (it runs
// at a higher integrity level), the workstation is locked, a secure desktop
// shows. The insert and the wait come in from the caller: on Windows SendInput
// with one record and Sleep.
#pragma once

#include "KeyEvents.h"

#include <array>
#include <cstddef>

namespace tapwire {

// The waits before each new try of an event that was not inserted: about
// 50 ms in all, so that a moment's refusal (a desktop switching) costs no
// character, while a window that refuses for good holds the typing up only
// briefly.
constexpr std::array<unsigned, 4> kInsertRetryWaitsMs = { 5, 10, 15, 20 };

struct KeyInserter {
    bool (*insert)(const KeyEvent& event, void* context);   // true when the input took it
    void (*wait)(unsigned milliseconds, void* context);
    void* context;
};

// Inserts the events in order. An event that is not inserted is tried again
// after each wait of kInsertRetryWaitsMs; nothing after it is sent before it.
// False when it could not be inserted at all: the events after it are not
// sent, and the keys held down at that moment (a key-down inserted, its key-up
// not) are released, each with one try, the last pressed first, so that no
// modifier stays down for the user.
bool InsertKeyEvents(const KeyEvent* events, std::size_t count, const KeyInserter& inserter);

} // namespace tapwire
