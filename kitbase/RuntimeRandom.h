#pragma once

// The C run-time's pseudo-random numbers, one generator per process as on the device: each
// process starts from seed 1, and the library never seeds it.
class RuntimeRandom {
public:
    // 0 to 32767, the run-time's rand().
    static int next();

    unsigned int m_state = 1;
};
