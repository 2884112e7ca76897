#include "CeddkApi.h"

#include "Board.h"
#include "Device.h"
#include "FrameBuffer.h"
#include "WideText.h"

using namespace kivo;

namespace {

Board& board()
{
    return Device::current().component<Board>();
}

} // namespace

PVOID MmMapIoSpace(PHYSICAL_ADDRESS address, ULONG bytes, BOOLEAN)
{
    void* pointer = nullptr;
    if (address.QuadPart >= 0 && bytes)
        pointer = board().map(static_cast<uint64_t>(address.QuadPart), bytes, true);
    if (!pointer)
        Device::current().write_debug(format_wide(u"MmMapIoSpace: no board memory at %08llx (%u bytes)\r\n",
            static_cast<unsigned long long>(address.QuadPart), bytes));
    return pointer;
}

void MmUnmapIoSpace(PVOID base, ULONG bytes)
{
    if (!board().unmap(base, bytes))
        Device::current().write_debug(format_wide(u"MmUnmapIoSpace: %u bytes were not mapped there\r\n", bytes));
}

ULONG READ_REGISTER_ULONG(volatile ULONG* address)
{
    return board().read_register(address);
}

void WRITE_REGISTER_ULONG(volatile ULONG* address, ULONG value)
{
    board().write_register(address, value);
}

PVOID FixedVirtualAddress(DWORD address)
{
    void* pointer = nullptr;
    if (address >= FrameBuffer::physical_address && address < FrameBuffer::physical_address + FrameBuffer::size_in_bytes)
        pointer = board().map(address, 1, false);
    else if (address == Board::reset_register)
        pointer = board().map(address, sizeof(ULONG), false);
    if (!pointer)
        Device::current().write_debug(format_wide(u"FixedVirtualAddress: no fixed address %08x\r\n", address));
    return pointer;
}
