#pragma once

// A fresh device whose radio carries the default multiplexes, with the vendor's filters, and a
// test program whose window is the player's notify and preview window. Message boxes are answered
// at once and read back.

#include "RadioTestKit.h"
#include "kernel/tests/TestDevice.h"

#include "TsPlayer.h"

#include "ComClassTable.h"
#include "Filter.h"
#include "FilterGraph.h"
#include "MediaClasses.h"
#include "MessageBoxes.h"
#include "VendorFilters.h"
#include "WideText.h"
#include "broadcast/Radio.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace dvbt_test {

constexpr DWORD default_channel = 24;
// "Mountain News" on the default channel 24.
constexpr ULONG video_pid = 513, audio_pid = 514, teletext_pid = 515;

// A player whose protected parts the tests reach.
class TestPlayer : public CTsPlayer {
public:
    using CTsPlayer::GetGraphState;
    using CTsPlayer::SetSync2Audio;

    template<typename Layer>
    Layer* layer(IBaseFilter* filter) const
    {
        return filter ? dynamic_cast<Layer*>(kivo::Filter::from(filter)) : nullptr;
    }
    kivo::FilterGraph* graph() const { return kivo::FilterGraph::from(m_pGraph); }
};

// The key colour over the upper 240 lines, where the picture shows, white under it.
LRESULT CALLBACK key_page_procedure(HWND, UINT, WPARAM, LPARAM);

// Whether a pin of a filter is connected.
bool connected(IBaseFilter* filter, const WCHAR* pin);
// The PIDs a pin of the demultiplexer has mapped, in PID order.
std::vector<ULONG> maps_of(IBaseFilter* demux, const WCHAR* pin_name);

class TsPlayerTest : public ::testing::Test {
protected:
    TsPlayerTest();

    // Runs the body in the test program "\tv.exe" with COM initialised and its window made (480 x
    // 272, the key colour over the picture's place), until it returns.
    void run(const std::function<void(HWND)>& body, const std::u16string& image = u"\\tv.exe");

    // Create, add, windows and the play wiring, as the television program does.
    static void set_up_for_play(TestPlayer&, HWND window);

    std::vector<kivo::MessageBoxRecord> boxes() const { return device->component<kivo::MessageBoxes>().shown(); }
    bool debug_written(const std::string& line) const;
    int live_filters() const;

    std::unique_ptr<kivo::Device> device = kivo::test::make_test_device();
    kivo::Radio& radio = device->component<kivo::Radio>(); // a fresh root: the default multiplexes
    kivo::test::RadioTestKit kit { *device };
};

} // namespace dvbt_test
