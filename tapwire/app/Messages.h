// Tapwire's own window messages, with their values.
#pragma once

#include <windows.h>

// Sent by the port monitor thread to its owner window; lParam is the port number.
constexpr UINT WM_PORT_BREAK  = WM_USER + 1;   // EV_BREAK in the event mask
constexpr UINT WM_PORT_CTS    = WM_USER + 2;   // EV_CTS
constexpr UINT WM_PORT_ERR    = WM_USER + 4;   // EV_ERR
constexpr UINT WM_PORT_RING   = WM_USER + 5;   // EV_RING
constexpr UINT WM_PORT_RXCHAR = WM_USER + 7;   // one byte read into m_byRx; wParam = byte count
constexpr UINT WM_PORT_RXFLAG = WM_USER + 8;   // EV_RXFLAG, after each receive drain
constexpr UINT WM_PORT_TXDONE = WM_USER + 9;   // after each write

// The tray icon's callback; wParam = icon id, lParam = the mouse message.
constexpr UINT WM_TRAYNOTIFY  = WM_USER + 101;
// Posted to itself by the receive dispatcher when a scan could not be typed.
constexpr UINT WM_TYPING_FAILED = WM_USER + 102;
