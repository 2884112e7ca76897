#include "SkinBoxes.h"

#include "kernel/Device.h"

#include <algorithm>
#include <mutex>

namespace kivo {

SkinBoxes::SkinBoxes(Device& device)
    : m_records(device.trace_limit())
{
}

void SkinBoxes::set_responder(Responder responder)
{
    std::lock_guard guard(m_lock);
    m_responder = std::move(responder);
}

SkinBoxes::Responder SkinBoxes::responder() const
{
    std::lock_guard guard(m_lock);
    return m_responder;
}

std::vector<SkinBoxRecord> SkinBoxes::shown() const
{
    std::lock_guard guard(m_lock);
    std::vector<SkinBoxRecord> result;
    for (auto& record : m_records)
        result.push_back(*record);
    return result;
}

std::shared_ptr<SkinBoxRecord> SkinBoxes::opened(HWND box, SkinBoxRecord record)
{
    auto shared = std::make_shared<SkinBoxRecord>(std::move(record));
    std::lock_guard guard(m_lock);
    m_records.append(shared);
    m_open.push_back({ box, {} });
    return shared;
}

void SkinBoxes::closed(HWND box, const std::shared_ptr<SkinBoxRecord>& record, std::u16string answer)
{
    std::lock_guard guard(m_lock);
    std::erase_if(m_open, [&](const Open& open) { return open.box == box; });
    record->answer = std::move(answer);
    record->open = false;
}

std::u16string SkinBoxes::take_pending(HWND box)
{
    std::lock_guard guard(m_lock);
    for (auto& open : m_open) {
        if (open.box == box)
            return std::exchange(open.pending, {});
    }
    return {};
}

bool SkinBoxes::answer(std::u16string name)
{
    HWND box = nullptr;
    {
        std::lock_guard guard(m_lock);
        if (m_open.empty())
            return false;
        m_open.back().pending = std::move(name);
        box = m_open.back().box;
    }
    return PostMessage(box, skin_box_answer, 0, 0);
}

} // namespace kivo
