#include "cPhysicalAddress.h"

#include <cstdio>

cPhysicalAddress::~cPhysicalAddress()
{
    if (m_pMapped)
        Close();
}

int cPhysicalAddress::Attach(DWORD physical_address, DWORD length)
{
    m_dwPhysicalAddress = physical_address;
    m_dwLength = length;
    return Open();
}

int cPhysicalAddress::Open()
{
    // These two messages go to the console, not to the debug output.
    if (m_pMapped) {
        std::fputs("[arc][FAIL]cPhysicalAddress::Already Open\r\n", stdout);
        return 0;
    }
    PHYSICAL_ADDRESS address {};
    address.QuadPart = m_dwPhysicalAddress;
    void* mapped = MmMapIoSpace(address, m_dwLength, FALSE);
    if (!mapped) {
        std::fputs("[arc][FAIL]cPhysicalAddress::Open\r\n", stdout);
        return 0;
    }
    m_pMapped = mapped;
    return 1;
}

int cPhysicalAddress::Close()
{
    MmUnmapIoSpace(m_pMapped, m_dwLength);
    m_pMapped = nullptr;
    return 0;
}

volatile ULONG* cPhysicalAddress::Register(DWORD offset) const
{
    if (!m_pMapped || offset + sizeof(ULONG) > m_dwLength)
        return nullptr;
    return reinterpret_cast<volatile ULONG*>(static_cast<BYTE*>(m_pMapped) + offset);
}
