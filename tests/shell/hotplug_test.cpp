// Scanners plugged in and pulled out while Tapwire runs, delivered to the
// real program the way the system delivers them: the device shows up among
// the "Ports" devices (or goes), then the arrival (or removal) of its USB
// device interface is sent to the main window. What counts is what a user
// sees: the status line, the button, the port list, and which port's bytes
// get typed.
#include "ScannerPort.h"
#include "ShellTestSupport.h"
#include "TargetWindow.h"

#include <dbt.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

using namespace shelltest;

namespace {

// The three patterns of the maker's scanners.
const std::wstring kVidPid1 = L"VID_2E9B&PID_0002";
const std::wstring kVidPid2 = L"VID_2E9B&PID_0201";
const std::wstring kVidPid3 = L"VID_0483&PID_5740";

constexpr DWORD kTypingTimeoutMs = 5000;
// How long bytes that should not be typed are given to show up anyway.
constexpr DWORD kSettleMs = 400;
// A port that has just been started discards what it received until its
// monitor thread runs (the thread empties the port's queues first): the
// scanner sends only after this.
constexpr DWORD kPortThreadStartMs = 300;

// The program's own threads: the interface thread and the monitor thread of
// a started port (Wine's own threads come and go around a scan's bytes).
// A stopped port's thread takes a moment to end: the count is waited for.
bool ProgramThreadsComeTo(DWORD processId, size_t count)
{
    return WaitUntil([&] { return ProgramThreadCountOf(processId) == count; }, 5000);
}

// Three port pairs of the harness: one for a port started by hand, two for
// scanners.
struct PortPlan {
    ComPair hand;
    ComPair first;
    ComPair second;
};

PortPlan PlanPorts()
{
    const std::vector<ComPair> pairs = ComPairs();
    if (pairs.size() < 3)
        throw HarnessError("the hot-plug tests need three COM port pairs");
    return {pairs[0], pairs[1], pairs[2]};
}

std::wstring PortListText(const Window& dialog)
{
    std::wstring text;
    for (const std::wstring& item : dialog.Child(kPortList).ComboItems())
        text += (text.empty() ? L"" : L" | ") + item;
    return text;
}

void DrainPair(const ComPair& pair);

// Tapwire with a plain port in the system, and the window that receives
// what it types.
class HotPlugTest : public ShellTest {
protected:
    // A test that failed half-way may leave a stream's bytes in the pairs:
    // they are drained, so that the next test does not type them.
    void TearDown() override
    {
        if (HasFailure() && m_app.Close()) {
            for (const ComPair& pair : {m_plan.hand, m_plan.first, m_plan.second})
                DrainPair(pair);
        }
        ShellTest::TearDown();
    }

    // Starts Tapwire, presses Start on the plain port and checks that its
    // bytes are typed; the typing target has the focus afterwards.
    void StartOnHandPort()
    {
        m_dialog = m_app.Start();
        ASSERT_EQ(m_dialog.Child(kPortList).ComboSelectedText(), m_hand.Info().friendlyName);
        ASSERT_TRUE(StartByHand(m_dialog));
        m_target = std::make_unique<TargetWindow>();
        Sleep(kPortThreadStartMs);
        ExpectTyped(m_plan.hand, "h1");
    }

    // Writes `bytes` on the scanner side of the pair and expects the typing
    // target to have received them, after everything typed before.
    void ExpectTyped(const ComPair& pair, const std::string& bytes)
    {
        m_expected += Widen(bytes);
        wineharness::ScannerPort(pair.scannerPort).Write(bytes);
        EXPECT_EQ(m_target->WaitForText(m_expected.size(), kTypingTimeoutMs), m_expected)
            << "bytes written to COM" << pair.scannerPort << " are not typed";
    }

    // Delivers the arrival of a scanner that is to be opened, and gives the
    // port's monitor thread the time to start.
    ::testing::AssertionResult ArrivalStarts(const std::wstring& interfaceName, DWORD timeoutMs = 10000)
    {
        if (!SendDeviceArrival(m_dialog, interfaceName, timeoutMs))
            return ::testing::AssertionFailure() << "the arrival handler did not come back";
        Sleep(kPortThreadStartMs);
        return ::testing::AssertionSuccess();
    }

