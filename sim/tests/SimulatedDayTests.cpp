#include "BacklightDriver.h"
#include "Gdi.h"
#include "Simulator.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kivo;

namespace {

// The traces a device keeps, each with how many entries it holds now. A record that becomes a
// Trace following the device's limit gets its line here.
struct KeptTrace {
    const char* name;
    std::function<size_t(Device&)> size;
};

const KeptTrace kept_traces[] = {
    { "debug log", [](Device& device) { return device.debug_log().size(); } },
    { "draw log", [](Device& device) { return device.component<Gdi>().draw_log().entries().size(); } },
    { "backlight driver calls", [](Device& device) { return device.component<BacklightDriver>().calls().size(); } },
};

} // namespace

// The simulator runs for days: with its traces capped, a day of the home screen (its clock redrawn
// every minute, its debug output, its draw log recorded as tests do, the backlight driver's calls)
// leaves no trace longer than the cap. The cap is below what the home screen writes in its first minute, so every trace here
// has to drop entries to pass.
TEST(SimulatedDay, EveryTraceStaysWithinTheCap)
{
    constexpr size_t cap = 2;
    auto root = std::filesystem::temp_directory_path() / ("kivo-sim-day-" + std::to_string(::getpid()));
    Simulator::Options options { root, ClockMode::Virtual, false, root / "shots" };
    options.trace_limit = cap;
    Simulator simulator(options);
    simulator.boot();
    Device& device = simulator.device();
    EXPECT_EQ(device.trace_limit().get(), cap);
    device.component<Gdi>().draw_log().set_recording(true);

    device.advance(24 * 60 * 60 * 1000);

    EXPECT_TRUE(device.running());
    for (const auto& trace : kept_traces)
        EXPECT_LE(trace.size(device), cap) << trace.name;
    simulator.boot(); // the next boot's device keeps the cap too
    EXPECT_EQ(simulator.device().trace_limit().get(), cap);
    std::filesystem::remove_all(root);
}
