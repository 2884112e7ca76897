#pragma once

// CEDDK's calls for the board's registers: mapping a window of physical registers into the
// program and the register accessors. On the simulated device the mapped address is a host
// pointer into simulated board memory, and the accessors must be used for every register.

#include "kernel/Types.h"

using PHYSICAL_ADDRESS = LARGE_INTEGER;

PVOID MmMapIoSpace(PHYSICAL_ADDRESS, ULONG bytes, BOOLEAN cache_enable);
void MmUnmapIoSpace(PVOID base, ULONG bytes);

ULONG READ_REGISTER_ULONG(volatile ULONG* address);
// Writing the reset bit of the reset register resets the device; the writer never returns.
void WRITE_REGISTER_ULONG(volatile ULONG* address, ULONG value);

// The layer's stand-in for the board's fixed virtual addresses (the frame buffer at 0xA0000000,
// the reset register at 0xB3000028): where a program on the device uses the address itself, it
// uses this call's answer. Null for an address the board does not have.
PVOID FixedVirtualAddress(DWORD address);
