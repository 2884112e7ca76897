#include "SentMessage.h"

namespace kivo {

SentMessage::SentMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
    : m_hwnd(hwnd)
    , m_message(message)
    , m_wparam(wparam)
    , m_lparam(lparam)
{
}

void SentMessage::copy_data(const COPYDATASTRUCT& source)
{
    auto* bytes = static_cast<const BYTE*>(source.lpData);
    if (bytes && source.cbData)
        m_data.assign(bytes, bytes + source.cbData);
    m_copy = { source.dwData, static_cast<DWORD>(m_data.size()), m_data.empty() ? nullptr : m_data.data() };
    m_lparam = reinterpret_cast<LPARAM>(&m_copy);
}

void SentMessage::complete(LRESULT result)
{
    m_result = result;
    m_done = true;
    wake_waiters();
}

} // namespace kivo
