#include "HostMutex.h"

#include "SimThread.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kivo {

namespace {

#ifndef NDEBUG
// The ranks the calling host thread holds, in the order it took them.
struct HeldLocks {
    std::array<LockRank, 32> ranks {};
    size_t count = 0;
};
thread_local HeldLocks t_held;

[[noreturn]] void lock_fault(const std::string& text)
{
    std::fputs(("kivo: " + text + "\n").c_str(), stderr);
    std::abort();
}

void note_taken(LockRank rank)
{
    if (t_held.count == t_held.ranks.size())
        lock_fault("too many host locks held at once");
    t_held.ranks[t_held.count++] = rank;
}
#endif

} // namespace

const char* to_string(LockRank rank)
{
    switch (rank) {
    case LockRank::Scheduler:
        return "scheduler";
    case LockRank::Processes:
        return "processes";
    case LockRank::Components:
        return "components";
    case LockRank::WindowPainter:
        return "window painter";
    case LockRank::Gdi:
        return "gdi";
    case LockRank::GdiResources:
        return "gdi resources";
    case LockRank::GdiFonts:
        return "gdi fonts";
    case LockRank::ResourceTable:
        return "resource table";
    case LockRank::FontEngine:
        return "font engine";
    case LockRank::DialogTemplates:
        return "dialog templates";
    case LockRank::MessageBoxes:
        return "message boxes";
    case LockRank::CardListenerLink:
        return "card listener link";
    case LockRank::Registry:
        return "registry";
    case LockRank::Volumes:
        return "volumes";
    case LockRank::FileSystem:
        return "file system";
    case LockRank::AttributeStore:
        return "attribute store";
    case LockRank::StorageManager:
        return "storage manager";
    case LockRank::FileMappings:
        return "file mappings";
    case LockRank::LibraryLoader:
        return "library loader";
    case LockRank::ProgramImages:
        return "program images";
    case LockRank::CrtStreams:
        return "crt streams";
    case LockRank::BlockTokens:
        return "block tokens";
    case LockRank::SoundOutput:
        return "sound output";
    case LockRank::SoundDevice:
        return "sound device";
    case LockRank::PowerNotifications:
        return "power notifications";
    case LockRank::StreamDriver:
        return "stream driver";
    case LockRank::Board:
        return "board";
    case LockRank::SystemRequests:
        return "system requests";
    case LockRank::Navigation:
        return "navigation";
    case LockRank::Phones:
        return "simulated phones";
    case LockRank::Radio:
        return "radio";
    case LockRank::OutsideWindows:
        return "outside windows";
    case LockRank::SoundCallbacks:
        return "sound callbacks";
    case LockRank::SoundLife:
        return "sound life";
    case LockRank::SampleRing:
        return "sample ring";
    case LockRank::MfcHandleMaps:
        return "mfc handle maps";
    case LockRank::ComClasses:
        return "com classes";
    case LockRank::ComApartments:
        return "com apartments";
    case LockRank::FilterCatalog:
        return "filter catalog";
    case LockRank::FilterGraphs:
        return "filter graphs";
    case LockRank::FilterClock:
        return "filter clock";
    case LockRank::AudioRendererBlocks:
        return "audio renderer blocks";
    case LockRank::VideoRendererRecord:
        return "video renderer record";
    case LockRank::VendorFilterRecord:
        return "vendor filter record";
    case LockRank::VendorFilterControl:
        return "vendor filter control";
    case LockRank::DemuxerClock:
        return "demultiplexer clock";
    case LockRank::TunerRecord:
        return "tuner record";
    case LockRank::LibraryApps:
        return "library apps";
    case LockRank::SkinBoxes:
        return "skin boxes";
    case LockRank::ZolManagers:
        return "bluetooth managers";
    case LockRank::ZolRecord:
        return "bluetooth manager record";
    case LockRank::ProcessLocals:
        return "process locals";
    case LockRank::ProgramTable:
        return "program table";
    case LockRank::BootLauncher:
        return "boot launcher";
    case LockRank::StreamDriverTable:
        return "stream driver table";
    case LockRank::NamedObjects:
        return "named objects";
    case LockRank::HandleTable:
        return "handle table";
    case LockRank::Modules:
        return "modules";
    case LockRank::DrawLog:
        return "draw log";
    case LockRank::DebugLog:
        return "debug log";
    }
    return "?";
}

void HostMutex::lock()
{
#ifndef NDEBUG
    for (size_t i = 0; i < t_held.count; ++i) {
        if (t_held.ranks[i] >= m_rank)
            lock_fault(std::string("lock order: taking the ") + to_string(m_rank) + " lock while holding the " + to_string(t_held.ranks[i]) + " lock");
    }
#endif
    m_mutex.lock();
#ifndef NDEBUG
    note_taken(m_rank);
#endif
}

bool HostMutex::try_lock()
{
    // A try never waits, so it cannot close a cycle; it is counted all the same.
    if (!m_mutex.try_lock())
        return false;
#ifndef NDEBUG
    note_taken(m_rank);
#endif
    return true;
}

void HostMutex::unlock()
{
#ifndef NDEBUG
    // The latest of this rank: guards may be released out of order.
    for (size_t i = t_held.count; i-- > 0;) {
        if (t_held.ranks[i] == m_rank) {
            for (size_t j = i; j + 1 < t_held.count; ++j)
                t_held.ranks[j] = t_held.ranks[j + 1];
            --t_held.count;
            break;
        }
    }
#endif
    m_mutex.unlock();
}

size_t host_locks_held()
{
#ifndef NDEBUG
    return t_held.count;
#else
    return 0;
#endif
}

void check_no_host_locks_held([[maybe_unused]] const SimThread& self)
{
#ifndef NDEBUG
    if (t_held.count)
        lock_fault(self.describe() + ": blocks in the layer holding the " + to_string(t_held.ranks[t_held.count - 1]) + " lock");
#endif
}

void check_scheduler_lock_order()
{
#ifndef NDEBUG
    for (size_t i = 0; i < t_held.count; ++i) {
        if (t_held.ranks[i] >= LockRank::Scheduler)
            lock_fault(std::string("lock order: taking the scheduler's lock while holding the ") + to_string(t_held.ranks[i]) + " lock");
    }
#endif
}

} // namespace kivo
