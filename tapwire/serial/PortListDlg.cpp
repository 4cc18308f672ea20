// The port list of the main window: the system's serial ports by their
// friendly names, with the maker's scanner preselected.
#include "TapwireDlg.h"

#include "PortList.h"
#include "Utf16.h"

#include <setupapi.h>

#include <vector>

namespace {

// One registry property of a device as text; grows the buffer while the call
// asks for more. FALSE when the property cannot be read.
bool ReadDeviceText(HDEVINFO hDevInfo, SP_DEVINFO_DATA& devInfo, DWORD dwProperty, std::u16string& text)
{
    std::vector<BYTE> buffer(256);
    DWORD cbRequired = 0;
    while (!::SetupDiGetDeviceRegistryPropertyW(hDevInfo, &devInfo, dwProperty, nullptr, buffer.data(),
                                                static_cast<DWORD>(buffer.size()), &cbRequired)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || cbRequired <= buffer.size())
            return false;
        buffer.resize(cbRequired);
    }
    // The first string of the data (for a multi-string, its first entry).
    const auto* pUnits = reinterpret_cast<const char16_t*>(buffer.data());
    const size_t nUnits = buffer.size() / sizeof(char16_t);
    size_t nLength = 0;
    while (nLength < nUnits && pUnits[nLength] != u'\0')
        ++nLength;
    text.assign(pUnits, nLength);
    return true;
}

// The present devices of the "Ports" class, in enumeration order; FALSE when
// the class cannot be enumerated. A device whose hardware id cannot be read
// ends the list, as the port list's rules want.
bool EnumeratePortDevices(std::vector<tapwire::PortDevice>& devices)
{
    GUID guidPorts;
    DWORD nGuids = 0;
    if (!::SetupDiClassGuidsFromNameW(L"Ports", &guidPorts, 1, &nGuids) || nGuids == 0)
        return false;
    HDEVINFO hDevInfo = ::SetupDiGetClassDevsW(&guidPorts, nullptr, nullptr, DIGCF_PRESENT);
    if (hDevInfo == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA devInfo = {};
    devInfo.cbSize = sizeof(devInfo);
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(hDevInfo, i, &devInfo); ++i) {
        tapwire::PortDevice device;
        if (!ReadDeviceText(hDevInfo, devInfo, SPDRP_FRIENDLYNAME, device.friendlyName))
            device.friendlyName.clear();
        std::u16string hardwareId;
        if (ReadDeviceText(hDevInfo, devInfo, SPDRP_HARDWAREID, hardwareId))
            device.hardwareId = hardwareId;
        devices.push_back(std::move(device));
        if (!devices.back().hardwareId)
            break;
    }
    ::SetupDiDestroyDeviceInfoList(hDevInfo);
    return true;
}

} // namespace

tapwire::ScannerPatterns CTapwireDlg::ScannerPatterns() const
{
    return { ToU16(m_strVidPid1), ToU16(m_strVidPid2), ToU16(m_strVidPid3) };
}

void CTapwireDlg::RefreshPortList()
{
    std::vector<tapwire::PortDevice> devices;
    if (!EnumeratePortDevices(devices))
        return;   // the list stays as it was

    tapwire::PortListState state;
    state.names.reserve(kMaxPortNames);
    for (const CString& strName : g_strPortNames)
        state.names.push_back(ToU16(strName));
    state.scannerIndex = m_nScannerIndex;
    state.portName = ToU16(m_strPortName);
    tapwire::RefreshPortListState(state, devices, ScannerPatterns());

    m_cbPort.ResetContent();
    for (const std::u16string& entry : state.entries)
        m_cbPort.AddString(ToCString(entry));
    for (int i = 0; i < kMaxPortNames; ++i)
        g_strPortNames[i] = ToCString(state.names[static_cast<size_t>(i)]);
    m_nPortCount = state.portCount;
    m_nScannerIndex = state.scannerIndex;
    m_strPortName = ToCString(state.portName);
    if (state.selection >= 0)
        m_cbPort.SetCurSel(state.selection);
    UpdateData(FALSE);
}
