#include "../../kernel/tests/TestDevice.h"

#include "Board.h"
#include "FrameBuffer.h"
#include "KernelApi.h"
#include "Process.h"
#include "Volumes.h"
#include "platform.h"

#include <gtest/gtest.h>

using namespace kivo;
using namespace kivo::test;

namespace {

PHYSICAL_ADDRESS physical(uint32_t address)
{
    PHYSICAL_ADDRESS result;
    result.QuadPart = address;
    return result;
}

volatile ULONG* reg(void* window, uint32_t offset)
{
    return reinterpret_cast<volatile ULONG*>(static_cast<uint8_t*>(window) + offset);
}

} // namespace

TEST(Board, SignalsSetByTheTestReadBackThroughTheMappedWindow)
{
    auto device = make_test_device();
    auto& board = device->component<Board>();
    void* gpio = MmMapIoSpace(physical(0xF005A000), 320, FALSE);
    ASSERT_NE(gpio, nullptr);
    EXPECT_EQ(board.mapping_count(), 1u);

    struct Case {
        const char* what;
        std::function<void(bool)> set;
        uint32_t offset;
        int bit;
        bool bit_when_set;
    } cases[] = {
        { "card inserted", [&](bool on) { board.set_card_inserted(on); }, 0xE0, 4, false },
        { "tuner fitted", [&](bool on) { board.set_tuner_fitted(on); }, 0xE0, 15, false },
        { "antenna external", [&](bool on) { board.set_antenna_external(on); }, 0xA0, 6, true },
    };
    for (auto& c : cases) {
        for (bool on : { true, false, true }) {
            c.set(on);
            bool bit = (READ_REGISTER_ULONG(reg(gpio, c.offset)) >> c.bit) & 1;
            EXPECT_EQ(bit, on == c.bit_when_set) << c.what << " " << on;
        }
    }
    EXPECT_TRUE(board.card_inserted());
    // Reads are not writes: nothing is traced.
    EXPECT_TRUE(board.writes().empty());

    MmUnmapIoSpace(gpio, 320);
    EXPECT_EQ(board.mapping_count(), 0u);
}

TEST(Board, RegisterWritesAreTracedInOrderAndDriveTheSignals)
{
    auto device = make_test_device();
    auto& board = device->component<Board>();
    void* gpio = MmMapIoSpace(physical(0xF005A000), 320, FALSE);
    void* display = MmMapIoSpace(physical(0xF0057100), 56, FALSE);
    ASSERT_TRUE(gpio && display);
    auto modify = [&](uint32_t offset, int bit, bool set) {
        ULONG value = READ_REGISTER_ULONG(reg(gpio, offset));
        WRITE_REGISTER_ULONG(reg(gpio, offset), set ? value | (1u << bit) : value & ~(1u << bit));
    };
    // The tuner's switch-on sequence, then the antenna, then the power hold.
    modify(0x40, 12, false);
    modify(0x40, 12, true);
    modify(0xE0, 0, true);
    device->advance(5);
    modify(0xE0, 7, true);
    modify(0xA0, 6, true);
    modify(0x80, 31, false);
    WRITE_REGISTER_ULONG(reg(display, 0x24), 0xA0000000);

    uint64_t t = board.writes().at(0).time_ms;
    std::vector<Board::RegisterWrite> expected {
        { 0xF005A040, 0, t },
        { 0xF005A040, 1u << 12, t },
        { 0xF005A0E0, 1, t },
        { 0xF005A0E0, 0x81, t + 5 },
        { 0xF005A0A0, 1u << 6, t + 5 },
        { 0xF005A080, 0, t + 5 },
        { 0xF0057124, 0xA0000000, t + 5 },
    };
    EXPECT_EQ(board.writes(), expected);
    EXPECT_TRUE(board.tuner_powered());
    EXPECT_TRUE(board.antenna_external());
    EXPECT_FALSE(board.power_hold());
    EXPECT_FALSE(board.shutdown_requested());
    modify(0xE4, 17, true);
    modify(0xE0, 17, true);
    EXPECT_TRUE(board.shutdown_requested());

    // A store that bypasses the accessor lands in the register but not in the trace.
    *reg(gpio, 0x1C) = 0x55;
    EXPECT_EQ(board.register_value(0xF005A01C), 0x55u);
    EXPECT_EQ(board.address_of(reg(gpio, 0x1C)), 0xF005A01Cu);
    EXPECT_EQ(board.writes().size(), expected.size() + 2);
}

TEST(Board, MappingOutsideTheBoardFailsAndMappingsEndWithTheirProcess)
{
    auto device = make_test_device();
    auto& board = device->component<Board>();
    struct Case {
        uint32_t address;
        ULONG bytes;
        bool mapped;
    } cases[] = {
        { 0xF005A000, 320, true },
        { 0xF005A0E0, 8, true },
        { 0xF005A000, 321, false },
        { 0xF0057800, 4, true },
        { 0xF3001000, 72, true },
        { 0x12345678, 4, false },
        { 0xF005A000, 0, false },
    };
    for (auto& c : cases) {
        void* pointer = MmMapIoSpace(physical(c.address), c.bytes, FALSE);
        EXPECT_EQ(pointer != nullptr, c.mapped) << std::hex << c.address;
        if (pointer)
            MmUnmapIoSpace(pointer, c.bytes);
    }
    PHYSICAL_ADDRESS high;
    high.QuadPart = 0x1F005A000LL;
    EXPECT_EQ(MmMapIoSpace(high, 4, FALSE), nullptr);
    EXPECT_EQ(board.mapping_count(), 0u);
    auto lines = debug_lines(*device);
    EXPECT_EQ(lines.size(), 4u);

    void* gpio = MmMapIoSpace(physical(0xF005A000), 320, FALSE);
    MmUnmapIoSpace(gpio, 4);
    EXPECT_EQ(board.mapping_count(), 1u);
    EXPECT_EQ(debug_lines(*device).back(), "MmUnmapIoSpace: 4 bytes were not mapped there");

    device->programs().add(u"\\mapper.exe", [](std::u16string_view) {
        MmMapIoSpace(physical(0xF005A000), 320, FALSE);
        Sleep(100);
        return 0;
    });
    DWORD error = 0;
    ASSERT_TRUE(device->create_process(u"\\mapper.exe", u"", error));
    device->run_until_idle();
    EXPECT_EQ(board.mapping_count(), 2u);
    device->advance(100);
    EXPECT_EQ(board.mapping_count(), 1u);
}

