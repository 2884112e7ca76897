#pragma once

#include "KernelObject.h"

#include <cstddef>
#include <memory>

namespace kivo {

// A block of shared memory behind a mapping handle (the device's page-file mappings). It lives as
// long as a handle or a view holds it; the name goes with it.
class FileMapping final : public KernelObject {
public:
    explicit FileMapping(size_t size)
        : m_memory(std::make_unique<std::byte[]>(size))
        , m_size(size)
    {
    }
    const char* kind() const override { return "file mapping"; }

    std::byte* memory() const { return m_memory.get(); }
    size_t size() const { return m_size; }

private:
    std::unique_ptr<std::byte[]> m_memory;
    size_t m_size;
};

} // namespace kivo
