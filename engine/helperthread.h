#pragma once
// A second thread for work that splits into independent halves: one job at a
// time, started by run() and waited for by wait(). On a machine with one core
// (or when told to) the job runs inline in run(), so the code is the same.
// Jobs come in bursts (the two passes of a transform, the stars of a picture),
// so both sides spin, and then yield, for up to 10 ms before sleeping: a core
// that goes to sleep wakes slowly and with cold caches, which costs more than
// a pass's half of small work.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace qm {

class HelperThread {
public:
    // threaded false runs every job inline; by default a thread is used when
    // the machine has more than one core.
    explicit HelperThread(bool threaded = std::thread::hardware_concurrency() > 1);
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    void run(std::function<void()> job);
    void wait();
    // Like wait(), but a job the thread has not yet taken up is withdrawn and
    // never runs; returns whether it ran. For jobs that share out work the
    // caller may already have done itself (a late wake-up then costs nothing).
    bool waitOrWithdraw();
    // Tells the thread that no job is coming soon: once idle it sleeps at once
    // instead of spinning, leaving the core to threads that have work. The
    // next run() wakes it as usual.
    void rest();
    bool threaded() const { return threaded_; }

private:
    void loop();
    // Spins until pred() holds or the spin time is used up; returns pred().
    template <typename Pred>
    static bool spinFor(Pred pred);

    bool threaded_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::function<void()> job_;
    // Written under mutex_ (so that sleepers see them), read while spinning.
    std::atomic<bool> busy_{false};
    bool started_ = false;   // under mutex_: the thread has taken up the job
    std::atomic<bool> quit_{false};
    std::atomic<bool> rest_{false};
    std::thread thread_;
};

} // namespace qm
