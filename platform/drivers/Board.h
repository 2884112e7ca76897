#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Trace.h"
#include "Types.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kivo {

class Device;

// The board's memory as programs reach it: the register windows (general-purpose I/O and the
// display controller's), the reset register and the frame buffer, each simulated memory at its
// address. Programs map a window with CEDDK and get a host pointer into it; register accessors
// recognise such pointers, keep a trace of writes and reset the device when the reset bit is
// written. Tests and the simulator read and set the general-purpose I/O bits by name.
class Board final : public DeviceComponent {
public:
    static constexpr uint32_t gpio_base = 0xF005A000;
    static constexpr uint32_t gpio_length = 320;
    static constexpr uint32_t display_base = 0xF0057100;
    static constexpr uint32_t display_length = 56;
    static constexpr uint32_t pin_setup_base = 0xF0057800;
    static constexpr uint32_t pin_setup_length = 4;
    static constexpr uint32_t video_base = 0xF3001000;
    static constexpr uint32_t video_length = 72;
    static constexpr uint32_t reset_register = 0xB3000028;
    static constexpr uint32_t reset_bit = 1u << 31;

    // Registers of the general-purpose I/O window, by offset.
    static constexpr uint32_t gpio_power_control = 0x40; // bit 12 tuner power, bit 3 shutdown level
    static constexpr uint32_t gpio_power_enable = 0x44;  // bit 3 shutdown enable
    static constexpr uint32_t gpio_power_hold = 0x80;    // bit 31 cleared before power-off
    static constexpr uint32_t gpio_antenna = 0xA0;       // bit 6: 1 external, 0 internal
    static constexpr uint32_t gpio_port_f_data = 0xE0;   // bits 0 and 7 tuner supply, 4 card absent, 15 no tuner, 17 shutdown
    static constexpr uint32_t gpio_port_f_enable = 0xE4; // bit 15 tuner counts as fitted, 17 shutdown

    struct RegisterWrite {
        uint32_t address = 0;
        uint32_t value = 0;
        uint64_t time_ms = 0;
        bool operator==(const RegisterWrite&) const = default;
    };

    explicit Board(Device&);
    ~Board() override;

    // A host pointer to `length` bytes at a board address, or null when they are not all inside
    // one window. Mapping is recorded per process until unmapped.
    void* map(uint64_t address, uint32_t length, bool record);
    bool unmap(void* pointer, uint32_t length);
    size_t mapping_count() const;

    // The board address behind a host pointer, when it points into board memory.
    std::optional<uint32_t> address_of(const volatile void*) const;

    // The register accessors' work. A write of the reset bit resets the device; a simulated
    // thread that wrote it does not return.
    uint32_t read_register(const volatile uint32_t*);
    void write_register(volatile uint32_t*, uint32_t value);
    // The writes kept (the newest, up to the device's trace limit), oldest first.
    std::vector<RegisterWrite> writes() const;

    // Direct access for tests and the simulator; not traced.
    uint32_t register_value(uint32_t address) const;
    void set_register(uint32_t address, uint32_t value);
    bool gpio_bit(uint32_t offset, int bit) const;
    void set_gpio_bit(uint32_t offset, int bit, bool);

    // The named signals of the general-purpose I/O window.
    bool card_inserted() const { return !gpio_bit(gpio_port_f_data, 4); }
    void set_card_inserted(bool inserted) { set_gpio_bit(gpio_port_f_data, 4, !inserted); }
    bool tuner_fitted() const { return !gpio_bit(gpio_port_f_data, 15); }
    void set_tuner_fitted(bool fitted) { set_gpio_bit(gpio_port_f_data, 15, !fitted); }
    bool tuner_powered() const { return gpio_bit(gpio_port_f_data, 0) && gpio_bit(gpio_port_f_data, 7); }
    bool antenna_external() const { return gpio_bit(gpio_antenna, 6); }
    void set_antenna_external(bool external) { set_gpio_bit(gpio_antenna, 6, external); }
    bool shutdown_requested() const { return gpio_bit(gpio_port_f_enable, 17) && gpio_bit(gpio_port_f_data, 17); }
    bool power_hold() const { return gpio_bit(gpio_power_hold, 31); }

    void process_ending(Process&) override;

private:
    struct Window {
        uint32_t base;
        uint32_t length;
        uint8_t* memory;
        std::unique_ptr<uint32_t[]> storage;
    };
    struct Mapping {
        void* pointer;
        uint32_t length;
        const Process* owner;
    };

    const Window* window_at(uint64_t address, uint64_t length) const;
    const Window* window_of(const volatile void*) const;
    uint32_t load(const Window&, uint32_t address) const;
    void store(const Window&, uint32_t address, uint32_t value);
    void add_registers(uint32_t base, uint32_t length);

    // What the card listener reaches the board through: the volumes keep their listeners for
    // ever, and a board may go first (a board made by a second thread at once is dropped).
    struct ListenerLink {
        HostMutex lock { LockRank::CardListenerLink };
        Board* board;
    };

    Device& m_device;
    std::shared_ptr<ListenerLink> m_listener_link;
    mutable HostMutex m_lock { LockRank::Board };
    std::vector<Window> m_windows;
    std::vector<Mapping> m_mappings;
    Trace<RegisterWrite> m_writes;
};

} // namespace kivo
