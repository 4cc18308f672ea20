// Serial port devices of the "Ports" setup class, made up in the prefix's
// registry. Wine's SetupAPI lists them like real ones (DIGCF_PRESENT too),
// so a program's port list and scanner detection can be tested without
// hardware.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wineharness {

struct PortsDeviceInfo {
    std::wstring instanceId;                 // e.g. USB\VID_2E9B&PID_0002\5&1234&0&1
    std::wstring friendlyName;               // e.g. USB Serial Device (COM7)
    std::vector<std::wstring> hardwareIds;   // first one is the most specific; none: no value
};

// Registers the device on construction under
// HKLM\System\CurrentControlSet\Enum\<instance id> and removes it again
// (with the parent keys it created) on destruction.
class FakePortsDevice {
public:
    explicit FakePortsDevice(PortsDeviceInfo info);
    ~FakePortsDevice();
    FakePortsDevice(const FakePortsDevice&) = delete;
    FakePortsDevice& operator=(const FakePortsDevice&) = delete;

    const PortsDeviceInfo& Info() const { return m_info; }
    // Removes the device now (the destructor then does nothing).
    void Remove();

private:
    PortsDeviceInfo m_info;
    std::vector<std::wstring> m_createdKeys;  // outermost first
    bool m_bRemoved = false;
};

// The present devices of the "Ports" class as SetupAPI enumerates them.
std::vector<PortsDeviceInfo> ListPresentPortsDevices();

}  // namespace wineharness
