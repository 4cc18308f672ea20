// CTapwireDlg: the main and only window of Tapwire. It owns all run-time state
// of the program and receives every window message, the port thread's included.
#pragma once

#include "Afx.h"
#include "PortList.h"
#include "ScanOutcome.h"
#include "SerialPort.h"
#include "TTComboBox.h"
#include "resource.h"

#include <deque>

class CTapwireDlg : public CDialog {
public:
    explicit CTapwireDlg(CWnd* pParent = nullptr);

    enum { IDD = IDD_TAPWIRE_DIALOG };

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;

    void OnDestroy();

    // Tray icon, window hiding and status lamp (app/TrayAndLamp.cpp)
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nIDEvent);
    void DrawStatusLamp(int nState);
    void DrawLogo();

    // Scanner arrival and removal (serial/DeviceChange.cpp)
    BOOL FindScannerPort();
    LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    // An arrival or removal of the device interface strName (upper case).
    void OnScannerChange(WPARAM nEvent, const CString& strName);

    // The port list (serial/PortListDlg.cpp)
    void RefreshPortList();
    // m_strVidPid1 to m_strVidPid3, in the order they are tested.
    tapwire::ScannerPatterns ScannerPatterns() const;

    // Start and stop (app/StartStop.cpp)
    void OnStartStop();
    // A Start/Stop click, a scanner's arrival or removal, or a tray click that
    // comes while the port waits for its monitor thread (a message sent by
    // another program or the system is delivered during that wait) would
    // start or stop the port inside the wait: it is put off and handled, in
    // order, once the wait is over. True when it was put off.
    bool PutOffWhileThePortWaits(UINT nMessage, WPARAM wParam, LPARAM lParam, const CString& strDevice = CString());
    void HandlePutOffNotifications();
    static constexpr UINT_PTR kPutOffTimer = 2;
    static constexpr UINT kPutOffRetryMs = 10;
    int OpenSelectedPort();
    void OnPortListCloseUp();
    void OnPortListSelChange();
    // Button 1017 and status line 1048 for the current port state, by language.
    void ShowPortStateTexts();

    // The settings file (settings/SettingsDlg.cpp)
    void LoadSettings();
    void OnBaudRateChange();
    void OnParityChange();
    void OnDataBitsChange();
    void OnStopBitsChange();

    // The menu bar (settings/MenuCommands.cpp); entries by position
    static constexpr UINT kStartUpNone = 0;
    static constexpr UINT kStartUpBootRun = 1;
    static constexpr UINT kStartUpRunMini = 2;
    static constexpr UINT kStartUpRunStart = 3;
    static constexpr UINT kEncodingCount = 9;
    CMenu* StartUpMenu() const;
    CMenu* EncodingMenu() const;
    void CheckStartUpEntry(UINT nPosition, BOOL bChecked);
    // Exactly the entry of the encoding is checked; none outside 0 to 8.
    void CheckEncodingEntry(int nEncoding);
    void ChooseEncoding(int nEncoding);
    // Settings › Typing: the pauses at positions 0 to 3, a separator, the two
    // ways of typing at 4 + 1 and 4 + 2.
    static constexpr UINT kTypingModePosition = 5;
    CMenu* TypingMenu() const;
    void CheckTypingEntries();
    void ChooseKeyDelay(int nDelayMs);
    void ChooseKeyMode(int nKeyMode);
    void ChooseNoStartUpOption();
    void UpdateNoneCheck();
    void ToggleRunMini();

    // Autostart registration (settings/AutostartDlg.cpp)
    int IsAutostartRegistered();
    void ToggleAutostart();
    int RemoveAutostart();

    // Interface language (settings/LanguageSwitch.cpp)
    void ApplyTexts(int nLanguage);
    void ApplyEnglishTexts();
    void ApplyChineseTexts();
    void ApplyJapaneseTexts();
    void OnLanguageEnglish();
    void OnLanguageChinese();

    // About box and manual (app/AboutAndManual.cpp)
    void ShowAboutBox();
    void OpenManual();

    // Hide to the tray right after start, by this timer's first tick.
    static constexpr UINT_PTR kHideToTrayTimer = 1;
    static constexpr UINT kHideToTrayDelayMs = 100;

    // The receive dispatcher (wedge/ReceiveDispatcher.cpp)
    LRESULT OnPortRxChar(WPARAM wParam, LPARAM lParam);
    // A scan the input did not take: posted by the dispatcher, so that the
    // port thread is not held up while the user is told.
    LRESULT OnTypingFailed(WPARAM wParam, LPARAM lParam);
    // Status line and lamp as m_scanOutcome says; the balloon of the tray
    // icon while the window is hidden.
    void ShowTypingWarning();
    void ShowTypingBalloon();
    // Watches for the quiet that ends a scan whose end matters.
    static constexpr UINT_PTR kScanEndTimer = 3;
    void OnScanEndTimer();

    DECLARE_MESSAGE_MAP()

