#include "TapwireDlg.h"

#include "InstallLocation.h"
#include "Messages.h"
#include "TapwireApp.h"
#include "Utf16.h"

CString g_strInstallDir;
int g_nLanguage = 0;
CString g_strPortNames[kMaxPortNames];

namespace {

// The layout up to the balloon fields, without the GUID and balloon icon.
constexpr DWORD kNotifyIconDataSize = 936;

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}: USB device interfaces.
constexpr GUID kGuidDevInterfaceUsbDevice =
    { 0xA5DCBF10, 0x6530, 0x11D2, { 0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED } };

const wchar_t* const kBaudRates[] = {
    L"300", L"600", L"1200", L"2400", L"4800", L"9600", L"19200", L"38400", L"57600", L"115200",
};

void FillList(CComboBox& list, std::initializer_list<const wchar_t*> entries)
{
    for (const wchar_t* entry : entries)
        list.AddString(entry);
}

} // namespace

BEGIN_MESSAGE_MAP(CTapwireDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_CBN_SELCHANGE(IDC_BAUD_RATE, OnBaudRateChange)
    ON_CBN_SELCHANGE(IDC_DATA_BITS, OnDataBitsChange)
    ON_CBN_SELCHANGE(IDC_PARITY, OnParityChange)
    ON_CBN_SELCHANGE(IDC_PORT_LIST, OnPortListSelChange)
    ON_CBN_SELCHANGE(IDC_STOP_BITS, OnStopBitsChange)
    ON_BN_CLICKED(IDC_START_STOP, OnStartStop)
    ON_MESSAGE(WM_TRAYNOTIFY, OnTrayNotify)
    ON_MESSAGE(WM_PORT_RXCHAR, OnPortRxChar)
    ON_MESSAGE(WM_TYPING_FAILED, OnTypingFailed)
    ON_CBN_DROPDOWN(IDC_PORT_LIST, RefreshPortList)
    ON_CBN_CLOSEUP(IDC_PORT_LIST, OnPortListCloseUp)
    ON_MESSAGE(WM_DEVICECHANGE, OnDeviceChange)
    ON_WM_DESTROY()
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_LANG_ENGLISH, OnLanguageEnglish)
    ON_BN_CLICKED(IDC_LANG_CHINESE, OnLanguageChinese)
END_MESSAGE_MAP()

CTapwireDlg::CTapwireDlg(CWnd* pParent)
    : CDialog(IDD, pParent)
{
    m_strVidPid1 = L"VID_2E9B&PID_0002";
    m_strVidPid2 = L"VID_2E9B&PID_0201";
    m_strVidPid3 = L"VID_0483&PID_5740";
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_strConfigPath = ToCString(tapwire::ConfigPathFor(ToU16(g_strInstallDir)));
}

void CTapwireDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PORT_LIST, m_cbPort);
    DDX_Control(pDX, IDC_STOP_BITS, m_cbStopBits);
    DDX_Control(pDX, IDC_PARITY, m_cbParity);
    DDX_Control(pDX, IDC_DATA_BITS, m_cbDataBits);
    DDX_Control(pDX, IDC_BAUD_RATE, m_cbBaudRate);
    DDX_Control(pDX, IDC_LANG_ENGLISH, m_btnEnglish);
    DDX_Control(pDX, IDC_LANG_CHINESE, m_btnChinese);
}

BOOL CTapwireDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // The autostart registration writes the 64-bit view of the Run key when the
    // 32-bit program runs on 64-bit Windows.
    m_bIsWow64 = FALSE;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto pfnIsWow64Process = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    if (pfnIsWow64Process) {
        BOOL bWow64 = FALSE;
        if (pfnIsWow64Process(::GetCurrentProcess(), &bWow64))
            m_bIsWow64 = bWow64;
    }

    // Without a folder from the registry, the executable's own folder.
    if (g_strInstallDir.IsEmpty()) {
        wchar_t szPath[MAX_PATH] = {};
        const DWORD nLength = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
        g_strInstallDir = ToCString(tapwire::FolderOfPath(ToU16(CString(szPath, static_cast<int>(nLength)))));
        m_strConfigPath = ToCString(tapwire::ConfigPathFor(ToU16(g_strInstallDir)));
    }

    for (CString& strName : g_strPortNames)
        strName.Empty();
    m_strScannerDevice.Empty();

    // The window owns the menu bar from here on.
    CMenu menu;
    if (menu.LoadMenu(IDR_MAIN_MENU)) {
        SetMenu(&menu);
        menu.Detach();
    }

    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    for (const wchar_t* rate : kBaudRates)
        m_cbBaudRate.AddString(rate);
    m_cbBaudRate.SetCurSel(5);
    m_strBaudRate = L"9600";

    FillList(m_cbDataBits, { L"7", L"8" });
    m_cbDataBits.SetCurSel(1);
    m_strDataBits = L"8";

    FillList(m_cbParity, { L"None", L"Odd", L"Even" });
    m_cbParity.SetCurSel(0);
    m_strParity = L"N";

    m_cbPort.SetCurSel(0);
    m_nPortIndex = 0;
    m_strPortName.Empty();
    RefreshPortList();

    FillList(m_cbStopBits, { L"1", L"2" });
    m_cbStopBits.SetCurSel(0);
    m_strStopBits = L"1";

    m_nEncoding = 0;

    m_nid.cbSize = kNotifyIconDataSize;
    m_nid.hWnd = m_hWnd;
    m_nid.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(m_hIcon));
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
    m_nid.hIcon = m_hIcon;
    wcscpy_s(m_nid.szTip, L"Tapwire");

    m_dbiFilter.dbcc_size = 32;
    m_dbiFilter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    m_dbiFilter.dbcc_reserved = 0;
    m_dbiFilter.dbcc_classguid = kGuidDevInterfaceUsbDevice;
    m_dbiFilter.dbcc_name[0] = L'\0';
    m_hDevNotify = ::RegisterDeviceNotificationW(m_hWnd, &m_dbiFilter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!m_hDevNotify) {
        CString strError;
        strError.Format(L"Registerdevicenotification faild:%x", ::GetLastError());
        MessageBox(strError);
    }

    LoadSettings();
    return TRUE;
}

BOOL CTapwireDlg::PreTranslateMessage(MSG* pMsg)
{
    // Enter never presses a button and Escape never closes the dialog.
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE) &&
        (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd)))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

void CTapwireDlg::OnCancel()
{
    // The monitor thread closes the port as it ends; the port object's
    // destructor waits for that.
    if (m_SerialPort.IsOpen())
        m_SerialPort.SwitchPort(FALSE);
    CDialog::OnCancel();
}

void CTapwireDlg::OnDestroy()
{
    CDialog::OnDestroy();
    if (m_hDevNotify) {
        ::UnregisterDeviceNotification(m_hDevNotify);
        m_hDevNotify = nullptr;
    }
}
