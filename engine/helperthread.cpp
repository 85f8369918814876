#include "engine/helperthread.h"

#include <chrono>

namespace qm {

template <typename Pred>
bool HelperThread::spinFor(Pred pred)
{
    // A tight loop first, for the gap between the passes of one transform;
    // then a loop that yields, so that a busy machine loses little to it, for
    // the gaps between the transforms and stars of one picture. A core left
    // idle is put to sleep by the system (or the hypervisor), and both its
    // wake-up and its cold caches then cost more than a short job.
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto tightUntil = start + std::chrono::microseconds(50);
    const auto until = start + std::chrono::milliseconds(10);
    for (int i = 0;; ++i) {
        if (pred())
            return true;
        if (i % 64 == 63) {
            const auto now = Clock::now();
            if (now > until)
                return false;
            if (now > tightUntil) {
                std::this_thread::yield();
                continue;
            }
        }
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
}

HelperThread::HelperThread(bool threaded) : threaded_(threaded)
{
    if (threaded_)
        thread_ = std::thread([this] { loop(); });
}

HelperThread::~HelperThread()
{
    if (!threaded_)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void HelperThread::run(std::function<void()> job)
{
    if (!threaded_) {
        job();
        return;
    }
    wait();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = std::move(job);
        started_ = false;
        rest_ = false;
        busy_ = true;
    }
    cv_.notify_all();
}

void HelperThread::wait()
{
    if (!threaded_)
        return;
    if (spinFor([this] { return !busy_.load(std::memory_order_acquire); }))
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return !busy_; });
}

bool HelperThread::waitOrWithdraw()
{
    if (!threaded_)
        return true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (busy_ && !started_) {
            job_ = nullptr;
            busy_ = false;
            return false;
        }
    }
    wait();
    return true;
}

void HelperThread::rest()
{
    if (threaded_)
        rest_.store(true, std::memory_order_release);
}

void HelperThread::loop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (!busy_ && !quit_) {
            lock.unlock();
            spinFor([this] {
                return busy_.load(std::memory_order_acquire) || quit_.load() || rest_.load(std::memory_order_relaxed);
            });
            lock.lock();
        }
        cv_.wait(lock, [this] { return busy_ || quit_; });
        if (quit_ && !busy_)
            return;
        std::function<void()> job = std::move(job_);
        started_ = true;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        cv_.notify_all();
    }
}

} // namespace qm
