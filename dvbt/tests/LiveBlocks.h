#pragma once

#include <cstddef>

// The number of blocks from operator new (all forms, in every library of the process) not yet
// deleted, so a test can see that destroying an owner gave back all it held.
std::ptrdiff_t live_blocks();
