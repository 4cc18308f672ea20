// GetTickCount64 for Windows XP.
//
// The static POSIX thread library of the toolchain imports GetTickCount64,
// which kernel32 has only since Vista: with that import the installer would
// not even start on XP, the oldest system it has a plan for. Defining the
// import's pointer here keeps the linker from taking the kernel32 import; the
// pointer leads to the system's GetTickCount64 where there is one and to an
// extension of GetTickCount elsewhere.

#include "TickCount.h"

#include <windows.h>

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

std::atomic<std::uint64_t> s_lastTick{0};

ULONGLONG WINAPI ExtendedTickCount()
{
    return ExtendTickCount(s_lastTick, GetTickCount());
}

// Resolved at the first call: the thread library may ask for the time before
// any of our initialisation runs. No local static (its guard takes a lock
// from the very thread library that calls in here).
std::atomic<TickCount64Fn> s_tickCount64{nullptr};

ULONGLONG WINAPI TickCount64()
{
    TickCount64Fn fn = s_tickCount64.load(std::memory_order_acquire);
    if (!fn) {
        FARPROC system = GetProcAddress(GetModuleHandleA("kernel32"), "GetTickCount64");
        fn = system ? reinterpret_cast<TickCount64Fn>(reinterpret_cast<void (*)()>(system))
                    : &ExtendedTickCount;
        s_tickCount64.store(fn, std::memory_order_release);
    }
    return fn();
}

}  // namespace

#ifdef _WIN64
#define TICK_COUNT_64_IMPORT "__imp_GetTickCount64"
#else
#define TICK_COUNT_64_IMPORT "__imp__GetTickCount64@0"
#endif

extern "C" {
extern TickCount64Fn const ostra_GetTickCount64Import __asm__(TICK_COUNT_64_IMPORT);
TickCount64Fn const ostra_GetTickCount64Import = &TickCount64;
}
