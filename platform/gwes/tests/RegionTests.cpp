#include "Region.h"

#include <gtest/gtest.h>

using namespace kivo;

TEST(Region, AddAndSubtractKeepRectanglesApartAndAreaExact)
{
    struct Case {
        std::vector<RECT> added;
        std::vector<RECT> subtracted;
        long area;
        RECT bounds;
    };
    const Case cases[] = {
        { { { 0, 0, 10, 10 }, { 5, 5, 15, 15 } }, {}, 175, { 0, 0, 15, 15 } },
        { { { 0, 0, 10, 10 }, { 0, 0, 10, 10 } }, {}, 100, { 0, 0, 10, 10 } },
        { { { 0, 0, 10, 10 } }, { { 2, 2, 8, 8 } }, 64, { 0, 0, 10, 10 } },
        { { { 0, 0, 10, 10 } }, { { -5, -5, 20, 20 } }, 0, { 0, 0, 0, 0 } },
        { { { 0, 0, 10, 10 }, { 20, 0, 30, 10 } }, { { 5, 0, 25, 10 } }, 100, { 0, 0, 30, 10 } },
        { { { 0, 0, 0, 10 } }, {}, 0, { 0, 0, 0, 0 } },
    };
    for (auto& c : cases) {
        Region region;
        for (auto& rect : c.added)
            region.add(rect);
        for (auto& rect : c.subtracted)
            region.subtract(rect);
        EXPECT_EQ(region.area(), c.area);
        RECT bounds = region.bounds();
        EXPECT_EQ(bounds.left, c.bounds.left);
        EXPECT_EQ(bounds.top, c.bounds.top);
        EXPECT_EQ(bounds.right, c.bounds.right);
        EXPECT_EQ(bounds.bottom, c.bounds.bottom);
        auto& rects = region.rects();
        for (size_t i = 0; i < rects.size(); ++i) {
            for (size_t j = i + 1; j < rects.size(); ++j)
                EXPECT_TRUE(Region::is_empty(Region::intersection(rects[i], rects[j])));
        }
    }
}
