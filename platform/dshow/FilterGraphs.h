#pragma once

#include "DShowApi.h"
#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Types.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kivo {

class Device;

// The filter graphs alive on the device as seen from outside the programs that hold them: each
// graph's state and the files its sources read, so that a test or the simulator can tell what
// plays. Each graph keeps its own entry up to date; the entry goes when the graph is destroyed.
class FilterGraphs final : public DeviceComponent {
public:
    struct Graph {
        FILTER_STATE state = State_Stopped;
        // The device paths its file sources read, in the order they joined the graph.
        std::vector<std::u16string> files;
    };

    explicit FilterGraphs(Device&) { }

    // The graphs alive now, oldest first.
    std::vector<Graph> graphs() const;

    // Called by the graphs: a new graph answers its key.
    uint64_t add();
    void remove(uint64_t key);
    void set_state(uint64_t key, FILTER_STATE);
    void set_files(uint64_t key, std::vector<std::u16string>);

private:
    mutable HostMutex m_lock { LockRank::FilterGraphs };
    std::map<uint64_t, Graph> m_graphs;
    uint64_t m_next_key = 1;
};

} // namespace kivo
