#include "cPhysicalAddress.h"

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
    // These two messages are console output. The device shows no console: what a program prints
    // there goes to the debug output, which keeps it with the program's process.
    if (m_pMapped) {
        OutputDebugString(u"[arc][FAIL]cPhysicalAddress::Already Open\r\n");
        return 0;
    }
    PHYSICAL_ADDRESS address {};
    address.QuadPart = m_dwPhysicalAddress;
    void* mapped = MmMapIoSpace(address, m_dwLength, FALSE);
    if (!mapped) {
        OutputDebugString(u"[arc][FAIL]cPhysicalAddress::Open\r\n");
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
