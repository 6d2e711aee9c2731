#include "service/restart_policy.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The verdicts on a row of ends, each a_ranMs after its start.
TEST(RestartPolicy, DelaysDoubleOnQuickEndsAndTheFifthGivesUp) {
    struct Verdict {
        bool restart;
        unsigned long delay;
        bool gaveUp;
    };
    const struct {
        const char* name;
        ServiceSettings settings;
        std::vector<unsigned long long> ranMs;
        std::vector<Verdict> verdicts;
    } cases[] = {
        {"long runs: the delay each time",
         {},
         {60000, 600000},
         {{true, 5, false}, {true, 5, false}}},
        {"quick ends double it, the fifth gives up",
         {},
         {0, 59999, 1000, 1000, 1000},
         {{true, 5, false},
          {true, 10, false},
          {true, 20, false},
          {true, 40, false},
          {false, 0, true}}},
        {"a long run starts the count again",
         {},
         {1000, 1000, 1000, 1000, 60000, 1000},
         {{true, 5, false},
          {true, 10, false},
          {true, 20, false},
          {true, 40, false},
          {true, 5, false},
          {true, 5, false}}},
        {"at most five minutes",
         {L"s", 20, true, 200, 10, 5},
         {1000, 1000},
         {{true, 200, false}, {true, 300, false}}},
        {"no restarts", {L"s", 20, false, 5, 10, 5}, {1000}, {{false, 0, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RestartPolicy policy;
        for (std::size_t i = 0; i < c.ranMs.size(); ++i) {
            const RestartPolicy::Verdict verdict = policy.ended(c.settings, c.ranMs[i]);
            EXPECT_EQ(verdict.restart, c.verdicts[i].restart) << i;
            EXPECT_EQ(verdict.delaySeconds, c.verdicts[i].delay) << i;
            EXPECT_EQ(verdict.gaveUp, c.verdicts[i].gaveUp) << i;
        }
    }
}

} // namespace
