// TargetWindow.exe run from a test: the window that typed input lands in,
// and the record of what it received.
#pragma once

#include "HarnessEnv.h"
#include "Process.h"
#include "TargetRecord.h"
#include "Window.h"

#include <string>
#include <vector>

namespace wineharness {

class TargetWindow {
public:
    // Starts the program with a fresh record and waits until its window is
    // the foreground window. Throws HarnessError when it does not get there.
    TargetWindow();
    // Closes the window and removes the record.
    ~TargetWindow();
    TargetWindow(const TargetWindow&) = delete;
    TargetWindow& operator=(const TargetWindow&) = delete;

    const Window& GetWindow() const { return m_window; }
    const Process& GetProcess() const { return m_process; }
    bool IsForeground() const { return GetForegroundWindow() == m_window.Handle(); }
    // Brings the window back to the foreground and returns once it has stayed
    // there for a moment; throws when it does not come or does not stay.
    void Activate();

    // Everything received so far, in order.
    std::vector<TargetEvent> Events() const;
    // The characters (WM_CHAR units) received so far.
    std::wstring Text() const;
    // The virtual keys of the WM_KEYDOWN messages received so far.
    std::vector<WORD> KeyDowns() const;
    // Waits until at least `units` characters have arrived; returns the text
    // received by then, complete or not.
    std::wstring WaitForText(size_t units, DWORD timeoutMs) const;

private:
    ScratchFolder m_folder;  // declared first: it goes after the process
    std::wstring m_strRecord;
    Process m_process;
    Window m_window;
};

}  // namespace wineharness
