#include "FfmpegSetup.h"

#include "Device.h"
#include "SimThread.h"
#include "WideText.h"

#include <cstdio>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace kivo {

namespace {

// The device a context belongs to: a format or codec context carries it in `opaque`; other
// contexts (a codec's parser, an I/O context) lead to their parent context when they have one.
Device* device_of(void* context)
{
    for (int depth = 0; context && depth < 4; ++depth) {
        auto* log_class = *static_cast<const AVClass**>(context);
        if (!log_class)
            return nullptr;
        if (log_class == avformat_get_class())
            return static_cast<Device*>(static_cast<AVFormatContext*>(context)->opaque);
        if (log_class == avcodec_get_class())
            return static_cast<Device*>(static_cast<AVCodecContext*>(context)->opaque);
        if (log_class->parent_log_context_offset == 0)
            return nullptr;
        context = *reinterpret_cast<void**>(static_cast<char*>(context) + log_class->parent_log_context_offset);
    }
    return nullptr;
}

void media_log(void* context, int level, const char* format, va_list args)
{
    if (level > AV_LOG_WARNING)
        return;
    // Each line is formatted whole here, with its context's prefix; a thread's own prefix state
    // (FFmpeg's "print the prefix at the next line start") is kept per thread, since any thread
    // may log.
    thread_local int print_prefix = 1;
    char line[1024];
    av_log_format_line2(context, level, format, args, line, sizeof line, &print_prefix);
    Device* device = device_of(context);
    if (!device) {
        if (auto* thread = SimThread::current())
            device = &thread->device();
    }
    if (!device) {
        std::fprintf(stderr, "kivo: ffmpeg outside any device: %s", line);
        return;
    }
    device->write_debug(u"ffmpeg: " + to_utf16(line));
}

} // namespace

void set_up_ffmpeg()
{
    static std::once_flag done;
    std::call_once(done, [] {
        av_max_alloc(largest_media_allocation);
        av_log_set_callback(media_log);
    });
}

} // namespace kivo
