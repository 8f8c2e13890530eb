// Updates applied behind the caller end as if each had been applied when it
// was posted: in order, none after a failure, and the failure raised to the
// caller (once by settle(), on every later post()) whichever call meets it.
#include "platform/dao/jet/WriteBehind.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

using dao::jet::detail::WriteBehind;

namespace {

struct Case {
    const char* name;
    int updates;
    std::optional<int> failAt; // the update whose apply raises
    std::size_t batch;
    int settleEvery; // 0: only at the end
};

class WriteBehindRuns : public ::testing::TestWithParam<Case> {};

TEST_P(WriteBehindRuns, AsIfAppliedInTurn) {
    const Case& c = GetParam();
    std::vector<int> applied; // the thread's while updates are posted
    int raised = 0;
    {
        WriteBehind<int> writes(
            [&](int& n) {
                if (c.failAt && n == *c.failAt)
                    throw std::runtime_error("failed");
                applied.push_back(n);
            },
            c.batch);
        for (int n = 0; n < c.updates; ++n) {
            try {
                writes.post(n);
                if (c.settleEvery != 0 && (n + 1) % c.settleEvery == 0)
                    writes.settle();
            } catch (const std::runtime_error&) {
                ++raised;
            }
        }
        try {
            writes.settle();
        } catch (const std::runtime_error&) {
            ++raised;
        }
        EXPECT_NO_THROW(writes.settle()) << "raised once by settle";
        if (c.failAt) {
            EXPECT_THROW(writes.post(c.updates), std::runtime_error) << "nothing taken after a failure";
            writes.settle();
        }
    }
    std::vector<int> expected;
    for (int n = 0; n < c.failAt.value_or(c.updates); ++n)
        expected.push_back(n);
    EXPECT_EQ(applied, expected);
    if (c.failAt) {
        // Met by the post or settle after it; every later post raises it too.
        EXPECT_GE(raised, 1);
    } else {
        EXPECT_EQ(raised, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteBehindRuns,
    ::testing::Values(Case{"AllApplied", 10000, std::nullopt, 256, 0},
                      Case{"FewerThanABatch", 7, std::nullopt, 256, 0},
                      Case{"SettledOften", 3000, std::nullopt, 64, 17},
                      Case{"FailsInTheFirstBatch", 1000, 3, 256, 0},
                      Case{"FailsInALaterBatch", 5000, 4321, 256, 0},
                      Case{"FailsInTheLastPartBatch", 1000, 999, 256, 0},
                      Case{"FailsBetweenSettles", 3000, 1500, 64, 17},
                      Case{"BatchesOfOne", 500, 250, 1, 0}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

} // namespace
