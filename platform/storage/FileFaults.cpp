#include "FileFaults.h"

#include "DevicePath.h"
#include "WideText.h"

#include <utility>

namespace kivo {

std::u16string FileFaults::key_of(std::u16string_view path)
{
    DWORD error = 0;
    auto parsed = DevicePath::parse(path, error);
    std::u16string key = parsed ? parsed->text() : std::u16string(path);
    for (auto& c : key)
        c = fold_case(c);
    return key;
}

void FileFaults::fail_write(std::u16string_view path, unsigned nth, DWORD error)
{
    std::lock_guard guard(m_lock);
    auto& plan = m_plans[key_of(path)];
    plan.writes_until_failure = nth;
    plan.write_error = error;
}

void FileFaults::fail_read(std::u16string_view path, unsigned nth, DWORD error)
{
    std::lock_guard guard(m_lock);
    auto& plan = m_plans[key_of(path)];
    plan.reads_until_failure = nth;
    plan.read_error = error;
}

void FileFaults::fail_close(std::u16string_view path, DWORD error)
{
    std::lock_guard guard(m_lock);
    m_plans[key_of(path)].close_error = error;
}

void FileFaults::watch(std::u16string_view path)
{
    std::lock_guard guard(m_lock);
    m_plans[key_of(path)].watched = true;
}

std::vector<DWORD> FileFaults::watched_sizes(std::u16string_view path) const
{
    std::lock_guard guard(m_lock);
    auto plan = m_plans.find(key_of(path));
    return plan == m_plans.end() ? std::vector<DWORD> {} : plan->second.sizes;
}

FileFaults::Plan* FileFaults::plan_of(std::u16string_view path)
{
    if (m_plans.empty())
        return nullptr;
    auto found = m_plans.find(key_of(path));
    return found == m_plans.end() ? nullptr : &found->second;
}

void FileFaults::clear()
{
    std::lock_guard guard(m_lock);
    m_plans.clear();
}

DWORD FileFaults::read_error(std::u16string_view path)
{
    std::lock_guard guard(m_lock);
    Plan* plan = plan_of(path);
    if (!plan || plan->reads_until_failure == 0 || --plan->reads_until_failure > 0)
        return 0;
    return plan->read_error;
}

DWORD FileFaults::write_error(std::u16string_view path, DWORD size)
{
    std::lock_guard guard(m_lock);
    Plan* plan = plan_of(path);
    if (!plan)
        return 0;
    if (plan->watched)
        plan->sizes.push_back(size);
    if (plan->writes_until_failure == 0 || --plan->writes_until_failure > 0)
        return 0;
    return plan->write_error;
}

void FileFaults::fail_create_directory(std::u16string_view path, DWORD error)
{
    std::lock_guard guard(m_lock);
    m_plans[key_of(path)].create_directory_error = error;
}

DWORD FileFaults::create_directory_error(std::u16string_view path)
{
    std::lock_guard guard(m_lock);
    Plan* plan = plan_of(path);
    return plan ? std::exchange(plan->create_directory_error, 0) : 0;
}

DWORD FileFaults::close_error(std::u16string_view path)
{
    std::lock_guard guard(m_lock);
    Plan* plan = plan_of(path);
    return plan ? std::exchange(plan->close_error, 0) : 0;
}

} // namespace kivo
