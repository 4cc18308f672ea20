// Tapwire.exe under test. Each TapwireApp runs its own copy of the program
// from a fresh folder, so whatever the program writes beside itself stays
// in that folder and goes with it; nothing of one test reaches the next.
#pragma once

#include "HarnessEnv.h"
#include "Process.h"
#include "Window.h"

#include <string>

namespace wineharness {

constexpr wchar_t kTapwireCaption[] = L"Tapwire_V2.5.9 JP";
constexpr wchar_t kTapwireExeName[] = L"Tapwire.exe";
constexpr wchar_t kDialogClass[] = L"#32770";

class TapwireApp {
public:
    // Copies Tapwire.exe into a fresh folder; starts nothing yet.
    TapwireApp();
    // Ends the program if it still runs and removes the folder.
    ~TapwireApp();
    TapwireApp(const TapwireApp&) = delete;
    TapwireApp& operator=(const TapwireApp&) = delete;

    // The folder and the program's path in it.
    const std::wstring& Folder() const { return m_folder.Path(); }
    const std::wstring& ExePath() const { return m_strExePath; }
    // The settings file the program keeps beside itself.
    std::wstring SettingsPath() const { return Folder() + L"\\Config.ini"; }

    // Starts the program and waits for its main window: a visible dialog
    // with the program's caption. Throws HarnessError when the program ends
    // or shows no such window in time.
    Window Start(DWORD timeoutMs = 15000);
    // Starts one more process of the same program (e.g. a second instance)
    // without waiting for anything.
    Process Launch() const;

    const Process& GetProcess() const { return m_process; }
    const Window& MainWindow() const { return m_mainWindow; }

    // Asks the main window to close (WM_CLOSE) and waits for the process to
    // end. True when it ended in time.
    bool Close(DWORD timeoutMs = 10000);

private:
    ScratchFolder m_folder;  // declared first: it goes after the process
    std::wstring m_strExePath;
    Process m_process;
    Window m_mainWindow;
};

// The main window of a given Tapwire process, visible or not; an empty
// Window when there is none.
Window FindTapwireWindow(DWORD processId);

}  // namespace wineharness
