#include "TapwireApp.h"

#include <cstdio>

namespace wineharness {

Window FindTapwireWindow(DWORD processId)
{
    for (const Window& window : FindTopLevelWindows(kTapwireCaption, processId))
        if (window.ClassName() == kDialogClass)
            return window;
    return Window();
}

TapwireApp::TapwireApp() : m_strExePath(m_folder.File(kTapwireExeName))
{
    if (!CopyFileW(TapwireExePath().c_str(), m_strExePath.c_str(), TRUE))
        ThrowLastError("cannot copy Tapwire.exe into " + Narrow(m_folder.Path()));
}

TapwireApp::~TapwireApp()
{
    m_process.Terminate();
}

Process TapwireApp::Launch() const
{
    return Process::Launch(m_strExePath, L"", m_folder.Path());
}

Window TapwireApp::Start(DWORD timeoutMs)
{
    m_process = Launch();
    m_mainWindow = Window();
    // The dialog exists hidden first and is shown when its modal loop first
    // goes idle: wait for visible.
    WaitUntil(
        [&] {
            const Window window = FindTapwireWindow(m_process.Id());
            if (window && window.IsVisible())
                m_mainWindow = window;
            return m_mainWindow || !m_process.IsRunning();
        },
        timeoutMs);
    if (!m_mainWindow) {
        const bool ended = !m_process.IsRunning();
        char code[16];
        std::snprintf(code, sizeof(code), "0x%08lX",
                      static_cast<unsigned long>(m_process.ExitCode().value_or(0)));
        m_process.Terminate();
        throw HarnessError(ended ? std::string("Tapwire.exe ended before showing its window (exit code ") +
                                       code + ")"
                                 : "Tapwire.exe showed no main window within " +
                                       std::to_string(timeoutMs) + " ms");
    }
    return m_mainWindow;
}

bool TapwireApp::Close(DWORD timeoutMs)
{
    if (!m_process.IsRunning())
        return true;
    if (m_mainWindow.Exists())
        m_mainWindow.PostClose();
    return m_process.WaitForExit(timeoutMs);
}

}  // namespace wineharness
