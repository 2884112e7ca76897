#pragma once

// The root of the MFC-shaped classes: only a virtual destructor, so that objects can be kept and
// deleted through base pointers.
class CObject {
public:
    virtual ~CObject() = default;

protected:
    CObject() = default;
};
