#include "MediaInfo.h"

_tag_MEDIA_INFO new_media_info()
{
    _tag_MEDIA_INFO info {};
    info.status = 1;
    info.genre_index = -1;
    return info;
}
