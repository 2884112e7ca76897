#pragma once

// The component object model as the device's programs use it: every class is in-process, made
// from the device's class table; there are no apartments to marshal between.

#include "ComTypes.h"

// How a thread takes part: the multithreaded model (0, what the device's programs ask for) or a
// single-threaded apartment.
inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Where an object may be made; the device has only in-process servers.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// Each successful call (S_OK the first time on a thread, S_FALSE after) is balanced by one
// CoUninitialize; asking for the other model on an initialised thread fails with RPC_E_CHANGED_MODE.
HRESULT CoInitializeEx(LPVOID reserved, DWORD co_init);
HRESULT CoInitialize(LPVOID reserved); // a single-threaded apartment
void CoUninitialize();

// Makes an object of a class of the device's table and answers the interface asked for. The caller
// must have initialised COM, or another thread of its process must hold the multithreaded model.
// `*object` is null on every failure.
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);

// Memory that one side allocates and the other frees (lists a component hands out).
LPVOID CoTaskMemAlloc(SIZE_T size);
void CoTaskMemFree(LPVOID memory);
