#pragma once

// The phone link's private window messages. A record in lParam belongs to the handler, which
// frees it, unless the message says it is valid only during the message.

#include "Skinkit.h" // WM_LAYOUTBTN_CLICK, the layouts' click

// wParam 1 connected, 0 not.
inline constexpr UINT WM_PHONE_CONNECTSTATUS = WM_USER + 200;
// wParam 1 from the start-up; lParam 1 when no phone is known.
inline constexpr UINT WM_PHONE_CONNECT = WM_USER + 201;
// wParam the call state; lParam a heap PhonebookEntry of the other side.
inline constexpr UINT WM_PHONE_CALLSTATUS = WM_USER + 202;
// lParam a heap SmsRecord.
inline constexpr UINT WM_PHONE_INCOMINGSMS = WM_USER + 203;
inline constexpr UINT WM_PHONE_ANSWERED = WM_USER + 204;
// lParam a PhonebookEntry, valid during the message.
inline constexpr UINT WM_PHONE_CALLERINFO = WM_USER + 205;
// wParam the call state.
inline constexpr UINT WM_PHONE_CALLUPDATE = WM_USER + 207;
// lParam the "gprs" CLayoutBtn.
inline constexpr UINT WM_PHONE_GPRSBUTTON = WM_USER + 208;
// wParam the call state.
inline constexpr UINT WM_PHONE_CALLSTATE = WM_USER + 209;
inline constexpr UINT WM_PHONE_REPOWERBT = WM_USER + 211;
// A list screen fills its list, after it is visible.
inline constexpr UINT WM_PHONE_LOAD = WM_USER + 300;
inline constexpr UINT WM_PHONE_RELOAD = WM_USER + 301;
inline constexpr UINT WM_PHONE_ANOTHERSMS = WM_USER + 400;
// The screen ends as if cancelled.
inline constexpr UINT WM_PHONE_CLOSE = WM_USER + 500;
// wParam the show command: SW_SHOW or SW_HIDE.
inline constexpr UINT WM_PHONE_SHOWHIDE = WM_USER + 501;
// wParam not 0 while a call is up.
inline constexpr UINT WM_PHONE_CALLACTIVE = WM_USER + 502;
// lParam an SmsRecord, valid during the message.
inline constexpr UINT WM_PHONE_NEWSMS = WM_USER + 503;
inline constexpr UINT WM_PHONE_RESUMECLOSE = WM_USER + 504;
inline constexpr UINT WM_PHONE_LANGCHANGED = WM_USER + 888;
