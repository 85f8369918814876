// The helper thread hands jobs over without losing a wake-up, whether the other
// side is still spinning or already asleep, and runs jobs inline when told to.
#include "engine/helperthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(HelperThread, EveryJobRunsOnceAndWaitSeesItsEffects)
{
    for (bool threaded : {false, true}) {
        qm::HelperThread helper(threaded);
        EXPECT_EQ(helper.threaded(), threaded);
        int plain = 0;   // written by the job, read after wait(): no atomics needed
        std::atomic<int> runs{0};
        for (int i = 0; i < 3000; ++i) {
            helper.run([&plain, &runs, i] {
                plain += i;
                runs.fetch_add(1);
            });
            // Now and then let the helper fall asleep before the next job,
            // or keep the caller busy past the helper's spin.
            if (i % 500 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            helper.wait();
            ASSERT_EQ(runs.load(), i + 1) << threaded;
        }
        EXPECT_EQ(plain, 3000 * 2999 / 2);
    }
}

TEST(HelperThread, DestroyingWithAJobPendingFinishesIt)
{
    std::atomic<bool> done{false};
    {
        qm::HelperThread helper(true);
        helper.run([&done] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            done = true;
        });
    }
    EXPECT_TRUE(done.load());
}

// A withdrawn job never runs, one taken up is waited for, and the helper goes
// on taking later jobs either way. Asleep (after a pause) the helper is
// usually too late and the job is withdrawn; the count says which happened.
TEST(HelperThread, WithdrawnJobsNeverRunAndTheHelperGoesOn)
{
    for (bool threaded : {false, true}) {
        qm::HelperThread helper(threaded);
        int plain = 0;
        int ran = 0, withdrawn = 0;
        for (int i = 0; i < 2000; ++i) {
            if (i % 100 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            helper.run([&plain] { ++plain; });
            if (helper.waitOrWithdraw())
                ++ran;
            else
                ++withdrawn;
            ASSERT_EQ(plain, ran) << threaded << " job " << i;
        }
        if (!threaded) {
            EXPECT_EQ(withdrawn, 0);   // inline jobs have always run
        }
        helper.run([&plain] { ++plain; });
        helper.wait();
        EXPECT_EQ(plain, ran + 1);
    }
}

} // namespace