private:
    // Written by the port list, read by Start and the settings load.
    int m_nPortCount = 0;          // entries in the port list
    int m_nPortIndex = 0;          // committed list index of the chosen port
    // Line settings as the port-open step takes them.
    CString m_strStopBits;         // "1" or "2"
    CString m_strDataBits;         // "7" or "8"
    CString m_strParity;           // "N", "O" or "E"
    CString m_strBaudRate;         // decimal text
    // The maker's scanners among the serial ports, tested in this order.
    CString m_strVidPid1;
    CString m_strVidPid2;
    CString m_strVidPid3;
    int m_nEncoding = 0;           // position in the Encoding menu, 0 to 8
    int m_nKeyDelayMs = 0;         // pause between typed characters: 0, 5, 20 or 50
    int m_nKeyMode = 0;            // 0 Unicode characters, 1 keyboard keys
    tapwire::ScanOutcome m_scanOutcome;   // the scans typed, and the warning
    BOOL m_bTypingWarning = FALSE; // the warning is on the screen
    CString m_strConfigPath;       // full path of the settings file
    CString m_strScannerDevice;    // interface name of the scanner opened on arrival
    DEV_BROADCAST_DEVICEINTERFACE_W m_dbiFilter = {};
    HDEVNOTIFY m_hDevNotify = nullptr;
    BOOL m_bIsWow64 = FALSE;       // the 32-bit program runs on 64-bit Windows
    BOOL m_bPortOpen = FALSE;      // the port is started
    int m_nScannerIndex = 0;       // list index of the recognised scanner, 0 when none
    BOOL m_bUserRequest = FALSE;   // the autostart toggle runs for the user's command
    CSerialPort m_SerialPort;
    NOTIFYICONDATAW m_nid = {};    // the tray icon
    CTTComboBox m_cbPort;
    CComboBox m_cbStopBits;
    CComboBox m_cbParity;
    CComboBox m_cbDataBits;
    CComboBox m_cbBaudRate;
    CString m_strPortName;         // the port Start opens, such as COM3
    BOOL m_bBootRun = FALSE;       // "Run after starting up the PC"
    BOOL m_bRunMini = FALSE;       // "Minimize the window after running"
    BOOL m_bRunStart = FALSE;      // "Start after running"
    CButton m_btnEnglish;
    CButton m_btnChinese;
    HICON m_hIcon = nullptr;
    // Notifications put off while the port waits for its thread, oldest first.
    struct PutOffNotification {
        UINT nMessage;
        WPARAM wParam;
        LPARAM lParam;
        CString strDevice;         // the device interface of a WM_DEVICECHANGE
    };
    std::deque<PutOffNotification> m_putOff;
};

// Interface language: 0 until the settings are loaded, then 1 English,
// 2 Chinese, 3 Japanese.
extern int g_nLanguage;

// The port names behind the port list's entries, same index (such as COM3).
constexpr int kMaxPortNames = 256;
extern CString g_strPortNames[kMaxPortNames];
