#include "PortsDevice.h"

#include "HarnessEnv.h"
#include "Registry.h"

#include <devguid.h>
#include <setupapi.h>
#include <cfgmgr32.h>


namespace wineharness {

namespace {

const std::wstring kEnumKey = L"System\\CurrentControlSet\\Enum";

std::vector<std::wstring> SplitMultiString(const std::vector<BYTE>& data)
{
    std::vector<std::wstring> strings;
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    const size_t count = data.size() / sizeof(wchar_t);
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        if (text[i] != L'\0')
            continue;
        if (i == start)
            break;
        strings.emplace_back(text + start, i - start);
        start = i + 1;
    }
    return strings;
}

bool ReadProperty(HDEVINFO devices, SP_DEVINFO_DATA* device, DWORD property, std::vector<BYTE>& data)
{
    DWORD size = 0;
    SetupDiGetDeviceRegistryPropertyW(devices, device, property, nullptr, nullptr, 0, &size);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return false;
    data.assign(size, 0);
    return SetupDiGetDeviceRegistryPropertyW(devices, device, property, nullptr, data.data(), size,
                                             &size) != FALSE;
}

}  // namespace

FakePortsDevice::FakePortsDevice(PortsDeviceInfo info) : m_info(std::move(info))
{
    // Remember which levels of the instance path are new, to remove exactly
    // those again.
    std::wstring path = kEnumKey;
    size_t start = 0;
    while (start <= m_info.instanceId.size()) {
        size_t end = m_info.instanceId.find(L'\\', start);
        if (end == std::wstring::npos)
            end = m_info.instanceId.size();
        path += L"\\" + m_info.instanceId.substr(start, end - start);
        if (!RegistryKeyExists(HKEY_LOCAL_MACHINE, path))
            m_createdKeys.push_back(path);
        start = end + 1;
    }
    if (m_createdKeys.empty())
        throw HarnessError("device " + Narrow(m_info.instanceId) + " is already registered");

    const std::wstring key = kEnumKey + L"\\" + m_info.instanceId;
    SetRegistryString(HKEY_LOCAL_MACHINE, key, L"ClassGUID", L"{4D36E978-E325-11CE-BFC1-08002BE10318}");
    SetRegistryString(HKEY_LOCAL_MACHINE, key, L"Class", L"Ports");
    SetRegistryString(HKEY_LOCAL_MACHINE, key, L"FriendlyName", m_info.friendlyName);
    // Without hardware ids the device has no such value at all: its hardware
    // id cannot be read.
    if (!m_info.hardwareIds.empty())
        SetRegistryMultiString(HKEY_LOCAL_MACHINE, key, L"HardwareID", m_info.hardwareIds);
}

FakePortsDevice::~FakePortsDevice()
{
    try {
        Remove();
    } catch (const HarnessError&) {
        // Nothing to report to from a destructor.
    }
}

void FakePortsDevice::Remove()
{
    if (m_bRemoved)
        return;
    m_bRemoved = true;
    // The outermost new key holds all the others.
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, m_createdKeys.front());
}

std::vector<PortsDeviceInfo> ListPresentPortsDevices()
{
    HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        ThrowLastError("SetupDiGetClassDevsW failed for the Ports class");
    std::vector<PortsDeviceInfo> list;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        PortsDeviceInfo info;
        wchar_t instanceId[MAX_DEVICE_ID_LEN + 1] = {};
        if (SetupDiGetDeviceInstanceIdW(devices, &device, instanceId, MAX_DEVICE_ID_LEN + 1, nullptr))
            info.instanceId = instanceId;
        std::vector<BYTE> data;
        if (ReadProperty(devices, &device, SPDRP_FRIENDLYNAME, data)) {
            info.friendlyName.assign(reinterpret_cast<const wchar_t*>(data.data()),
                                     data.size() / sizeof(wchar_t));
            info.friendlyName.resize(info.friendlyName.find(L'\0') == std::wstring::npos
                                         ? info.friendlyName.size()
                                         : info.friendlyName.find(L'\0'));
        }
        if (ReadProperty(devices, &device, SPDRP_HARDWAREID, data))
            info.hardwareIds = SplitMultiString(data);
        list.push_back(std::move(info));
    }
    SetupDiDestroyDeviceInfoList(devices);
    return list;
}

}  // namespace wineharness
