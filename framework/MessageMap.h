// Message maps: static tables that bind window messages and control
// notifications to handler methods, searched from the most derived class to CWnd.
//
// Every entry macro converts its handler to the exact member-function type of its
// signature, so a handler with the wrong signature is a compile error, never a
// silent mismatch at run time.
#pragma once

#include "Types.h"

#include <windows.h>

class CWnd;

enum AfxSig : UINT {
    AfxSig_end = 0,
    AfxSig_vv,        // void ()                          commands, notifications, OnPaint, OnDestroy
    AfxSig_vwl,       // void (UINT, LPARAM)              OnSysCommand
    AfxSig_hv,        // HCURSOR ()                       OnQueryDragIcon
    AfxSig_lwl,       // LRESULT (WPARAM, LPARAM)         ON_MESSAGE
    AfxSig_vup,       // void (UINT_PTR)                  OnTimer
    AfxSig_vwp,       // void (UINT, CPoint)              OnMouseMove, OnLButtonDown
};

using AfxPmsg_vv = void (CWnd::*)();
using AfxPmsg_vwl = void (CWnd::*)(UINT, LPARAM);
using AfxPmsg_hv = HCURSOR (CWnd::*)();
using AfxPmsg_lwl = LRESULT (CWnd::*)(WPARAM, LPARAM);
using AfxPmsg_vup = void (CWnd::*)(UINT_PTR);
using AfxPmsg_vwp = void (CWnd::*)(UINT, CPoint);

// The handler of an entry; nSig tells which member holds it.
union AfxHandler {
    AfxPmsg_vv pfn_vv;
    AfxPmsg_vwl pfn_vwl;
    AfxPmsg_hv pfn_hv;
    AfxPmsg_lwl pfn_lwl;
    AfxPmsg_vup pfn_vup;
    AfxPmsg_vwp pfn_vwp;
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;   // WM_COMMAND for commands and control notifications
    UINT nCode;      // notification code for WM_COMMAND (0 for menu commands and BN_CLICKED)
    UINT nID;        // control or command id for WM_COMMAND
    AfxSig nSig;
    AfxHandler handler;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// One overload per signature: the handler's type picks the signature.
#define AFX_ENTRY_OVERLOAD(sig, member, type)                                           \
    inline AFX_MSGMAP_ENTRY AfxEntry(UINT nMessage, UINT nCode, UINT nID, type pfn)     \
    {                                                                                   \
        AFX_MSGMAP_ENTRY entry = { nMessage, nCode, nID, sig, {} };                     \
        entry.handler.member = pfn;                                                     \
        return entry;                                                                   \
    }
AFX_ENTRY_OVERLOAD(AfxSig_vv, pfn_vv, AfxPmsg_vv)
AFX_ENTRY_OVERLOAD(AfxSig_vwl, pfn_vwl, AfxPmsg_vwl)
AFX_ENTRY_OVERLOAD(AfxSig_hv, pfn_hv, AfxPmsg_hv)
AFX_ENTRY_OVERLOAD(AfxSig_lwl, pfn_lwl, AfxPmsg_lwl)
AFX_ENTRY_OVERLOAD(AfxSig_vup, pfn_vup, AfxPmsg_vup)
AFX_ENTRY_OVERLOAD(AfxSig_vwp, pfn_vwp, AfxPmsg_vwp)
#undef AFX_ENTRY_OVERLOAD

#define DECLARE_MESSAGE_MAP()                                   \
protected:                                                      \
    static const AFX_MSGMAP* GetThisMessageMap();               \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                              \
    const AFX_MSGMAP* theClass::GetMessageMap() const                       \
    {                                                                       \
        return GetThisMessageMap();                                         \
    }                                                                       \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                         \
    {                                                                       \
        using ThisClass = theClass;                                         \
        using TheBaseClass = baseClass;                                     \
        static const AFX_MSGMAP_ENTRY s_entries[] = {

#define END_MESSAGE_MAP()                                                   \
            { 0, 0, 0, AfxSig_end, {} }                                     \
        };                                                                  \
        static const AFX_MSGMAP s_map = { &TheBaseClass::GetThisMessageMap, \
                                          &s_entries[0] };                  \
        return &s_map;                                                      \
    }

// The static_cast makes a handler of another signature a compile error.
#define AFX_ENTRY(msg, code, id, type, fn) \
    AfxEntry((msg), (code), (id), static_cast<type>(&ThisClass::fn)),

// Commands and control notifications
#define ON_COMMAND(id, fn)        AFX_ENTRY(WM_COMMAND, 0, id, AfxPmsg_vv, fn)
#define ON_CONTROL(code, id, fn)  AFX_ENTRY(WM_COMMAND, code, id, AfxPmsg_vv, fn)
#define ON_BN_CLICKED(id, fn)     ON_CONTROL(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn)  ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CBN_DROPDOWN(id, fn)   ON_CONTROL(CBN_DROPDOWN, id, fn)
#define ON_CBN_CLOSEUP(id, fn)    ON_CONTROL(CBN_CLOSEUP, id, fn)

// Window messages
#define ON_MESSAGE(msg, fn)     AFX_ENTRY(msg, 0, 0, AfxPmsg_lwl, fn)
#define ON_WM_PAINT()           AFX_ENTRY(WM_PAINT, 0, 0, AfxPmsg_vv, OnPaint)
#define ON_WM_DESTROY()         AFX_ENTRY(WM_DESTROY, 0, 0, AfxPmsg_vv, OnDestroy)
#define ON_WM_SYSCOMMAND()      AFX_ENTRY(WM_SYSCOMMAND, 0, 0, AfxPmsg_vwl, OnSysCommand)
#define ON_WM_QUERYDRAGICON()   AFX_ENTRY(WM_QUERYDRAGICON, 0, 0, AfxPmsg_hv, OnQueryDragIcon)
#define ON_WM_TIMER()           AFX_ENTRY(WM_TIMER, 0, 0, AfxPmsg_vup, OnTimer)
#define ON_WM_MOUSEMOVE()       AFX_ENTRY(WM_MOUSEMOVE, 0, 0, AfxPmsg_vwp, OnMouseMove)
#define ON_WM_LBUTTONDOWN()     AFX_ENTRY(WM_LBUTTONDOWN, 0, 0, AfxPmsg_vwp, OnLButtonDown)
