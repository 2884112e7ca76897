#include "FilterGraphs.h"

#include <mutex>

namespace kivo {

std::vector<FilterGraphs::Graph> FilterGraphs::graphs() const
{
    std::lock_guard guard(m_lock);
    std::vector<Graph> list;
    for (auto& [key, graph] : m_graphs)
        list.push_back(graph);
    return list;
}

uint64_t FilterGraphs::add()
{
    std::lock_guard guard(m_lock);
    uint64_t key = m_next_key++;
    m_graphs[key] = {};
    return key;
}

void FilterGraphs::remove(uint64_t key)
{
    std::lock_guard guard(m_lock);
    m_graphs.erase(key);
}

void FilterGraphs::set_state(uint64_t key, FILTER_STATE state)
{
    std::lock_guard guard(m_lock);
    if (auto it = m_graphs.find(key); it != m_graphs.end())
        it->second.state = state;
}

void FilterGraphs::set_files(uint64_t key, std::vector<std::u16string> files)
{
    std::lock_guard guard(m_lock);
    if (auto it = m_graphs.find(key); it != m_graphs.end())
        it->second.files = std::move(files);
}

} // namespace kivo
