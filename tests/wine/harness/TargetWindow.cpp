#include "TargetWindow.h"

namespace wineharness {

namespace {

constexpr DWORD kStartTimeoutMs = 10000;

}  // namespace

TargetWindow::TargetWindow() : m_strRecord(m_folder.File(L"record.bin"))
{
    m_process = Process::Launch(TargetWindowExePath(), L"\"" + m_strRecord + L"\"");
    WaitUntil(
        [&] {
            for (const Window& window : TopLevelWindowsOf(m_process.Id())) {
                if (window.ClassName() == kTargetWindowClass && window.IsVisible()) {
                    m_window = window;
                    return true;
                }
            }
            return !m_process.IsRunning();
        },
        kStartTimeoutMs);
    if (!m_window) {
        m_process.Terminate();
        throw HarnessError("TargetWindow.exe did not show its window (exit code " +
                           std::to_string(m_process.ExitCode().value_or(STILL_ACTIVE)) + ")");
    }
    if (!WaitUntil([&] { return IsForeground(); }, kStartTimeoutMs))
        Activate();
}

TargetWindow::~TargetWindow()
{
    if (m_process.IsRunning()) {
        PostMessageW(m_window.Handle(), WM_CLOSE, 0, 0);
        if (!m_process.WaitForExit(5000))
            m_process.Terminate();
    }
}

void TargetWindow::Activate()
{
    // On our Xvfb there is no window manager, and a program that has just
    // shown its window (Tapwire at its start) takes the foreground only when
    // it handles the X server's focus event for that window, which can come
    // after this window was brought forward: what is typed then goes to that
    // program. So the window must stay in front for a while, and is brought
    // forward again when it loses the foreground meanwhile.
    constexpr DWORD kSettleMs = 300;
    constexpr int kAttempts = 10;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        SetForegroundWindow(m_window.Handle());
        if (!WaitUntil([&] { return IsForeground(); }, kStartTimeoutMs))
            throw HarnessError("the target window does not get the foreground");
        if (!WaitUntil([&] { return !IsForeground(); }, kSettleMs))
            return;
    }
    throw HarnessError("the target window does not keep the foreground");
}

std::vector<TargetEvent> TargetWindow::Events() const
{
    std::vector<TargetEvent> events;
    HANDLE file = CreateFileW(m_strRecord.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return events;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    // A whole number of events only: the writer may be half-way into one.
    events.resize(static_cast<size_t>(size.QuadPart) / sizeof(TargetEvent));
    DWORD read = 0;
    if (!events.empty() &&
        !ReadFile(file, events.data(), static_cast<DWORD>(events.size() * sizeof(TargetEvent)), &read,
                  nullptr))
        read = 0;
    events.resize(read / sizeof(TargetEvent));
    CloseHandle(file);
    return events;
}

std::wstring TargetWindow::Text() const
{
    std::wstring text;
    for (const TargetEvent& event : Events())
        if (event.kind == kTargetChar)
            text += static_cast<wchar_t>(event.value);
    return text;
}

std::vector<WORD> TargetWindow::KeyDowns() const
{
    std::vector<WORD> keys;
    for (const TargetEvent& event : Events())
        if (event.kind == kTargetKeyDown)
            keys.push_back(event.value);
    return keys;
}

std::wstring TargetWindow::WaitForText(size_t units, DWORD timeoutMs) const
{
    std::wstring text;
    WaitUntil([&] { return (text = Text()).size() >= units; }, timeoutMs);
    return text;
}

}  // namespace wineharness
