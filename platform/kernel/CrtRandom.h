#pragma once

// The device's C run-time rand and srand: one generator per simulated process, seeded 1 when the
// process starts, as each program on the device has its own. platform.h maps the system's rand
// and srand to these, after the host's own are declared.

#include <cstdlib>

// 0 to RAND_MAX (32767), the run-time's linear congruential generator.
int kivo_rand();
void kivo_srand(unsigned int seed);

// Standard headers read after the mapping name std::rand, which then means ours.
namespace std {
using ::kivo_rand;
using ::kivo_srand;
} // namespace std
