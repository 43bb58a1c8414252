// The timeline allocates nothing per frame once it has drawn its first frame: a frame
// in steady state only walks what was built at load. Its own program, so that the
// counting operator new replaces no other test's.
#include "AllocationCounter.h"
#include "StubTimeline.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<int>* volatile escaped = nullptr;
}

TEST(TimelineAllocations, SteadyFramesAllocateNothing)
{
    // The counter sees an allocation that cannot be optimised away.
    long start = allocation::count();
    escaped = new std::vector<int>(64);
    delete escaped;
    ASSERT_GE(allocation::count() - start, 2);

    stubtimeline::StubTimeline stub;
    const uint32_t frames = stubtimeline::StubTimeline::lengthMs / 20;
    stub.drawFrame(0);
    long found = 0;
    const long before = allocation::count();
    for (uint32_t k = 0; k < frames; ++k) {
        stub.drawFrame(k);
        found += stub.timeline.findActiveEffect("postprocess_effect") != nullptr;
    }
    const long allocations = allocation::count() - before;

    // The frames really drew: every effect ran, several at a time.
    long draws = 0;
    for (const auto& effect : stub.effects) {
        EXPECT_GT(effect->draws, 0);
        draws += effect->draws;
    }
    EXPECT_GT(draws, 3 * static_cast<long>(frames));
    EXPECT_GT(found, static_cast<long>(frames) * 9 / 10);
    EXPECT_EQ(allocations, 0) << "over " << frames << " frames";
}
