#pragma once

#include <cstddef>
#include <mutex>

namespace kivo {

class SimThread;

// The order in which the layer's host locks are taken: a thread holding one may only take locks of
// a later rank. Debug builds check the order on every acquisition and abort on the first lock
// taken out of order. The drawing layer's locks come before the scheduler's (a drawing call holds
// the gdi lock while it asks the window system, which takes the scheduler's); the scheduler's lock
// is a plain std::mutex, checked only as it is first taken (no lock of a later rank may be held).
enum class LockRank {
    // The window system's painter and message boxes, then the drawing layer's state.
    WindowPainter = 1,
    MessageBoxes,
    Gdi,
    GdiResources,
    GdiFonts,
    ResourceTable,
    FontEngine,
    DialogTemplates,
    // The sound device, which sets its timers and events while it holds its state.
    SoundOutput,
    SoundDevice,
    // The scheduler's lock, which guards every waitable object.
    Scheduler,
    // Device-wide tables.
    Processes,
    Components,
    // The stand-ins' own state.
    // The board's link from the card listener: held while it asks the volumes and the board.
    CardListenerLink,
    Registry,
    Volumes,
    FileSystem,
    AttributeStore,
    StorageManager,
    FileMappings,
    LibraryLoader,
    ProgramImages,
    CrtStreams,
    BlockTokens,
    PowerNotifications,
    StreamDriver,
    Board,
    SystemRequests,
    Navigation,
    Phones,
    Radio,
    OutsideWindows,
    // Leaves: nothing is taken while one of these is held.
    SoundCallbacks,
    SoundLife,
    SampleRing,
    MfcHandleMaps,
    ComClasses,
    ComApartments,
    FilterCatalog,
    FilterGraphs,
    FilterClock,
    AudioRendererBlocks,
    VideoRendererRecord,
    VendorFilterRecord,
    VendorFilterControl,
    DemuxerClock,
    TunerRecord,
    LibraryApps,
    SkinBoxes,
    ZolManagers,
    ZolRecord,
    ProcessLocals,
    ProgramTable,
    BootLauncher,
    StreamDriverTable,
    NamedObjects,
    HandleTable,
    Modules,
    DrawLog,
    DebugLog,
};

const char* to_string(LockRank);

// A host mutex of the layer, for state that is never held across a blocking layer call.
// BasicLockable, so std::lock_guard and std::unique_lock take it. In debug builds each host thread
// counts the ones it holds: taking one out of rank order aborts, and so does a simulated thread
// blocking in the scheduler while it holds one (the thread that would release it may be the one
// waiting for the turn).
class HostMutex {
public:
    explicit HostMutex(LockRank rank)
        : m_rank(rank)
    {
    }
    HostMutex(const HostMutex&) = delete;
    HostMutex& operator=(const HostMutex&) = delete;

    void lock();
    bool try_lock();
    void unlock();
    LockRank rank() const { return m_rank; }

private:
    std::mutex m_mutex;
    LockRank m_rank;
};

// How many HostMutexes the calling host thread holds (always 0 in release builds).
size_t host_locks_held();
// Debug builds: abort when the calling thread holds a HostMutex as `self` blocks in the scheduler.
void check_no_host_locks_held(const SimThread& self);
// Debug builds: abort when the calling thread holds a HostMutex of a later rank than the
// scheduler's lock as it takes that lock.
void check_scheduler_lock_order();

} // namespace kivo
