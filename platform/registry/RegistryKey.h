#pragma once

#include "KernelObject.h"
#include "RegistryNode.h"

#include <memory>

namespace kivo {

// What an HKEY of a process stands for: one open key of the registry tree.
class RegistryKey final : public KernelObject {
public:
    explicit RegistryKey(std::shared_ptr<RegistryNode> node)
        : m_node(std::move(node))
    {
    }

    const char* kind() const override { return "registry key"; }
    const std::shared_ptr<RegistryNode>& node() const { return m_node; }

private:
    std::shared_ptr<RegistryNode> m_node;
};

} // namespace kivo
