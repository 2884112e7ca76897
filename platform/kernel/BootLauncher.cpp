#include "BootLauncher.h"

#include "Device.h"
#include "WideText.h"

#include <algorithm>

namespace kivo {

void BootLauncher::set_table(std::vector<Entry> table)
{
    std::lock_guard guard(m_lock);
    m_table = std::move(table);
    m_started.assign(m_table.size(), false);
    m_signalled.clear();
    m_booted = false;
}

void BootLauncher::boot()
{
    {
        std::lock_guard guard(m_lock);
        m_booted = true;
    }
    start_ready_entries();
}

void BootLauncher::signal_started(DWORD launch_number)
{
    {
        std::lock_guard guard(m_lock);
        m_signalled.insert(launch_number);
        if (!m_booted)
            return;
    }
    start_ready_entries();
}

bool BootLauncher::was_signalled(DWORD launch_number) const
{
    std::lock_guard guard(m_lock);
    return m_signalled.contains(launch_number);
}

void BootLauncher::start_ready_entries()
{
    std::vector<Entry> to_start;
    {
        std::lock_guard guard(m_lock);
        for (size_t i = 0; i < m_table.size(); ++i) {
            auto& entry = m_table[i];
            bool ready = std::all_of(entry.depends_on.begin(), entry.depends_on.end(), [&](DWORD n) { return m_signalled.contains(n); });
            if (!m_started[i] && ready) {
                m_started[i] = true;
                to_start.push_back(entry);
            }
        }
    }
    for (auto& entry : to_start) {
        DWORD error = 0;
        if (!m_device.create_process(entry.image_path, to_utf16(std::to_string(entry.launch_number)), error)) {
            m_device.write_debug(u"boot: cannot start " + entry.image_path + u" (error " + to_utf16(std::to_string(error)) + u")\r\n");
        }
    }
}

} // namespace kivo
