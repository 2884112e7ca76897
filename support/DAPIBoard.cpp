#include "CRegisterMap.h"
#include "DAPI.h"

#include "program_services.h"

#include <algorithm>

namespace {

constexpr DWORD gpio_tuner_control = 0x40;
constexpr DWORD gpio_shutdown_enable = 0x44;
constexpr DWORD gpio_power_hold = 0x80;
constexpr DWORD gpio_antenna = 0xA0;
constexpr DWORD gpio_port_f_data = 0xE0;
constexpr DWORD gpio_port_f_enable = 0xE4;

constexpr DWORD frame_buffer_address = 0xA0000000;
constexpr DWORD reset_register_address = 0xB3000028;
constexpr int frame_width = 480;
constexpr int frame_rows = 544; // two pages of 272 rows

constexpr ULONG bit(int index) { return ULONG(1) << index; }

// The register at an offset of window 0. When the window could not be mapped the map has said so
// already, and the calls leave the registers alone.
volatile ULONG* gpio(DWORD offset)
{
    return GetRegisterMap().m_gpio.Register(offset);
}

ULONG read_gpio(DWORD offset)
{
    auto* reg = gpio(offset);
    return reg ? READ_REGISTER_ULONG(reg) : 0;
}

void change_bits(DWORD offset, ULONG set, ULONG clear)
{
    auto* reg = gpio(offset);
    if (!reg)
        return;
    WRITE_REGISTER_ULONG(reg, (READ_REGISTER_ULONG(reg) | set) & ~clear);
}

void set_bit(DWORD offset, int index) { change_bits(offset, bit(index), 0); }
void clear_bit(DWORD offset, int index) { change_bits(offset, 0, bit(index)); }

uint16_t rgb565(BYTE red, BYTE green, BYTE blue)
{
    return static_cast<uint16_t>(((red / 8) << 11) | ((green / 4) << 5) | (blue / 8));
}

uint16_t* frame_buffer()
{
    return static_cast<uint16_t*>(FixedVirtualAddress(frame_buffer_address));
}

} // namespace

int DAPI_Init()
{
    GetRegisterMap();
    return 1;
}

void DAPI_SetTunerPower(BOOL on)
{
    if (on & 0xFF) {
        clear_bit(gpio_tuner_control, 12);
        set_bit(gpio_tuner_control, 12);
        set_bit(gpio_port_f_data, 0);
        set_bit(gpio_port_f_data, 7);
        set_bit(gpio_tuner_control, 12);
        return;
    }
    clear_bit(gpio_tuner_control, 12);
    clear_bit(gpio_port_f_data, 0);
    clear_bit(gpio_port_f_data, 7);
}

void DAPI_SetAntenna(int mode)
{
    if (mode == 0)
        clear_bit(gpio_antenna, 6);
    else if (mode == 1)
        set_bit(gpio_antenna, 6);
}

int DAPI_IsSdCardInserted()
{
    if (!gpio(gpio_port_f_data))
        return 0;
    return (read_gpio(gpio_port_f_data) & bit(4)) == 0 ? 1 : 0;
}

int DAPI_HasTvTuner()
{
    if (!gpio(gpio_port_f_enable))
        return 0;
    ULONG enable = read_gpio(gpio_port_f_enable);
    if (enable & bit(15)) {
        NKDbgPrintfW(u" -- GPIO[0].GPFEN=%x\r\n", enable);
        return 1;
    }
    ULONG data = read_gpio(gpio_port_f_data);
    NKDbgPrintfW(u"++ GPIO[0].GPFDAT=%x\r\n", data);
    return (data & bit(15)) == 0 ? 1 : 0;
}

void DAPI_PreparePowerOff()
{
    clear_bit(gpio_power_hold, 31);
}

void DAPI_ShutDown()
{
    OutputDebugString(u"+DAPI_ShutDown\n");
    read_gpio(gpio_tuner_control);
    read_gpio(gpio_port_f_data);
    set_bit(gpio_shutdown_enable, 3);
    clear_bit(gpio_tuner_control, 3);
    set_bit(gpio_port_f_enable, 17);
    set_bit(gpio_port_f_data, 17);
    OutputDebugString(u"-DAPI_ShutDown\n");
}

void DAPI_Reset()
{
    auto* reg = static_cast<volatile ULONG*>(FixedVirtualAddress(reset_register_address));
    if (reg)
        WRITE_REGISTER_ULONG(reg, READ_REGISTER_ULONG(reg) | bit(31));
    // The hardware resets the device, and a simulated thread never comes back from the write;
    // only the device's controller, which outlives the reset, sees it stopped and goes on.
    while (kivo::device_running())
        Sleep(1000);
}

void DAPI_FillScreen(COLORREF colour)
{
    DAPI_FillScreen(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

void DAPI_FillScreen(BYTE red, BYTE green, BYTE blue)
{
    auto* pixels = frame_buffer();
    if (!pixels)
        return;
    std::fill_n(pixels, size_t(frame_width) * frame_rows, rgb565(red, green, blue));
}

void DAPI_FillRect(LPCRECT rect, COLORREF colour)
{
    DAPI_FillRect(rect, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

void DAPI_FillRect(LPCRECT rect, BYTE red, BYTE green, BYTE blue)
{
    auto* pixels = frame_buffer();
    if (!rect || !pixels)
        return;
    // Clipped to the buffer, so that no row runs into the next and nothing lands outside it.
    int left = std::max<LONG>(rect->left, 0);
    int right = std::min<LONG>(rect->right, frame_width);
    int top = std::max<LONG>(rect->top, 0);
    int bottom = std::min<LONG>(rect->bottom, frame_rows - 1);
    if (left >= right)
        return;
    uint16_t value = rgb565(red, green, blue);
    for (int row = top; row <= bottom; ++row)
        std::fill_n(pixels + size_t(row) * frame_width + left, right - left, value);
}
