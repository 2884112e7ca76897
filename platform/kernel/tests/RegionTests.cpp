#include "Region.h"

#include <gtest/gtest.h>

using namespace kivo;

TEST(Region, OperationsKeepRectanglesApartAndAreasRight)
{
    struct Case {
        const char* name;
        void (*apply)(Region&);
        LONG area;
        RECT bounds;
    } cases[] = {
        { "hole in the middle", [](Region& r) { r.subtract(RECT { 10, 10, 20, 20 }); }, 900 - 100, { 0, 0, 30, 30 } },
        { "hole over an edge", [](Region& r) { r.subtract(RECT { 20, -5, 40, 40 }); }, 600, { 0, 0, 20, 30 } },
        { "hole covering all", [](Region& r) { r.subtract(RECT { -1, -1, 31, 31 }); }, 0, { 0, 0, 0, 0 } },
        { "union overlapping", [](Region& r) { r.unite(RECT { 20, 20, 40, 40 }); }, 900 + 400 - 100, { 0, 0, 40, 40 } },
        { "intersection", [](Region& r) { r.intersect(RECT { 25, 25, 100, 100 }); }, 25, { 25, 25, 30, 30 } },
        { "empty rectangle changes nothing", [](Region& r) { r.subtract(RECT { 5, 5, 5, 20 }); }, 900, { 0, 0, 30, 30 } },
    };
    for (auto& c : cases) {
        Region region(RECT { 0, 0, 30, 30 });
        c.apply(region);
        EXPECT_EQ(region.area(), c.area) << c.name;
        RECT bounds = region.bounds();
        EXPECT_EQ(bounds.left, c.bounds.left) << c.name;
        EXPECT_EQ(bounds.top, c.bounds.top) << c.name;
        EXPECT_EQ(bounds.right, c.bounds.right) << c.name;
        EXPECT_EQ(bounds.bottom, c.bounds.bottom) << c.name;
        // Whether it touches the corner pixel (0,0) agrees with its rectangles.
        EXPECT_EQ(region.intersects(RECT { 0, 0, 1, 1 }), region.contains(0, 0)) << c.name;
        for (size_t i = 0; i < region.rects().size(); ++i) {
            for (size_t j = i + 1; j < region.rects().size(); ++j)
                EXPECT_TRUE(Region::is_empty(Region::intersection(region.rects()[i], region.rects()[j]))) << c.name;
        }
    }
}

TEST(Region, EqualAreasCompareEqualHoweverTheyAreCut)
{
    Region cut(RECT { 0, 0, 10, 10 });
    cut.subtract(RECT { 0, 0, 5, 10 });
    cut.unite(RECT { 0, 0, 5, 10 });
    EXPECT_EQ(cut, Region(RECT { 0, 0, 10, 10 }));
    EXPECT_FALSE(cut == Region(RECT { 0, 0, 10, 9 }));
    EXPECT_TRUE(cut.contains(9, 9));
    EXPECT_FALSE(cut.contains(10, 9));
}

TEST(Region, UnitedAndSubtractedRectanglesStayApartWithExactAreas)
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
            region.unite(rect);
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
