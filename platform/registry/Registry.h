#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "RegistryNode.h"
#include "Types.h"

#include <filesystem>
#include <memory>
#include <mutex>

namespace kivo {

class Device;

// The device's registry: one tree under three roots, kept in memory and written to its file in
// the device root when a key is flushed, at an orderly power-off and when the device goes away.
// A reset loses what was not flushed, as on the device. The file is read when the registry is
// first used; one that could not be read whole is kept aside, never overwritten.
class Registry final : public DeviceComponent {
public:
    enum class Root {
        ClassesRoot,
        CurrentUser,
        LocalMachine,
    };

    static constexpr const char* file_name = "registry.reg";

    explicit Registry(Device&);
    ~Registry() override;

    std::filesystem::path file_path() const;

    // Guards the whole tree.
    HostMutex& lock() { return m_lock; }
    std::shared_ptr<RegistryNode> root(Root);
    // Call with the lock held after any change, so that an orderly stop writes it out.
    void note_change() { m_changed = true; }

    // Writes the whole tree to the file and counts the flush; false when it cannot be written.
    bool flush();
    size_t flush_count() const;
    // How many lines of the file could not be understood when it was read.
    size_t skipped_lines() const { return m_skipped_lines; }

    void device_stopping(StopReason) override;

private:
    std::filesystem::path temporary_path() const;
    bool keep_file_aside();
    bool write_file();

    Device& m_device;
    mutable HostMutex m_lock { LockRank::Registry };
    std::shared_ptr<RegistryNode> m_classes_root = std::make_shared<RegistryNode>(u"HKEY_CLASSES_ROOT");
    std::shared_ptr<RegistryNode> m_current_user = std::make_shared<RegistryNode>(u"HKEY_CURRENT_USER");
    std::shared_ptr<RegistryNode> m_local_machine = std::make_shared<RegistryNode>(u"HKEY_LOCAL_MACHINE");
    bool m_changed = false;
    size_t m_flush_count = 0;
    size_t m_skipped_lines = 0;
    bool m_keep_file_aside = false;
};

} // namespace kivo
