#pragma once

#include "platform.h"

// One window of the board's physical registers, mapped into the program uncached through CEDDK.
class cPhysicalAddress {
public:
    cPhysicalAddress() = default;
    virtual ~cPhysicalAddress();
    cPhysicalAddress(const cPhysicalAddress&) = delete;
    cPhysicalAddress& operator=(const cPhysicalAddress&) = delete;

    // Stores the window and maps it.
    virtual int Attach(DWORD physical_address, DWORD length);
    // Maps the window once; 1 on success, 0 when mapped already or when the mapping fails.
    virtual int Open();
    virtual int Close();

    // The register at a byte offset into the window; null while the window is not mapped.
    volatile ULONG* Register(DWORD offset) const;

    DWORD m_dwPhysicalAddress = 0;
    DWORD m_dwLength = 0;
    void* m_pMapped = nullptr;
};
