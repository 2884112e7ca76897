#pragma once

// The phone link's private window messages. Records carried in lParam belong to the handler,
// which frees them; "valid during the message" records are the sender's.

#include "Skinkit.h" // WM_LAYOUTBTN_CLICK, the layouts' click

inline constexpr UINT WM_PHONE_CONNECTSTATUS = WM_USER + 200; // wParam 1 connected, 0 not
inline constexpr UINT WM_PHONE_CONNECT = WM_USER + 201;       // wParam 1 from the start-up; lParam 1: no phone known
inline constexpr UINT WM_PHONE_CALLSTATUS = WM_USER + 202;    // wParam call state; lParam heap PhonebookEntry
inline constexpr UINT WM_PHONE_INCOMINGSMS = WM_USER + 203;   // lParam heap SmsRecord
inline constexpr UINT WM_PHONE_ANSWERED = WM_USER + 204;
inline constexpr UINT WM_PHONE_CALLERINFO = WM_USER + 205;    // lParam PhonebookEntry, valid during the message
inline constexpr UINT WM_PHONE_CALLUPDATE = WM_USER + 207;    // wParam call state
inline constexpr UINT WM_PHONE_GPRSBUTTON = WM_USER + 208;    // lParam the "gprs" CLayoutBtn
inline constexpr UINT WM_PHONE_CALLSTATE = WM_USER + 209;     // wParam call state
inline constexpr UINT WM_PHONE_REPOWERBT = WM_USER + 211;
inline constexpr UINT WM_PHONE_LOAD = WM_USER + 300;          // a list screen fills its list
inline constexpr UINT WM_PHONE_RELOAD = WM_USER + 301;
inline constexpr UINT WM_PHONE_ANOTHERSMS = WM_USER + 400;
inline constexpr UINT WM_PHONE_CLOSE = WM_USER + 500;         // the screen ends (cancel)
inline constexpr UINT WM_PHONE_SHOWHIDE = WM_USER + 501;      // wParam show command: SW_SHOW or SW_HIDE
inline constexpr UINT WM_PHONE_CALLACTIVE = WM_USER + 502;    // wParam non-zero while a call is up
inline constexpr UINT WM_PHONE_NEWSMS = WM_USER + 503;        // lParam SmsRecord, valid during the message
inline constexpr UINT WM_PHONE_RESUMECLOSE = WM_USER + 504;
inline constexpr UINT WM_PHONE_LANGCHANGED = WM_USER + 888;
