// Checks of the harness itself, on the facts every black-box test stands
// on: serial port pairs that carry bytes, fake "Ports" devices that SetupAPI
// lists, a target window that records what another process types, and a
// probe that syncs with a program's queue.
#include "AppProbe.h"
#include "HarnessEnv.h"
#include "PortsDevice.h"
#include "Registry.h"
#include "ScannerPort.h"
#include "TargetWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <thread>

using namespace wineharness;

namespace {

// The app side of a pair, opened and read the way a serial program does
// it: overlapped, EV_RXCHAR through WaitCommEvent, then what ClearCommError
// reports as queued, one byte per ReadFile.
class AppSidePort {
public:
    explicit AppSidePort(int number)
    {
        const std::wstring name = L"\\\\.\\COM" + std::to_wstring(number);
        m_hPort = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
        if (m_hPort == INVALID_HANDLE_VALUE)
            ThrowLastError("cannot open " + Narrow(name));
        m_hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (!GetCommState(m_hPort, &dcb) ||
            !BuildCommDCBW(L"baud=9600 parity=N data=8 stop=1", &dcb) || !SetCommState(m_hPort, &dcb))
            ThrowLastError("cannot configure " + Narrow(name));
        if (!SetCommMask(m_hPort, EV_RXCHAR))
            ThrowLastError("SetCommMask failed on " + Narrow(name));
        PurgeComm(m_hPort, PURGE_RXCLEAR | PURGE_TXCLEAR);
    }

    ~AppSidePort()
    {
        CloseHandle(m_hEvent);
        CloseHandle(m_hPort);
    }

    std::vector<uint8_t> Read(size_t count, DWORD timeoutMs)
    {
        std::vector<uint8_t> received;
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (received.size() < count && GetTickCount64() < deadline) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = m_hEvent;
            DWORD mask = 0;
            if (!WaitCommEvent(m_hPort, &mask, &overlapped)) {
                if (GetLastError() != ERROR_IO_PENDING)
                    ThrowLastError("WaitCommEvent failed");
                if (WaitForSingleObject(m_hEvent, 100) != WAIT_OBJECT_0) {
                    CancelIo(m_hPort);
                    DWORD ignored = 0;
                    GetOverlappedResult(m_hPort, &overlapped, &ignored, TRUE);
                    continue;
                }
            }
            // Wine also ends the wait with no event and nothing queued.
            DWORD errors = 0;
            COMSTAT status{};
            ClearCommError(m_hPort, &errors, &status);
            for (DWORD i = 0; i < status.cbInQue; ++i) {
                uint8_t byte = 0;
                DWORD read = 0;
                OVERLAPPED readOverlapped{};
                readOverlapped.hEvent = m_hEvent;
                if (!ReadFile(m_hPort, &byte, 1, &read, &readOverlapped)) {
                    if (GetLastError() != ERROR_IO_PENDING ||
                        !GetOverlappedResult(m_hPort, &readOverlapped, &read, TRUE))
                        ThrowLastError("ReadFile failed");
                }
                if (read == 1)
                    received.push_back(byte);
            }
        }
        return received;
    }

private:
    HANDLE m_hPort = INVALID_HANDLE_VALUE;
    HANDLE m_hEvent = nullptr;
};

}  // namespace

TEST(HarnessComPairs, CarryEveryByteValueInOrderAndSurviveReopening)
{
    std::vector<uint8_t> bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<uint8_t>(value));
    bytes.insert(bytes.end(), {'\r', '\n', 0x11, 0x13, 0x00, 0xFF});

    const std::vector<ComPair> pairs = ComPairs();
    ASSERT_FALSE(pairs.empty());
    for (const ComPair& pair : pairs) {
        // Twice: a pair must work again after both ends were closed.
        for (int round = 1; round <= 2; ++round) {
            SCOPED_TRACE("COM" + std::to_string(pair.appPort) + " <- COM" +
                         std::to_string(pair.scannerPort) + ", round " + std::to_string(round));
            AppSidePort app(pair.appPort);
            ScannerPort scanner(pair.scannerPort);
            scanner.Write(bytes);
            EXPECT_EQ(app.Read(bytes.size(), 5000), bytes);
        }
    }
}

TEST(HarnessComPairs, PacedWritesArriveWhole)
{
    const ComPair pair = ComPairs().front();
    AppSidePort app(pair.appPort);
    ScannerPort scanner(pair.scannerPort);
    const std::vector<uint8_t> bytes = {'S', 'C', 'A', 'N', '-', '0', '1', '\r'};
    scanner.WritePaced(bytes, 20, 3);
    EXPECT_EQ(app.Read(bytes.size(), 5000), bytes);
}

namespace {

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
}

