#include "MediaInfo.h"

#include <gtest/gtest.h>

// A fresh record says nothing was recognised and holds no genre; the rest starts at zero (the
// audio rates too, so an information call never reads garbage from a record no parser filled).
TEST(MediaInfo, AFreshRecordHoldsNothing)
{
    _tag_MEDIA_INFO info = new_media_info();
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.genre_index, -1);
    EXPECT_EQ(info.format, MEDIA_NONE);
    EXPECT_EQ(info.audio_bit_rate, 0);
    EXPECT_EQ(info.sample_rate, 0);
    EXPECT_EQ(info.channels, 0);
    for (const auto& text : info.tags)
        EXPECT_EQ(text[0], 0);
}
