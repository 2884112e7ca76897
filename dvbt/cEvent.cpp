#include "cEvent.h"

#include <tuple>

cEvent::EVENT::~EVENT()
{
    delete[] m_pszName;
    delete[] m_pszShortText;
    delete[] m_pszExtendedText;
}

cEvent::cEvent(EVENT* event)
    : m_pEvent(event)
{
}

bool cEvent::operator<(const cEvent& other) const
{
    auto startKey = [](const SYSTEMTIME& t) {
        return std::tie(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    };
    return startKey(m_pEvent->m_stStart) < startKey(other.m_pEvent->m_stStart);
}
