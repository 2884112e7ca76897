#pragma once

#include "platform.h"

// The library's application object: one per process that uses the library, made on its first
// call. It holds the registry root of the profile mirror and the flush policy of registry writes.
class CKitbaseApp {
public:
    // Where the library is installed on the device.
    static constexpr const WCHAR* module_path = u"\\NAND\\App\\BT\\Kitbase.dll";

    CKitbaseApp();

    // The calling process's instance.
    static CKitbaseApp& current();

    BOOL InitInstance();

    // The library's module, whose file name gives the library's folder.
    HINSTANCE m_hInstance = nullptr;
    // -1 until the first successful registry write reads it; then 0 (do not flush) or not 0.
    int m_flushKeyPolicy = -1;
    // Empty until SetRegProfileKeyName sets it; then the root of the mirror.
    WCHAR m_registryRoot[MAX_PATH] = {};
};
