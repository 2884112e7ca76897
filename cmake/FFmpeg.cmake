# FFmpeg's libraries, found through pkg-config as imported targets (FFmpeg::avformat …). The layer
# links them privately: the system's code never sees FFmpeg.
find_package(PkgConfig REQUIRED)
foreach(library avformat avcodec swscale swresample avutil)
    pkg_check_modules(FFMPEG_${library} REQUIRED IMPORTED_TARGET GLOBAL lib${library})
    add_library(FFmpeg::${library} ALIAS PkgConfig::FFMPEG_${library})
endforeach()
