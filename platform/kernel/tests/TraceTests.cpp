#include "Trace.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo {
namespace {

TEST(Trace, KeepsEverythingWithoutALimit)
{
    Trace<int> trace;
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(trace.append(i), static_cast<uint64_t>(i));
    EXPECT_EQ(trace.size(), 1000u);
    EXPECT_EQ(trace.first_sequence(), 0u);
    EXPECT_EQ(trace.at(999), 999);
}

TEST(Trace, DropsTheOldestPastTheLimitAndKeepsSequenceNumbers)
{
    TraceLimit limit;
    limit.set(3);
    Trace<std::string> trace(limit);
    for (auto text : { "a", "b", "c", "d", "e" })
        trace.append(text);
    EXPECT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace.first_sequence(), 2u);
    EXPECT_EQ(trace.end_sequence(), 5u);
    EXPECT_EQ(trace.at(2), "c");
    EXPECT_EQ(trace.back(), "e");
    // A reader whose place was dropped gets what is kept; one past the end gets nothing.
    EXPECT_EQ(trace.since(0), (std::vector<std::string> { "c", "d", "e" }));
    EXPECT_EQ(trace.since(4), (std::vector<std::string> { "e" }));
    EXPECT_TRUE(trace.since(5).empty());
}

TEST(Trace, ALimitSetLaterAppliesAtTheNextAppendAndClearKeepsNumbering)
{
    TraceLimit limit;
    Trace<int> trace(limit);
    for (int i = 0; i < 10; ++i)
        trace.append(i);
    limit.set(4);
    EXPECT_EQ(trace.append(10), 10u);
    EXPECT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace.at(7), 7);
    trace.clear();
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(trace.append(11), 11u);
}

} // namespace
} // namespace kivo
