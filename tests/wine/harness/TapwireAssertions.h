// GoogleTest assertions on the real Tapwire.exe, for the Wine test programs
// (the harness library itself stays free of GoogleTest: the benchmarks use it).
#pragma once

#include "Process.h"
#include "TapwireApp.h"

#include <gtest/gtest.h>

namespace wineharness {

// Closes the program with WM_CLOSE; succeeds when it ended in time by itself,
// not by a crash. Use as EXPECT_TRUE(ClosesCleanly(app)).
inline ::testing::AssertionResult ClosesCleanly(TapwireApp& app)
{
    if (!app.Close())
        return ::testing::AssertionFailure() << "Tapwire did not end after WM_CLOSE";
    const DWORD code = app.GetProcess().ExitCode().value_or(0);
    if (IsCrashExitCode(code))
        return ::testing::AssertionFailure() << std::hex << "Tapwire crashed: exit code 0x" << code;
    return ::testing::AssertionSuccess();
}

}  // namespace wineharness