    // The window shows the port started on the device's entry of the list.
    void ExpectStartedOn(const PortsDeviceInfo& device)
    {
        EXPECT_TRUE(ShowsStarted(m_dialog)) << "status \"" << Narrow(m_dialog.Child(kStatusLine).Text())
                                            << "\", button \"" << Narrow(m_dialog.Child(kStartStopButton).Text())
                                            << "\"";
        EXPECT_EQ(m_dialog.Child(kPortList).ComboSelectedText(), device.friendlyName);
        EXPECT_FALSE(m_dialog.Child(kPortList).IsEnabled()) << "the port list is enabled while started";
    }

    const PortPlan m_plan = PlanPorts();
    FakePortsDevice m_hand{PlainPortDevice(m_plan.hand.appPort)};
    TapwireApp m_app;
    Window m_dialog;
    std::unique_ptr<TargetWindow> m_target;
    std::wstring m_expected;  // everything that should have been typed so far
};

struct ArrivalCase {
    const char* name;
    std::wstring vidPid;
    bool lowerCaseName;  // the interface name as reported, in lower case
};
void PrintTo(const ArrivalCase& c, std::ostream* out) { *out << c.name; }

class ScannerArrival : public HotPlugTest, public ::testing::WithParamInterface<ArrivalCase> {};

}  // namespace

TEST_P(ScannerArrival, StopsThePortStartedByHandAndStartsTheScannersPort)
{
    const ArrivalCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartOnHandPort());

    FakePortsDevice scanner(ScannerDevice(c.vidPid, m_plan.first.appPort));
    const std::wstring name = InterfaceName(c.vidPid);
    ASSERT_TRUE(ArrivalStarts(c.lowerCaseName ? ToLower(name) : name));

    ExpectStartedOn(scanner.Info());
    const std::vector<std::wstring> items = m_dialog.Child(kPortList).ComboItems();
    EXPECT_EQ(items.size(), 2u) << Narrow(PortListText(m_dialog));
    ExpectTyped(m_plan.first, "s1\r");
    // The port started by hand is closed: what it receives now is not typed.
    wineharness::ScannerPort(m_plan.hand.scannerPort).Write("xx");
    Sleep(kSettleMs);
    EXPECT_EQ(m_target->Text(), m_expected);
    EXPECT_TRUE(ClosesCleanly(m_app));
}

