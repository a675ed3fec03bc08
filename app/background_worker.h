#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// One thread that runs posted jobs in order, off the window's thread (reading logs, decoding
// pictures, searching). A job gets a flag that turns true once it is no longer wanted; it
// looks at it between steps and returns early. Posting and cancelling never wait for a
// running job; only the destructor does. The thread starts with the first job.
class BackgroundWorker {
  public:
    using Job = std::function<void(const std::atomic<bool>& cancelled)>;

    BackgroundWorker() = default;
    // Cancels everything and waits for the running job to return.
    ~BackgroundWorker();
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    // Queues a job after the ones queued before.
    void Post(Job job);
    // Drops the jobs not started yet and tells the running one to stop.
    void Cancel();
    // True while a job runs or waits.
    bool Busy();

  private:
    struct Entry {
        Job job;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };
    void Run();

    std::mutex m_lock;
    std::condition_variable m_work;
    std::deque<Entry> m_jobs;                      // guarded by m_lock
    std::shared_ptr<std::atomic<bool>> m_running;  // guarded by m_lock
    bool m_ending = false;                         // guarded by m_lock
    std::thread m_thread;
};
