#include "engine/helperthread.h"

namespace qm {

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
        busy_ = true;
    }
    cv_.notify_all();
}

void HelperThread::wait()
{
    if (!threaded_)
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return !busy_; });
}

void HelperThread::loop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return busy_ || quit_; });
        if (quit_ && !busy_)
            return;
        std::function<void()> job = std::move(job_);
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        cv_.notify_all();
    }
}

} // namespace qm
