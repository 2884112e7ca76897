#include "RegistryApi.h"

#include "Device.h"
#include "Process.h"
#include "Registry.h"
#include "RegistryKey.h"

#include <cstring>
#include <optional>
#include <vector>

using namespace kivo;

namespace {

constexpr size_t max_name_length = 255;

Device& device()
{
    return Device::current();
}

Registry& registry()
{
    return device().component<Registry>();
}

std::optional<Registry::Root> predefined_root(HKEY key)
{
    if (key == HKEY_CLASSES_ROOT)
        return Registry::Root::ClassesRoot;
    if (key == HKEY_CURRENT_USER)
        return Registry::Root::CurrentUser;
    if (key == HKEY_LOCAL_MACHINE)
        return Registry::Root::LocalMachine;
    return std::nullopt;
}

// The key an HKEY of the calling process stands for, or null for a closed or foreign handle.
std::shared_ptr<RegistryNode> resolve(Registry& tree, HKEY key)
{
    if (auto root = predefined_root(key))
        return tree.root(*root);
    auto open = device().handles().resolve_as<RegistryKey>(reinterpret_cast<HANDLE>(key), Process::current());
    return open ? open->node() : nullptr;
}

// The key to work on and the error to answer when there is none (a deleted key, a bad handle).
LONG usable(const std::shared_ptr<RegistryNode>& node)
{
    if (!node)
        return ERROR_INVALID_HANDLE;
    if (node->deleted())
        return ERROR_KEY_DELETED;
    return ERROR_SUCCESS;
}

bool is_valid_name(std::u16string_view name)
{
    if (name.size() > max_name_length)
        return false;
    // A line break could not be kept in the registry's file.
    for (char16_t c : name) {
        if (c == u'\r' || c == u'\n')
            return false;
    }
    return true;
}

// The names of a subkey path; a leading backslash (and any doubled one) is tolerated.
std::optional<std::vector<std::u16string_view>> split_path(LPCWSTR sub_key)
{
    std::vector<std::u16string_view> names;
    if (!sub_key)
        return names;
    std::u16string_view rest(sub_key);
    while (!rest.empty()) {
        size_t separator = rest.find(u'\\');
        auto name = rest.substr(0, separator);
        if (!name.empty()) {
            if (!RegistryNode::is_valid_key_name(name))
                return std::nullopt;
            names.push_back(name);
        }
        if (separator == std::u16string_view::npos)
            break;
        rest.remove_prefix(separator + 1);
    }
    return names;
}

std::u16string_view value_name_of(LPCWSTR name)
{
    return name ? std::u16string_view(name) : std::u16string_view();
}

LONG hand_out(std::shared_ptr<RegistryNode> node, PHKEY result)
{
    HANDLE handle = device().handles().insert(std::make_shared<RegistryKey>(std::move(node)), Process::current());
    *result = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

// The subkey below `base`, or null when a name on the way is missing; `base` itself for no names.
std::shared_ptr<RegistryNode> walk(std::shared_ptr<RegistryNode> node, const std::vector<std::u16string_view>& names)
{
    for (auto name : names) {
        node = node->child(name);
        if (!node)
            return nullptr;
    }
    return node;
}

// Copies a name with its terminating zero into a buffer of `room` characters; the count excludes it.
LONG copy_name(std::u16string_view name, LPWSTR buffer, LPDWORD chars)
{
    if (!buffer || !chars)
        return ERROR_INVALID_PARAMETER;
    if (*chars < name.size() + 1) {
        *chars = static_cast<DWORD>(name.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.data(), name.size() * sizeof(char16_t));
    buffer[name.size()] = 0;
    *chars = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// The platform's rule for a value's data: with no buffer only the size is told; a buffer that is
// too small gets nothing and ERROR_MORE_DATA with the size needed.
LONG copy_data(const RegistryNode::Value& value, LPDWORD type, LPBYTE data, LPDWORD data_size)
{
    if (data && !data_size)
        return ERROR_INVALID_PARAMETER;
    if (type)
        *type = value.type;
    if (!data_size)
        return ERROR_SUCCESS;
    DWORD needed = static_cast<DWORD>(value.data.size());
    DWORD room = *data_size;
    *data_size = needed;
    if (!data)
        return ERROR_SUCCESS;
    if (room < needed)
        return ERROR_MORE_DATA;
    if (needed)
        std::memcpy(data, value.data.data(), needed);
    return ERROR_SUCCESS;
}

} // namespace

LONG RegCreateKeyEx(HKEY key, LPCWSTR sub_key, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
    LPDWORD disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    auto names = split_path(sub_key);
    if (!names)
        return ERROR_INVALID_PARAMETER;
    auto& tree = registry();
    std::shared_ptr<RegistryNode> node;
    bool created = false;
    {
        std::lock_guard guard(tree.lock());
        node = resolve(tree, key);
        if (LONG error = usable(node))
            return error;
        for (auto name : *names) {
            bool made = false;
            node = node->add_child(name, made);
            created = created || made;
        }
        if (created)
            tree.note_change();
    }
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return hand_out(std::move(node), result);
}

LONG RegOpenKeyEx(HKEY key, LPCWSTR sub_key, DWORD, REGSAM, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    auto names = split_path(sub_key);
    if (!names)
        return ERROR_INVALID_PARAMETER;
    auto& tree = registry();
    std::shared_ptr<RegistryNode> node;
    {
        std::lock_guard guard(tree.lock());
        node = resolve(tree, key);
        if (LONG error = usable(node))
            return error;
        node = walk(std::move(node), *names);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
    }
    return hand_out(std::move(node), result);
}

LONG RegCloseKey(HKEY key)
{
    if (predefined_root(key))
        return ERROR_SUCCESS;
    auto& process = Process::current();
    auto& handles = device().handles();
    if (!handles.resolve_as<RegistryKey>(reinterpret_cast<HANDLE>(key), process))
        return ERROR_INVALID_HANDLE;
    handles.close(reinterpret_cast<HANDLE>(key), process);
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, LPCWSTR value_name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD data_size)
{
    auto& tree = registry();
    std::lock_guard guard(tree.lock());
    auto node = resolve(tree, key);
    if (LONG error = usable(node))
        return error;
    auto* value = node->value(value_name_of(value_name));
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    return copy_data(*value, type, data, data_size);
}

LONG RegSetValueEx(HKEY key, LPCWSTR value_name, DWORD, DWORD type, const BYTE* data, DWORD data_size)
{
    auto name = value_name_of(value_name);
    if (!is_valid_name(name) || (!data && data_size))
        return ERROR_INVALID_PARAMETER;
    std::vector<uint8_t> bytes(data, data + data_size);
    // A text is kept with its terminating zero, so that a reader always finds one.
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        if (bytes.size() % 2)
            return ERROR_INVALID_PARAMETER;
        if (bytes.size() < 2 || bytes[bytes.size() - 1] || bytes[bytes.size() - 2])
            bytes.insert(bytes.end(), { 0, 0 });
    }
    auto& tree = registry();
    std::lock_guard guard(tree.lock());
    auto node = resolve(tree, key);
    if (LONG error = usable(node))
        return error;
    node->set_value(name, type, std::move(bytes));
    tree.note_change();
    return ERROR_SUCCESS;
}

LONG RegDeleteValue(HKEY key, LPCWSTR value_name)
{
    auto& tree = registry();
    std::lock_guard guard(tree.lock());
    auto node = resolve(tree, key);
    if (LONG error = usable(node))
        return error;
    if (!node->remove_value(value_name_of(value_name)))
        return ERROR_FILE_NOT_FOUND;
    tree.note_change();
    return ERROR_SUCCESS;
}

LONG RegDeleteKey(HKEY key, LPCWSTR sub_key)
{
    auto names = split_path(sub_key);
    if (!names)
        return ERROR_INVALID_PARAMETER;
    // The key itself or a root cannot be deleted this way.
    if (names->empty())
        return ERROR_INVALID_PARAMETER;
    auto last = names->back();
    names->pop_back();
    auto& tree = registry();
    std::lock_guard guard(tree.lock());
    auto node = resolve(tree, key);
    if (LONG error = usable(node))
        return error;
    auto parent = walk(std::move(node), *names);
    if (!parent || !parent->remove_child(last))
        return ERROR_FILE_NOT_FOUND;
    tree.note_change();
    return ERROR_SUCCESS;
}

LONG RegEnumKeyEx(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD, LPWSTR key_class,
    LPDWORD class_chars, PFILETIME last_write)
{
    auto& tree = registry();
    std::lock_guard guard(tree.lock());
    auto node = resolve(tree, key);
    if (LONG error = usable(node))
        return error;
    auto child = node->child_at(index);
    if (!child)
        return ERROR_NO_MORE_ITEMS;
    if (LONG error = copy_name(child->name(), name, name_chars))
        return error;
    // Keys have no class; the time of the last write is not kept.
    if (key_class && class_chars && *class_chars)
        key_class[0] = 0;
    if (class_chars)
        *class_chars = 0;
    if (last_write)
        *last_write = {};
    return ERROR_SUCCESS;
}

LONG RegEnumValue(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD, LPDWORD type, LPBYTE data,
    LPDWORD data_size)
{
    auto& tree = registry();
    std::lock_guard guard(tree.lock());
    auto node = resolve(tree, key);
    if (LONG error = usable(node))
        return error;
    auto* value = node->value_at(index);
    if (!value)
        return ERROR_NO_MORE_ITEMS;
    if (LONG error = copy_name(value->name, name, name_chars))
        return error;
    return copy_data(*value, type, data, data_size);
}

LONG RegFlushKey(HKEY key)
{
    auto& tree = registry();
    {
        std::lock_guard guard(tree.lock());
        if (LONG error = usable(resolve(tree, key)))
            return error;
    }
    if (!tree.flush())
        return ERROR_GEN_FAILURE;
    return ERROR_SUCCESS;
}
