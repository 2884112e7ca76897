#include "MediaInformation.h"

#include "MediaParser.h"

#include <algorithm>
#include <memory>
#include <new>

namespace media_information {

namespace {

// The length of a text that may fill its whole field without a zero.
template <size_t N>
size_t bounded_length(const WCHAR (&text)[N])
{
    return size_t(std::find(text, text + N, u'\0') - text);
}

// Copies as much of `source` as fits with its zero.
void copy_text(WCHAR* destination, size_t destination_chars, const WCHAR* source, size_t source_length)
{
    size_t length = std::min(source_length, destination_chars - 1);
    std::copy_n(source, length, destination);
    destination[length] = u'\0';
}

template <size_t N>
void copy_text(WCHAR (&destination)[N], const WCHAR* source, size_t source_length)
{
    copy_text(destination, N, source, source_length);
}

// Title and artist from the tags; answers whether the title had to come from the file name.
bool read_audio_info(_tag_AUDIO_INFO* info)
{
    info->title_valid = 0;
    info->artist_valid = 0;
    WCHAR path[256];
    copy_text(path, info->path, bounded_length(info->path));

    if (auto parser = std::unique_ptr<CMediaParser>(new (std::nothrow) CMediaParser)) {
        if (parser->Open(path) == S_OK && parser->info().status == S_OK) {
            const _tag_MEDIA_INFO& media = parser->info();
            info->title_valid = media.tag_present[TAG_TITLE];
            std::copy_n(media.tags[TAG_TITLE], MEDIA_TAG_CHARS, info->title);
            info->artist_valid = media.tag_present[TAG_ARTIST];
            std::copy_n(media.tags[TAG_ARTIST], MEDIA_TAG_CHARS, info->artist);
        }
    }
    if (info->title_valid)
        return false;

    info->title_valid = 1;
    GetFileNameNoEx(path);
    copy_text(info->title, path, std::char_traits<WCHAR>::length(path));
    return true;
}

// Folder followed by file name.
void video_path(const _tag_VIDEO_INFO* info, WCHAR (&path)[256])
{
    size_t folder = bounded_length(info->folder);
    copy_text(path, info->folder, folder);
    copy_text(path + folder, 256 - folder, info->file_name, bounded_length(info->file_name));
}

// The type text of a picture format; none for anything else.
const char16_t* picture_type(int32_t format)
{
    switch (format) {
    case MEDIA_JPEG: return u"JPG";
    case MEDIA_GIF: return u"GIF";
    case MEDIA_BMP: return u"BMP";
    case MEDIA_PNG: return u"PNG";
    default: return nullptr;
    }
}

} // namespace

int GetAudioInfo(_tag_AUDIO_INFO* info, int& name_as_title)
{
    if (read_audio_info(info))
        name_as_title = 1;
    return 0;
}

int GetAudioInfo1(_tag_AUDIO_INFO* info, int& name_as_title)
{
    read_audio_info(info);
    name_as_title = 0;
    return 0;
}

int GetVideoInfo_2(_tag_VIDEO_INFO* info, std::optional<int> graph_duration_seconds)
{
    WCHAR path[256];
    video_path(info, path);
    if (graph_duration_seconds)
        info->duration = *graph_duration_seconds;

    HANDLE file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD size_high = 0;
    DWORD size_low = GetFileSize(file, &size_high);
    info->file_size = size_high == 0 ? size_low : 0;

    BY_HANDLE_FILE_INFORMATION details;
    FILETIME local;
    SYSTEMTIME time;
    if (GetFileInformationByHandle(file, &details) && FileTimeToLocalFileTime(&details.ftLastWriteTime, &local)
        && FileTimeToSystemTime(&local, &time)) {
        info->year = time.wYear;
        info->month = time.wMonth;
        info->day = time.wDay;
        info->hour = time.wHour;
        info->minute = time.wMinute;
        info->second = time.wSecond;
    }
    CloseHandle(file);
    return 0;
}

int GetVideoInfo_1(_tag_VIDEO_INFO* info)
{
    WCHAR path[256];
    video_path(info, path);
    auto parser = std::unique_ptr<CMediaParser>(new (std::nothrow) CMediaParser);
    if (!parser)
        return 0;
    if (parser->Open(path) == S_OK && parser->info().status == S_OK) {
        const _tag_MEDIA_INFO& media = parser->info();
        info->height = media.height;
        info->width = media.width;
        // A stream without a frame period has no rate to show.
        info->frame_rate = media.frame_period != 0 ? 1'000'000.0 / media.frame_period : 0.0;
        info->video_bit_rate = media.video_bit_rate;
    }
    return 0;
}

int GetPhotoInfo(_tag_PHOTO_INFO* info, LPCWSTR path)
{
    info->width = 0;
    info->height = 0;
    info->bit_depth = 0;
    auto parser = std::unique_ptr<CMediaParser>(new (std::nothrow) CImageParser);
    if (!parser || parser->Open(path) != S_OK)
        return -1;

    const _tag_MEDIA_INFO& media = parser->info();
    const char16_t* type = picture_type(media.format);
    copy_text(info->type, type ? type : u"NON", 3);
    if (!type)
        return -1;
    if (media.image_width == 0 || media.image_height == 0)
        return -1;
    info->width = media.image_width;
    info->height = media.image_height;
    info->bit_depth = media.image_bit_depth;
    return 0;
}

int GetFileNameNoEx(WCHAR* text)
{
    size_t length = std::char_traits<WCHAR>::length(text);
    size_t start = 0;
    size_t end = length;
    for (size_t i = length; i-- > 0;) {
        if (text[i] == u'\\') {
            start = i + 1;
            break;
        }
        if (text[i] == u'.' && end == length)
            end = i;
    }
    std::copy(text + start, text + end, text);
    text[end - start] = u'\0';
    return 0;
}

} // namespace media_information
