// The maker's scanners coming and going while the program runs.
#include "TapwireDlg.h"

#include "PortList.h"
#include "Utf16.h"

#include <setupapi.h>

BOOL CTapwireDlg::FindScannerPort()
{
    GUID guidPorts;
    DWORD nGuids = 0;
    if (!::SetupDiClassGuidsFromNameW(L"Ports", &guidPorts, 1, &nGuids) || nGuids == 0)
        return FALSE;
    HDEVINFO hDevInfo = ::SetupDiGetClassDevsW(&guidPorts, nullptr, nullptr, DIGCF_PRESENT);
    if (hDevInfo == INVALID_HANDLE_VALUE)
        return FALSE;

    const tapwire::ScannerPatterns patterns = ScannerPatterns();
    BOOL bFound = FALSE;
    SP_DEVINFO_DATA devInfo = {};
    devInfo.cbSize = sizeof(devInfo);
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(hDevInfo, i, &devInfo); ++i) {
        // Instance ids are at most 200 characters.
        wchar_t szInstanceId[MAX_PATH] = {};
        if (!::SetupDiGetDeviceInstanceIdW(hDevInfo, &devInfo, szInstanceId, MAX_PATH, nullptr)) {
            bFound = FALSE;
            break;
        }
        const std::u16string id = tapwire::ToUpperAscii(ToU16(CString(szInstanceId)));
        if (id.compare(0, 3, u"USB") == 0 && tapwire::MatchesScanner(id, patterns))
            bFound = TRUE;
    }
    ::SetupDiDestroyDeviceInfoList(hDevInfo);
    return bFound;
}

LRESULT CTapwireDlg::OnDeviceChange(WPARAM wParam, LPARAM lParam)
{
    const auto* pHeader = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (!pHeader || pHeader->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE))
        return TRUE;

    // The name runs to the end of the record the system delivered; it is read
    // no further than that, terminated or not.
    const auto* pInterface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(pHeader);
    const size_t cbName = pHeader->dbch_size > offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)
        ? pHeader->dbch_size - offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) : 0;
    const size_t nMaxUnits = cbName / sizeof(wchar_t);
    CString strName(pInterface->dbcc_name, static_cast<int>(wcsnlen(pInterface->dbcc_name, nMaxUnits)));
    strName.MakeUpper();
    if (!tapwire::MatchesScanner(ToU16(strName), ScannerPatterns()))
        return TRUE;
    if (!PutOffWhileThePortWaits(WM_DEVICECHANGE, wParam, 0, strName))
        OnScannerChange(wParam, strName);
    return TRUE;
}

void CTapwireDlg::OnScannerChange(WPARAM nEvent, const CString& strName)
{
    if (nEvent == DBT_DEVICEARRIVAL) {
        // Only the first scanner to arrive is opened; its port may come later
        // than its USB device, and then nothing happens.
        if (!m_strScannerDevice.IsEmpty() || !FindScannerPort())
            return;
        if (m_bPortOpen)
            OnStartStop();   // stop
        RefreshPortList();
        m_cbPort.SetCurSel(m_nScannerIndex);
        if (m_nScannerIndex >= 0 && m_nScannerIndex < kMaxPortNames)
            m_strPortName = g_strPortNames[m_nScannerIndex];
        OnStartStop();       // start, on the scanner's port
        m_strScannerDevice = strName;
        return;
    }

    if (!m_strScannerDevice.IsEmpty() && m_strScannerDevice == strName) {
        RefreshPortList();
        if (m_bPortOpen)
            OnStartStop();
        m_strScannerDevice.Empty();
    }
    // With no scanner remembered (the port was started by hand), any scanner
    // going away stops the port.
    if (m_strScannerDevice.IsEmpty()) {
        RefreshPortList();
        if (m_bPortOpen)
            OnStartStop();
    }
}
