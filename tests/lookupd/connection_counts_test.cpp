#include "lookupd/connection_counts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brisvane::lookupd {
namespace {

TEST(ConnectionCountsTest, CountsConnectionsThatAreOpeningOrCarryARequest) {
    enum class Event { kOpen, kIdle, kCloseIdle, kClose, kRequest, kRequestOnIdle };
    struct Step {
        Event event;
        std::string address;
        OverCap expected = OverCap::kNone;  // for a request
    };
    // Two per address, three in all.
    ConnectionCounts counts(3, 2);
    const std::vector<Step> steps = {
        {Event::kOpen, "a"},
        {Event::kOpen, "a"},
        {Event::kRequest, "a", OverCap::kNone},
        {Event::kOpen, "a"},
        {Event::kRequest, "a", OverCap::kPerAddress},  // three from a
        {Event::kIdle, "a"},                           // one of them answered: two count
        {Event::kRequest, "a", OverCap::kNone},
        {Event::kOpen, "b"},
        {Event::kOpen, "b"},
        {Event::kRequest, "b", OverCap::kTotal},  // two of a and two of b count
        {Event::kCloseIdle, "a"},
        {Event::kRequest, "b", OverCap::kTotal},  // the idle one did not count anyway
        {Event::kClose, "a"},
        {Event::kRequest, "b", OverCap::kNone},
        {Event::kIdle, "b"},
        {Event::kRequestOnIdle, "b", OverCap::kNone},
        {Event::kOpen, "c"},
        {Event::kRequest, "c", OverCap::kTotal},
        {Event::kIdle, "a"},
        {Event::kRequest, "c", OverCap::kNone},
        {Event::kRequestOnIdle, "a", OverCap::kTotal},  // counts again with its next request
    };
    for (const Step& step : steps) {
        switch (step.event) {
            case Event::kOpen:
                counts.Opened(step.address);
                break;
            case Event::kIdle:
                counts.Idle(step.address);
                break;
            case Event::kCloseIdle:
                counts.Closed(step.address, true);
                break;
            case Event::kClose:
                counts.Closed(step.address, false);
                break;
            case Event::kRequest:
            case Event::kRequestOnIdle:
                EXPECT_EQ(counts.Requested(step.address, step.event == Event::kRequestOnIdle),
                          step.expected)
                    << "a request from " << step.address;
                break;
        }
    }
    EXPECT_EQ(counts.Open(), 4U);
}

}  // namespace
}  // namespace brisvane::lookupd
