#pragma once

#include <string>

namespace kivo {

class Device;

// Top-level windows of nobody in the suite (for example "start warning of hubscreen", whose
// presence holds back the home screen's warnings), made and destroyed by a script. Each lives on a
// thread of its own in the device's system process, answering its messages like any window.
class OutsideWindows {
public:
    static bool open(Device&, const std::u16string& title);
    static bool close(Device&, const std::u16string& title);
};

} // namespace kivo
