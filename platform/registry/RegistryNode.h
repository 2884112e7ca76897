#pragma once

#include "Types.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// One key of the registry tree: its name as created, its values and its subkeys, both found
// without regard to case and kept in that order. Guarded by the registry's lock.
class RegistryNode {
public:
    struct Value {
        std::u16string name;
        DWORD type = 0;
        std::vector<uint8_t> data;
    };

    explicit RegistryNode(std::u16string name)
        : m_name(std::move(name))
    {
    }

    const std::u16string& name() const { return m_name; }

    // A deleted key stays alive for the handles still open to it, which then fail.
    bool deleted() const { return m_deleted; }

    std::shared_ptr<RegistryNode> child(std::u16string_view name) const;
    // The existing subkey of that name, or a new one.
    std::shared_ptr<RegistryNode> add_child(std::u16string_view name, bool& created);
    // Removes the subkey and everything below it.
    bool remove_child(std::u16string_view name);
    size_t child_count() const { return m_children.size(); }
    std::shared_ptr<RegistryNode> child_at(size_t index) const;

    const Value* value(std::u16string_view name) const;
    void set_value(std::u16string_view name, DWORD type, std::vector<uint8_t> data);
    bool remove_value(std::u16string_view name);
    size_t value_count() const { return m_values.size(); }
    const Value* value_at(size_t index) const;

    // Names compare as the device compares them: folded to one case.
    static std::u16string key_of(std::u16string_view name);
    // A key's own name: 1 to 255 characters, no backslash (it separates the names of a path) and
    // no control character, so that it reads back from the registry's file as the same one key.
    static bool is_valid_key_name(std::u16string_view name);

private:
    void mark_deleted();

    std::u16string m_name;
    bool m_deleted = false;
    std::map<std::u16string, std::shared_ptr<RegistryNode>> m_children;
    std::map<std::u16string, Value> m_values;
};

} // namespace kivo