const PortsDeviceInfo* FindDevice(const std::vector<PortsDeviceInfo>& list, const std::wstring& instanceId)
{
    for (const PortsDeviceInfo& device : list)
        if (SameText(device.instanceId, instanceId))
            return &device;
    return nullptr;
}

}  // namespace

TEST(HarnessPortsDevice, IsListedBySetupApiUntilRemoved)
{
    const std::vector<PortsDeviceInfo> devices = {
        {L"USB\\VID_2E9B&PID_0002\\5&1234&0&1", L"USB Serial Device (COM7)",
         {L"USB\\VID_2E9B&PID_0002&REV_0100", L"USB\\VID_2E9B&PID_0002"}},
        // ROOT exists in every prefix: only the levels below it are new.
        {L"ROOT\\PORTS\\0000", L"Communications Port (COM12)", {L"*PNP0501"}},
    };
    {
        std::vector<std::unique_ptr<FakePortsDevice>> fakes;
        for (const PortsDeviceInfo& device : devices)
            fakes.push_back(std::make_unique<FakePortsDevice>(device));

        const std::vector<PortsDeviceInfo> listed = ListPresentPortsDevices();
        for (const PortsDeviceInfo& device : devices) {
            SCOPED_TRACE(Narrow(device.instanceId));
            const PortsDeviceInfo* found = FindDevice(listed, device.instanceId);
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->friendlyName, device.friendlyName);
            EXPECT_EQ(found->hardwareIds, device.hardwareIds);
        }

        fakes.front()->Remove();
        const std::vector<PortsDeviceInfo> after = ListPresentPortsDevices();
        EXPECT_EQ(FindDevice(after, devices[0].instanceId), nullptr);
        EXPECT_NE(FindDevice(after, devices[1].instanceId), nullptr);
    }
    EXPECT_EQ(FindDevice(ListPresentPortsDevices(), devices[1].instanceId), nullptr);
    // Nothing of them is left in the registry, ROOT itself stays.
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Enum\\USB\\VID_2E9B&PID_0002"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Enum\\ROOT\\PORTS"));
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Enum\\ROOT"));
}

namespace {

INPUT KeyInput(WORD virtualKey, wchar_t unit, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = unit;
    input.ki.dwFlags = flags;
    return input;
}

}  // namespace

TEST(HarnessTargetWindow, RecordsWhatAnotherProcessTypes)
{
    TargetWindow target;
    ASSERT_TRUE(target.IsForeground());

    const std::wstring text = L"Ab\x4E2D\x3042\x00E9";
    std::vector<INPUT> inputs;
    for (wchar_t unit : text) {
        inputs.push_back(KeyInput(0, unit, KEYEVENTF_UNICODE));
        inputs.push_back(KeyInput(0, unit, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP));
    }
    for (WORD key : {VK_RETURN, VK_TAB, VK_BACK}) {
        inputs.push_back(KeyInput(key, 0, 0));
        inputs.push_back(KeyInput(key, 0, KEYEVENTF_KEYUP));
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());

    EXPECT_EQ(target.WaitForText(text.size() + 3, 5000), text + L"\r\t\b");
    std::vector<WORD> keys = target.KeyDowns();
    keys.erase(std::remove(keys.begin(), keys.end(), VK_PACKET), keys.end());
    EXPECT_EQ(keys, (std::vector<WORD>{VK_RETURN, VK_TAB, VK_BACK}));
}

TEST(HarnessAppProbe, SyncReturnsAfterEverythingPostedBeforeIsHandled)
{
    TargetWindow target;
    AppProbe probe(target.GetWindow());
    const std::wstring text = L"posted in order \x00FC\x4E2D";
    for (wchar_t unit : text)
        target.GetWindow().Post(WM_CHAR, unit, 1);
    ASSERT_TRUE(probe.Sync());
    // No waiting here: the sync alone must guarantee the record is complete.
    EXPECT_EQ(target.Text(), text);
    EXPECT_TRUE(probe.MenuBar().empty());
}

TEST(HarnessMessageBox, IsFoundReadAndAnsweredWithOk)
{
    // A box of this very process, shown by a second thread.
    int answer = 0;
    std::thread shower([&] {
        answer = MessageBoxW(nullptr, L"First line\nsecond line", L"Box caption", MB_OK);
    });
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(GetCurrentProcessId(), 5000);
    if (!box) {
        shower.detach();  // the process ends with the test run
        FAIL() << "no message box found";
    }
    EXPECT_EQ(box->caption, L"Box caption");
    EXPECT_EQ(box->text, L"First line\nsecond line");
    EXPECT_TRUE(PressOk(*box));
    shower.join();
    EXPECT_EQ(answer, IDOK);
}
