#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Types.h"

#include <map>
#include <mutex>

namespace kivo {

class Device;

// 32-bit tokens for memory blocks (shared-memory views, heap blocks) that the system's records
// keep in 32-bit fields: a record holds the token, never a host pointer, and the layer resolves
// it back. Tokens are never 0 and never reused within a run, so a stale one resolves to nothing.
class BlockTokens final : public DeviceComponent {
public:
    explicit BlockTokens(Device&) { }

    // The block's token; the same one while the block keeps it.
    DWORD issue(void* block);
    // The block, or null for an unknown or revoked token.
    void* resolve(DWORD token) const;
    // 0 when the block has no token.
    DWORD token_of(const void* block) const;
    bool revoke(DWORD token);

private:
    mutable HostMutex m_lock { LockRank::BlockTokens };
    std::map<DWORD, void*> m_blocks;
    std::map<const void*, DWORD> m_tokens;
    DWORD m_next = 0x10001;
};

} // namespace kivo