TEST(Board, TheFixedFrameBufferAddressIsTheScreensMemory)
{
    auto device = make_test_device();
    auto& frame_buffer = device->component<FrameBuffer>();
    auto* pixels = static_cast<uint16_t*>(FixedVirtualAddress(0xA0000000));
    ASSERT_EQ(pixels, frame_buffer.pixels());
    // A full-screen fill covers both pages, two pixels a store.
    auto* words = reinterpret_cast<uint32_t*>(pixels);
    uint32_t colour = FrameBuffer::rgb565(255, 102, 255);
    EXPECT_EQ(colour, 0xFB3Fu);
    for (size_t i = 0; i < FrameBuffer::size_in_bytes / 4; ++i)
        words[i] = colour | (colour << 16);
    EXPECT_EQ(frame_buffer.pixel(0, 0), 0xFB3F);
    EXPECT_EQ(frame_buffer.pixel(479, 271), 0xFB3F);
    EXPECT_EQ(frame_buffer.pixels()[FrameBuffer::size_in_bytes / 2 - 1], 0xFB3F);

    EXPECT_EQ(FixedVirtualAddress(0xA0000000 + 2 * 480), pixels + 480);
    EXPECT_EQ(MmMapIoSpace(physical(0xA0000000), FrameBuffer::size_in_bytes, FALSE), pixels);
    EXPECT_EQ(FixedVirtualAddress(0xA0000000 + FrameBuffer::size_in_bytes), nullptr);
    EXPECT_EQ(FixedVirtualAddress(0xB3000024), nullptr);
}

TEST(Board, WritingTheResetBitEndsTheRunAndTheWriterNeverReturns)
{
    auto device = make_test_device();
    auto& board = device->component<Board>();
    std::vector<std::string> steps;
    device->programs().add(u"\\NAND\\App\\hubscreen.exe", [&](std::u16string_view) {
        auto* reset = static_cast<volatile ULONG*>(FixedVirtualAddress(0xB3000028));
        WRITE_REGISTER_ULONG(reset, READ_REGISTER_ULONG(reset) | 1);
        steps.push_back("bit 0 written");
        WRITE_REGISTER_ULONG(reset, READ_REGISTER_ULONG(reset) | 0x80000000);
        steps.push_back("returned from the reset");
        return 0;
    });
    DWORD error = 0;
    auto process = device->create_process(u"\\NAND\\App\\hubscreen.exe", u"", error);
    ASSERT_TRUE(process);
    device->run_until_idle();
    EXPECT_EQ(steps, std::vector<std::string> { "bit 0 written" });
    EXPECT_EQ(device->stop_reason(), StopReason::Reset);
    ASSERT_EQ(board.writes().size(), 2u);
    EXPECT_EQ(board.writes()[1].address, 0xB3000028u);
    EXPECT_EQ(board.writes()[1].value, 0x80000001u);
    EXPECT_TRUE(process->ended());
}

TEST(Board, CardDetectFollowsTheCardInItsSlot)
{
    auto device = make_test_device();
    auto& volumes = device->component<Volumes>();
    volumes.set_card_present(false);
    auto& board = device->component<Board>();
    EXPECT_FALSE(board.card_inserted()); // a board made after the card left sees it gone
    volumes.set_card_present(true);
    EXPECT_TRUE(board.card_inserted());
    volumes.set_card_mounted(false); // dismounted for a format, but still in the slot
    EXPECT_TRUE(board.card_inserted());
    volumes.set_card_present(false);
    EXPECT_FALSE(board.card_inserted());
    EXPECT_EQ(GetFileAttributes(u"\\SDMMC"), INVALID_FILE_ATTRIBUTES);
}

TEST(Board, TheWriteTraceKeepsTheNewestUpToTheTraceLimit)
{
    auto device = make_test_device();
    device->trace_limit().set(2);
    auto& board = device->component<Board>();
    void* gpio = MmMapIoSpace(physical(Board::gpio_base), Board::gpio_length, FALSE);
    ASSERT_NE(gpio, nullptr);
    for (ULONG value = 1; value <= 4; ++value)
        WRITE_REGISTER_ULONG(reg(gpio, 0x1C), value);
    auto writes = board.writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].value, 3u);
    EXPECT_EQ(writes[1].value, 4u);
    EXPECT_EQ(board.register_value(Board::gpio_base + 0x1C), 4u);
    MmUnmapIoSpace(gpio, Board::gpio_length);
}

// A board that goes first (one a second thread made at the same time is dropped) is no longer told
// of the card; the board kept still is.
TEST(Board, ADroppedBoardHearsNoMoreOfTheCard)
{
    auto device = make_test_device();
    auto& volumes = device->component<Volumes>();
    auto& board = device->component<Board>();
    std::make_unique<Board>(*device).reset();
    volumes.set_card_present(false);
    EXPECT_FALSE(board.card_inserted());
    volumes.set_card_present(true);
    EXPECT_TRUE(board.card_inserted());
}
