#pragma once

// The component object model's basic shapes: class and interface ids, result codes and IUnknown.

#include "kernel/Types.h"

#include <compare>
#include <string_view>

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
    friend constexpr auto operator<=>(const GUID&, const GUID&) = default;
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPGUID = GUID*;
using LPIID = IID*;
using LPCLSID = CLSID*;

inline constexpr bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline constexpr bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

// An id written as a constant, in the platform's shape: the three fields and then the eight bytes.
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    inline constexpr GUID name = { l, w1, w2, { b1, b2, b3, b4, b5, b6, b7, b8 } }

namespace kivo {

namespace guid_detail {

consteval BYTE hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<BYTE>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<BYTE>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<BYTE>(c - 'A' + 10);
    throw "not a hexadecimal digit"; // a compile-time error: the id is malformed
}

consteval uint32_t hex(std::string_view text, size_t from, size_t digits)
{
    uint32_t value = 0;
    for (size_t i = 0; i < digits; ++i)
        value = value << 4 | hex_digit(text[from + i]);
    return value;
}

} // namespace guid_detail

// An id from its registry form, "{ADF85A65-358F-4FCD-86B1-B8F3D6540324}", checked at compile time.
consteval GUID guid(std::string_view text)
{
    using namespace guid_detail;
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-')
        throw "an id is written {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    GUID id {};
    id.Data1 = hex(text, 1, 8);
    id.Data2 = static_cast<WORD>(hex(text, 10, 4));
    id.Data3 = static_cast<WORD>(hex(text, 15, 4));
    id.Data4[0] = static_cast<BYTE>(hex(text, 20, 2));
    id.Data4[1] = static_cast<BYTE>(hex(text, 22, 2));
    for (size_t i = 0; i < 6; ++i)
        id.Data4[2 + i] = static_cast<BYTE>(hex(text, 25 + 2 * i, 2));
    return id;
}

} // namespace kivo

// Results: negative values are failures, the rest successes (S_FALSE and the partial successes
// included).
inline constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }
inline constexpr bool FAILED(HRESULT result) { return result < 0; }

inline constexpr DWORD FACILITY_WIN32 = 7;
// A platform error code (GetLastError) as a failure result; 0 stays success.
inline constexpr HRESULT HRESULT_FROM_WIN32(DWORD error)
{
    return static_cast<HRESULT>(error) <= 0 ? static_cast<HRESULT>(error) : static_cast<HRESULT>((error & 0xFFFF) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
inline constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);

// The media framework's results.
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = 0x00040242;
inline constexpr HRESULT VFW_S_VIDEO_NOT_RENDERED = 0x00040257;
inline constexpr HRESULT VFW_S_AUDIO_NOT_RENDERED = 0x00040258;
inline constexpr HRESULT VFW_E_INVALID_MEDIA_TYPE = static_cast<HRESULT>(0x80040200);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = static_cast<HRESULT>(0x80040204);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = static_cast<HRESULT>(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = static_cast<HRESULT>(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209);
inline constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218);
inline constexpr HRESULT VFW_E_NOT_STOPPED = static_cast<HRESULT>(0x80040224);
inline constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227);
inline constexpr HRESULT VFW_E_DUPLICATE_NAME = static_cast<HRESULT>(0x8004022D);
inline constexpr HRESULT VFW_E_TIMEOUT = static_cast<HRESULT>(0x8004022E);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x8004022F);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = static_cast<HRESULT>(0x8004025F);
inline constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265);

// The root of every interface: asking for another interface of the same object, and its lifetime.
// What an interface pointer is given out for holds one reference; Release gives it back.
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default; // objects go by Release, never by delete through an interface
};
using LPUNKNOWN = IUnknown*;

DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
