#pragma once

#include "KernelObject.h"

namespace kivo {

class StreamDriver;

// What a handle of an opened stream driver stands for. It touches its driver only in control
// calls, so a handle may outlive the driver as the device goes away.
class DriverOpen final : public KernelObject {
public:
    explicit DriverOpen(StreamDriver& driver)
        : m_driver(driver)
    {
    }

    const char* kind() const override { return "driver"; }
    StreamDriver& driver() const { return m_driver; }

private:
    StreamDriver& m_driver;
};

} // namespace kivo
