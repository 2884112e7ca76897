#pragma once

// The player library's playback class: one filter graph for one media file at a time, driven
// synchronously by its owner (the audio and the video players' main dialogs), with the graph's
// events posted to the owner's window, and the media-information calls over the records the
// programs allocate themselves.

#include "MediaRecords.h"
#include "platform.h"

#include <cstddef>
#include <cstdint>

#define PLAYER_API __attribute__((visibility("default")))

// What the graph posts to the window given to SetNotify, once per event; drain with GetEvent.
inline constexpr UINT WM_PLAYER_NOTIFY = WM_USER + 100;

// The event GetEvent gives back.
enum PlayerEvent : long {
    PLAYER_COMPLETE = 0,     // the file has played to its end
    PLAYER_ERROR_ABORT = 1,  // playback stopped on an error
    PLAYER_USER_ABORT = 2,   // playback stopped by the user
    PLAYER_VENDOR_EVENT = 3, // the vendor filters' own event
};

// The event code the vendor's filters raise (EC_USER + 1001).
inline constexpr long EC_VENDOR_PLAYER = EC_USER + 1001;

// Methods give 0 on success and -1 on failure unless their comment says otherwise. The owner
// serialises the calls; the player takes no lock and starts no thread.
class PLAYER_API Cplayerc {
public:
    // Both initialise COM for the calling thread (multithreaded); the destructor uninitialises it.
    Cplayerc();
    explicit Cplayerc(HWND hNotifyWnd);
    // Lets go of a graph the owner left loaded.
    virtual ~Cplayerc();

    // A copy would hold the same interfaces without references of its own and release them twice.
    Cplayerc(const Cplayerc&) = delete;
    Cplayerc& operator=(const Cplayerc&) = delete;

    // Where the next loaded graph posts its events; a graph already loaded keeps its own.
    void SetNotify(HWND hWnd, long lMsg);

    // Builds the video graph on the vendor's renderer, full screen. -1 unless the whole file
    // rendered; the graph stays built whenever it could be made.
    int LoadFile(LPCWSTR path);
    // The same without events, the picture shown in `rect`; 0 once the graph is built.
    int LoadFile(LPCWSTR path, RECT rect);
    // Builds the audio graph; gives back what rendering the file answered (the failure when the
    // graph could not be made).
    long mp3LoadFile(LPCWSTR path, _tag_AUDIO_INFO* info);
    int mp3Release();
    void deleteFilters();

    int Play();
    int Pause();
    // Stops and rewinds to the start.
    int Stop();
    // The graph's FILTER_STATE; stopped without a graph.
    int Getsts();

    // Whole seconds; the position is 0 while stopped.
    int GetCurTime(int* seconds);
    int GetTolTime(int* seconds);
    // 100-ns units.
    int GetTimPos(LONGLONG* position);
    int SetTimPos(LONGLONG position);
    // Per mille of the duration, to the key frame before it.
    int mp3SetPos(int perMille);
    // The same, moved on when the key frame lies more than a second before the target; -1 when
    // that passes the end.
    int SetPos(int perMille);
    // Seeks to the key frame before `*target` and leaves where it went in `*target`.
    int ReviseTim(LONGLONG* target);

    // 1 when an event was taken (a PlayerEvent in `*event`; other events leave it as it was), 0
    // when none waits.
    int GetEvent(long* event);
    // Wave output volume, level 0 (silent) to 25 (full).
    int SetVolume(int level);

    // Media information, without a graph.
    int GetAudioInfo(_tag_AUDIO_INFO* info);
    int GetAudioInfo1(_tag_AUDIO_INFO* info);
    int GetVideoInfo_2(_tag_VIDEO_INFO* info);
    int GetVideoInfo_1(_tag_VIDEO_INFO* info);
    int GetPhotoInfo(_tag_PHOTO_INFO* info, LPCWSTR path);
    int GetFileNameNoEx(LPWSTR text);

protected:
    int m_bNameAsTitle = 0; // GetAudioInfo took the file name as the title
    HWND m_hNotifyWnd = nullptr;
    long m_lNotifyMsg = 0;
    LONGLONG m_llDuration = 0; // read once, when the file is loaded
    // One reference each while held.
    IMediaControl* m_pMediaControl = nullptr;
    IGraphBuilder* m_pGraph = nullptr;
    IMediaSeeking* m_pMediaSeeking = nullptr;
    IMediaEventEx* m_pMediaEvent = nullptr;
    IVideoWindow* m_pVideoWindow = nullptr; // video graphs only

private:
    enum class GraphKind {
        Video,         // video window and events
        VideoNoEvents, // video window only
        Audio,         // events, no video window
    };
    // Makes the graph and the interfaces its kind needs, or holds nothing and gives the failure.
    HRESULT create_graph(GraphKind);
    // Sets the vendor renderer's mode, when the graph has the renderer, and the video window's style.
    void set_up_video(const VrenderModeFlag&);
    void read_duration();
    void notify_owner();
    // Seeks to a time, with AM_SEEKING_* flags.
    HRESULT seek(LONGLONG position, DWORD flags);
    LONGLONG per_mille_of_duration(int perMille) const;
};
