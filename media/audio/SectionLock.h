#pragma once

#include "platform.h"

// Holds one of the layer's critical sections for a scope, so the scheduler sees any wait for it.
class SectionLock {
public:
    explicit SectionLock(CRITICAL_SECTION& section)
        : m_section(section)
    {
        EnterCriticalSection(&m_section);
    }
    ~SectionLock() { LeaveCriticalSection(&m_section); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};
