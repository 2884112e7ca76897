#include "Board.h"

#include "Device.h"
#include "FrameBuffer.h"
#include "Process.h"
#include "Volumes.h"

#include <algorithm>
#include <cstring>

namespace kivo {

Board::Board(Device& device)
    : m_device(device)
    , m_writes(device.trace_limit())
{
    add_registers(gpio_base, gpio_length);
    add_registers(display_base, display_length);
    add_registers(pin_setup_base, pin_setup_length);
    add_registers(video_base, video_length);
    add_registers(reset_register, sizeof(uint32_t));
    auto& frame_buffer = device.component<FrameBuffer>();
    m_windows.push_back({ FrameBuffer::physical_address, static_cast<uint32_t>(FrameBuffer::size_in_bytes),
        reinterpret_cast<uint8_t*>(frame_buffer.pixels()), nullptr });
    // The board as it starts: a card in its slot and a tuner fitted (both read as 0), the power
    // hold line up.
    set_gpio_bit(gpio_power_hold, 31, true);
    // The card-detect line follows the card in its slot (present, mounted or not).
    auto& volumes = device.component<Volumes>();
    set_card_inserted(volumes.card_present());
    m_listener_link = std::make_shared<ListenerLink>();
    m_listener_link->board = this;
    volumes.add_card_listener([link = m_listener_link, &volumes](bool) {
        std::lock_guard guard(link->lock);
        if (link->board)
            link->board->set_card_inserted(volumes.card_present());
    });
}

Board::~Board()
{
    std::lock_guard guard(m_listener_link->lock);
    m_listener_link->board = nullptr;
}

void Board::add_registers(uint32_t base, uint32_t length)
{
    auto storage = std::make_unique<uint32_t[]>((length + 3) / 4);
    uint8_t* memory = reinterpret_cast<uint8_t*>(storage.get());
    m_windows.push_back({ base, length, memory, std::move(storage) });
}

const Board::Window* Board::window_at(uint64_t address, uint64_t length) const
{
    for (auto& window : m_windows) {
        if (address >= window.base && address + length <= uint64_t(window.base) + window.length)
            return &window;
    }
    return nullptr;
}

const Board::Window* Board::window_of(const volatile void* pointer) const
{
    auto at = reinterpret_cast<uintptr_t>(pointer);
    for (auto& window : m_windows) {
        auto start = reinterpret_cast<uintptr_t>(window.memory);
        if (at >= start && at < start + window.length)
            return &window;
    }
    return nullptr;
}

void* Board::map(uint64_t address, uint32_t length, bool record)
{
    std::lock_guard guard(m_lock);
    auto* window = window_at(address, std::max<uint32_t>(length, 1));
    if (!window)
        return nullptr;
    void* pointer = window->memory + (address - window->base);
    if (record)
        m_mappings.push_back({ pointer, length, &Process::current() });
    return pointer;
}

bool Board::unmap(void* pointer, uint32_t length)
{
    std::lock_guard guard(m_lock);
    auto it = std::find_if(m_mappings.begin(), m_mappings.end(), [&](const Mapping& mapping) {
        return mapping.pointer == pointer && mapping.length == length && mapping.owner == &Process::current();
    });
    if (it == m_mappings.end())
        return false;
    m_mappings.erase(it);
    return true;
}

size_t Board::mapping_count() const
{
    std::lock_guard guard(m_lock);
    return m_mappings.size();
}

void Board::process_ending(Process& process)
{
    std::lock_guard guard(m_lock);
    std::erase_if(m_mappings, [&](const Mapping& mapping) { return mapping.owner == &process; });
}

std::optional<uint32_t> Board::address_of(const volatile void* pointer) const
{
    std::lock_guard guard(m_lock);
    auto* window = window_of(pointer);
    if (!window)
        return std::nullopt;
    return window->base + static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer) - reinterpret_cast<uintptr_t>(window->memory));
}

uint32_t Board::load(const Window& window, uint32_t address) const
{
    uint32_t value;
    std::memcpy(&value, window.memory + (address - window.base), sizeof value);
    return value;
}

void Board::store(const Window& window, uint32_t address, uint32_t value)
{
    std::memcpy(window.memory + (address - window.base), &value, sizeof value);
}

uint32_t Board::read_register(const volatile uint32_t* pointer)
{
    std::lock_guard guard(m_lock);
    auto* window = window_of(pointer);
    // Memory outside the board is read as the accessor would read any memory.
    if (!window)
        return *pointer;
    uint32_t address = window->base + static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer) - reinterpret_cast<uintptr_t>(window->memory));
    if (!window_at(address, sizeof(uint32_t)))
        return 0;
    return load(*window, address);
}

void Board::write_register(volatile uint32_t* pointer, uint32_t value)
{
    bool reset = false;
    {
        std::lock_guard guard(m_lock);
        auto* window = window_of(pointer);
        if (!window) {
            *pointer = value;
            return;
        }
        uint32_t address = window->base + static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer) - reinterpret_cast<uintptr_t>(window->memory));
        // A register straddling the end of its window does not exist; the write goes nowhere.
        if (!window_at(address, sizeof(uint32_t)))
            return;
        store(*window, address, value);
        m_writes.append({ address, value, m_device.clock().now_ms() });
        reset = address == reset_register && (value & reset_bit);
    }
    if (reset)
        m_device.stop(StopReason::Reset);
}

std::vector<Board::RegisterWrite> Board::writes() const
{
    std::lock_guard guard(m_lock);
    return m_writes.all();
}

uint32_t Board::register_value(uint32_t address) const
{
    std::lock_guard guard(m_lock);
    auto* window = window_at(address, sizeof(uint32_t));
    return window ? load(*window, address) : 0;
}

void Board::set_register(uint32_t address, uint32_t value)
{
    std::lock_guard guard(m_lock);
    if (auto* window = window_at(address, sizeof(uint32_t)))
        store(*window, address, value);
}

bool Board::gpio_bit(uint32_t offset, int bit) const
{
    return (register_value(gpio_base + offset) >> bit) & 1;
}

void Board::set_gpio_bit(uint32_t offset, int bit, bool set)
{
    std::lock_guard guard(m_lock);
    auto* window = window_at(gpio_base + offset, sizeof(uint32_t));
    uint32_t value = load(*window, gpio_base + offset);
    value = set ? (value | (1u << bit)) : (value & ~(1u << bit));
    store(*window, gpio_base + offset, value);
}

} // namespace kivo