INSTANTIATE_TEST_SUITE_P(
    Pattern, ScannerArrival,
    ::testing::Values(ArrivalCase{"First", kVidPid1, false}, ArrivalCase{"SecondInLowerCase", kVidPid2, true},
                      ArrivalCase{"Third", kVidPid3, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HotPlugTest, RemovingTheScannerOpenedOnArrivalStopsItsPortAndDropsItFromTheList)
{
    ASSERT_NO_FATAL_FAILURE(StartOnHandPort());
    auto scanner = std::make_unique<FakePortsDevice>(ScannerDevice(kVidPid1, m_plan.first.appPort));
    const std::wstring name = InterfaceName(kVidPid1);
    ASSERT_TRUE(ArrivalStarts(name));
    ExpectStartedOn(scanner->Info());

    scanner->Remove();
    ASSERT_TRUE(SendDeviceRemoval(m_dialog, name)) << "the removal did not come back";
    EXPECT_TRUE(ShowsStopped(m_dialog));
    EXPECT_EQ(m_dialog.Child(kPortList).ComboItems(), std::vector<std::wstring>{m_hand.Info().friendlyName});
    EXPECT_TRUE(m_dialog.Child(kPortList).IsEnabled());

    // The scanner is forgotten: plugged in again, it is opened again.
    scanner = std::make_unique<FakePortsDevice>(ScannerDevice(kVidPid1, m_plan.first.appPort));
    ASSERT_TRUE(ArrivalStarts(name));
    ExpectStartedOn(scanner->Info());
    ExpectTyped(m_plan.first, "again");
    EXPECT_TRUE(ClosesCleanly(m_app));
}

TEST_F(HotPlugTest, ASecondScannerChangesNothingWhileTheFirstRuns)
{
    ASSERT_NO_FATAL_FAILURE(StartOnHandPort());
    FakePortsDevice first(ScannerDevice(kVidPid1, m_plan.first.appPort, L"5&AAAA&0&1"));
    ASSERT_TRUE(ArrivalStarts(InterfaceName(kVidPid1, L"5&AAAA&0&1")));
    ExpectStartedOn(first.Info());
    const std::vector<std::wstring> listBefore = m_dialog.Child(kPortList).ComboItems();

    auto second = std::make_unique<FakePortsDevice>(ScannerDevice(kVidPid3, m_plan.second.appPort, L"5&BBBB&0&2"));
    const std::wstring secondName = InterfaceName(kVidPid3, L"5&BBBB&0&2");
    ASSERT_TRUE(SendDeviceArrival(m_dialog, secondName));
    ExpectStartedOn(first.Info());
    EXPECT_EQ(m_dialog.Child(kPortList).ComboItems(), listBefore) << "the list was rebuilt";
    ExpectTyped(m_plan.first, "still first");

    // Nor does its going away: the first one is the scanner remembered.
    second->Remove();
    ASSERT_TRUE(SendDeviceRemoval(m_dialog, secondName));
    ExpectStartedOn(first.Info());
    ExpectTyped(m_plan.first, "+");
    EXPECT_TRUE(ClosesCleanly(m_app));
}

TEST_F(HotPlugTest, AScannerWhosePortIsNotThereYetIsNotOpenedNorRemembered)
{
    ASSERT_NO_FATAL_FAILURE(StartOnHandPort());
    const std::wstring name = InterfaceName(kVidPid2);
    // The USB device comes before its serial port.
    ASSERT_TRUE(SendDeviceArrival(m_dialog, name));
    ExpectStartedOn(m_hand.Info());
    EXPECT_EQ(m_dialog.Child(kPortList).ComboItems(), std::vector<std::wstring>{m_hand.Info().friendlyName});
    ExpectTyped(m_plan.hand, "h2");

    // Nothing was tried again or remembered: the next arrival, with the
    // port in place, opens it.
    FakePortsDevice scanner(ScannerDevice(kVidPid2, m_plan.first.appPort));
    ASSERT_TRUE(ArrivalStarts(name));
    ExpectStartedOn(scanner.Info());
    ExpectTyped(m_plan.first, "s2");
    EXPECT_TRUE(ClosesCleanly(m_app));
}

TEST_F(HotPlugTest, AnyScannerGoingAwayStopsAPortStartedByHand)
{
    ASSERT_NO_FATAL_FAILURE(StartOnHandPort());
    ASSERT_TRUE(SendDeviceRemoval(m_dialog, InterfaceName(kVidPid3)));
    EXPECT_TRUE(ShowsStopped(m_dialog));
    EXPECT_TRUE(m_dialog.Child(kPortList).IsEnabled());
    EXPECT_EQ(m_dialog.Child(kPortList).ComboSelectedText(), m_hand.Info().friendlyName);
    EXPECT_TRUE(ClosesCleanly(m_app));
}

// An arrival stops the running port and starts another one inside one
// handler while the port's monitor thread is handing bytes over, one
// synchronous message per byte. The handler must come back, and every byte
// of the burst must still be typed, in order, before the scanner's.
//
// The arrival is sent once the burst has reached the program (its first
// byte is typed). Sent before that, the burst can be lost on a busy machine:
// the port thread then sees the stop request before its port's event and
// closes the port with the bytes unread.
TEST_F(HotPlugTest, AnArrivalDuringABurstTypesEveryByteOfTheBurstInOrder)
{
    ASSERT_NO_FATAL_FAILURE(StartOnHandPort());
    FakePortsDevice scanner(ScannerDevice(kVidPid1, m_plan.first.appPort));

    // About 300 ms of typing: the arrival comes in the middle of it.
    std::string burst;
    for (int i = 0; i < 100; ++i)
        burst += "<" + std::to_string(1000 + i) + ">";
    const size_t typedBefore = m_expected.size();
    m_expected += Widen(burst);
    wineharness::ScannerPort(m_plan.hand.scannerPort).Write(burst);
    const size_t typedAtArrival = m_target->WaitForText(typedBefore + 1, kTypingTimeoutMs).size();
    ASSERT_GT(typedAtArrival, typedBefore) << "the burst is not typed";
    ASSERT_TRUE(ArrivalStarts(InterfaceName(kVidPid1), 20000)) << "deadlocked with the port thread?";
    EXPECT_LT(typedAtArrival, m_expected.size()) << "the burst was typed whole before the arrival";

    EXPECT_EQ(m_target->WaitForText(m_expected.size(), kTypingTimeoutMs), m_expected);
    ExpectStartedOn(scanner.Info());
    ExpectTyped(m_plan.first, "after");
    EXPECT_TRUE(ClosesCleanly(m_app));
}

namespace {

// Writes into the scanner side of a pair without a pause, as a scanner in a
// continuous mode does, until the object goes: the port's queue stays full,
// so that a stop has always a batch of bytes to hand over first.
class Streamer {
public:
    explicit Streamer(int scannerPort)
        : m_thread([this, scannerPort] {
              const std::wstring path = L"\\\\.\\COM" + std::to_wstring(scannerPort);
              HANDLE hPort = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                         nullptr);
              if (hPort == INVALID_HANDLE_VALUE)
                  return;
              // Short writes: once nobody drains the pair, a write gives up
              // soon and the stream can end when asked.
              COMMTIMEOUTS timeouts{};
              timeouts.WriteTotalTimeoutConstant = 100;
              SetCommTimeouts(hPort, &timeouts);
              const std::string chunk(64, '~');
              while (m_bRunning) {
                  DWORD written = 0;
                  WriteFile(hPort, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
              }
              CloseHandle(hPort);
          })
    {
    }
    ~Streamer()
    {
        m_bRunning = false;
        m_thread.join();
    }

private:
    std::atomic<bool> m_bRunning{true};
    std::thread m_thread;
};

// A stop hands over every byte queued when it is seen, and a Start waits
// for that. Behind a stream the port thread finishes the batch it counted,
// then counts once more: a pty holds about 4 KB, so a stop types up to
// 12 K characters first (about 9 s on a quiet machine, 12,900 characters
// measured; far longer on a loaded one). A wait for the program is
// therefore bounded by its progress: it fails once nothing has been typed
// for kStallMs (the program has stopped moving), or after kWaitCapMs.
constexpr DWORD kStallMs = 10000;
constexpr DWORD kWaitCapMs = 120000;

::testing::AssertionResult ComesWhileTyping(const TargetWindow& target, const std::function<bool()>& done)
{
    const DWORD start = GetTickCount();
    const size_t typedAtStart = target.Text().size();
    size_t typed = typedAtStart;
    DWORD lastTyped = start;
    for (;;) {
        if (done())
            return ::testing::AssertionSuccess();
        const DWORD now = GetTickCount();
        const size_t size = target.Text().size();
        if (size != typed) {
            typed = size;
            lastTyped = now;
        }
        if (now - lastTyped >= kStallMs || now - start >= kWaitCapMs) {
            return ::testing::AssertionFailure()
                << "not there after " << (now - start) << " ms, " << (typed - typedAtStart)
                << " characters typed meanwhile, the last " << (now - lastTyped) << " ms ago";
        }
        Sleep(50);
    }
}

// Sends the arrival or removal from a thread of its own, as another program
// or the system does. Done(): the handler has come back (or the send has
// given up); ReturnsWhileTyping(): the handler came back, waited for as long
// as the program types.
class SentNotification {
public:
    SentNotification(const Window& dialog, UINT event, const std::wstring& name)
        : m_thread([=] {
              m_bReturned = event == DBT_DEVICEARRIVAL ? SendDeviceArrival(dialog, name, kWaitCapMs)
                                                       : SendDeviceRemoval(dialog, name, kWaitCapMs);
              m_bDone = true;
          })
    {
    }
    ~SentNotification()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    bool Done() const { return m_bDone; }
    ::testing::AssertionResult ReturnsWhileTyping(const TargetWindow& target)
    {
        const ::testing::AssertionResult done = ComesWhileTyping(target, [this] { return Done(); });
        if (!done)
            return done;
        m_thread.join();
        if (!m_bReturned)
            return ::testing::AssertionFailure() << "the send failed";
        return ::testing::AssertionSuccess();
    }

private:
    std::atomic<bool> m_bReturned{false};
    std::atomic<bool> m_bDone{false};
    std::thread m_thread;
};

// Waits until nothing more is typed for a moment (a stream's tail).
void WaitForTypingToSettle(const TargetWindow& target)
{
    WaitUntil(
        [&] {
            const size_t before = target.Text().size();
            Sleep(kSettleMs);
            return target.Text().size() == before;
        },
        20000);
}

// Empties a pair whose app side nobody holds of what a stream left in it
// (the pty pair and socat between them hold kilobytes).
void DrainPair(const ComPair& pair)
{
    HANDLE hPort = wineharness::OpenAppSide(pair.appPort);
    for (int quiet = 0; quiet < 3;) {
        PurgeComm(hPort, PURGE_RXCLEAR);
        Sleep(100);
        DWORD errors = 0;
        COMSTAT comstat{};
        ClearCommError(hPort, &errors, &comstat);
        quiet = comstat.cbInQue == 0 ? quiet + 1 : 0;
    }
    CloseHandle(hPort);
}

// How long after its notification a Start is surely waiting for the thread
// of the stopped port: the stop's pause, then the wait, which lasts while
// the old thread hands over the full queue of a streaming port (seconds).
constexpr DWORD kIntoTheWaitMs = 300;
// The same for an arrival, which rebuilds the port list before its wait.
constexpr DWORD kIntoTheListedWaitMs = 1000;

}  // namespace

// A scanner arrives while the port started by hand streams; its Start waits
// for the old port thread, which hands over what was queued before it ends.
// A second scanner arrives during that wait, from another thread: it is
// handled once the first arrival is done, and so changes nothing (only the
// first scanner to arrive is opened). Then the first scanner goes away while
// Stop and Start wait for its streaming port: the removal, handled after the
// Start, stops the port. Nothing hangs, the window shows what the program
// does, and one monitor thread runs while the port is started.
TEST_F(HotPlugTest, NotificationsThatComeWhileAStartWaitsForThePortThreadAreHandledAfterIt)
{
    ASSERT_NO_FATAL_FAILURE(StartOnHandPort());
    constexpr size_t threadsStarted = 2;
    ASSERT_TRUE(ProgramThreadsComeTo(m_app.GetProcess().Id(), threadsStarted))
        << ProgramThreadCountOf(m_app.GetProcess().Id()) << " threads of the program's own with the port started";
    FakePortsDevice first(ScannerDevice(kVidPid1, m_plan.first.appPort, L"5&AAAA&0&1"));
    std::unique_ptr<FakePortsDevice> second;
    {
        Streamer stream(m_plan.hand.scannerPort);
        m_target->WaitForText(m_expected.size() + 256, kTypingTimeoutMs);
        SentNotification a(m_dialog, DBT_DEVICEARRIVAL, InterfaceName(kVidPid1, L"5&AAAA&0&1"));
        // The arrival stops the port, rebuilds the list with the first scanner
        // preselected and then waits for the old thread, which hands over the
        // streamed queue first: the second scanner comes within that wait,
        // once the list shows the first (a scanner listed after it would be
        // preselected instead).
        ASSERT_TRUE(ComesWhileTyping(
            *m_target, [&] { return m_dialog.Child(kPortList).ComboSelectedText() == first.Info().friendlyName; }))
            << "the first arrival did not preselect its scanner: " << Narrow(PortListText(m_dialog));
        second = std::make_unique<FakePortsDevice>(ScannerDevice(kVidPid2, m_plan.second.appPort, L"5&BBBB&0&2"));
        SentNotification b(m_dialog, DBT_DEVICEARRIVAL, InterfaceName(kVidPid2, L"5&BBBB&0&2"));
        ASSERT_TRUE(b.ReturnsWhileTyping(*m_target)) << "the second arrival's handler hangs";
        ASSERT_FALSE(a.Done()) << "the first arrival was over before the second came: the wait was not met";
        ASSERT_TRUE(a.ReturnsWhileTyping(*m_target)) << "the first arrival's handler hangs";
    }
    WaitForTypingToSettle(*m_target);
    m_expected = m_target->Text();
    DrainPair(m_plan.hand);

    // The port started by hand no longer types (its stream stopped arriving).
    ExpectStartedOn(first.Info());
    Sleep(kPortThreadStartMs);
    ExpectTyped(m_plan.first, "scan");
    wineharness::ScannerPort(m_plan.second.scannerPort).Write("yy");
    Sleep(kSettleMs);
    EXPECT_EQ(m_target->Text(), m_expected) << "the second scanner's port types";
    EXPECT_TRUE(ProgramThreadsComeTo(m_app.GetProcess().Id(), threadsStarted)) << "not exactly one monitor thread";

    {
        Streamer stream(m_plan.first.scannerPort);
        m_target->WaitForText(m_expected.size() + 256, kTypingTimeoutMs);
        first.Remove();
        const HWND button = m_dialog.Child(kStartStopButton).Handle();
        m_dialog.PostCommand(kStartStopButton, BN_CLICKED, button);   // Stop
        m_dialog.PostCommand(kStartStopButton, BN_CLICKED, button);   // Start, which waits
        Sleep(kIntoTheWaitMs);
        SentNotification removal(m_dialog, DBT_DEVICEREMOVECOMPLETE, InterfaceName(kVidPid1, L"5&AAAA&0&1"));
        ASSERT_TRUE(removal.ReturnsWhileTyping(*m_target)) << "the removal's handler hangs";
        ASSERT_TRUE(ShowsStopped(m_dialog)) << "the Start was over before the removal came: the wait was not met";
    }
    // The Start ends its wait and starts the port; the removal, handled after
    // it, rebuilds the list without the scanner and stops the port, which
    // hands over what the stream left in the pair first.
    const auto listsTheScanner = [&] {
        const std::vector<std::wstring> items = m_dialog.Child(kPortList).ComboItems();
        return std::count(items.begin(), items.end(), first.Info().friendlyName) != 0;
    };
    EXPECT_TRUE(ComesWhileTyping(*m_target, [&] {
        return !listsTheScanner() && ProgramThreadCountOf(m_app.GetProcess().Id()) == threadsStarted - 1;
    })) << "a monitor thread outlived its stop, or the removal was not handled: " << Narrow(PortListText(m_dialog));
    EXPECT_TRUE(ShowsStopped(m_dialog));
    // The list was rebuilt without the scanner; Start opens what it preselects.
    const std::wstring selected = m_dialog.Child(kPortList).ComboSelectedText();
    ASSERT_TRUE(selected == m_hand.Info().friendlyName || selected == second->Info().friendlyName) << Narrow(selected);
    ASSERT_TRUE(StartByHand(m_dialog));
    // The desktop window has been seen to take the foreground during all
    // this (without a window manager): the target is brought back first.
    m_target->Activate();
    m_expected = m_target->Text();
    Sleep(kPortThreadStartMs);
    // What the earlier streams left in the pair may come first.
    const ComPair& chosen = selected == m_hand.Info().friendlyName ? m_plan.hand : m_plan.second;
    wineharness::ScannerPort(chosen.scannerPort).Write("again");
    EXPECT_TRUE(WaitUntil([&] { return m_target->Text().find(L"again", m_expected.size()) != std::wstring::npos; },
                          kTypingTimeoutMs))
        << "the port started, " << Narrow(selected) << ", does not type";
    EXPECT_TRUE(ProgramThreadsComeTo(m_app.GetProcess().Id(), threadsStarted)) << "not exactly one monitor thread";
    EXPECT_TRUE(ClosesCleanly(m_app));
}
