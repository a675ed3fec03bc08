#include "app/background_worker.h"

BackgroundWorker::~BackgroundWorker() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_ending = true;
        for (Entry& entry : m_jobs)
            entry.cancelled->store(true);
        m_jobs.clear();
        if (m_running)
            m_running->store(true);
    }
    m_work.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundWorker::Post(Job job) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_jobs.push_back({std::move(job), std::make_shared<std::atomic<bool>>(false)});
        if (!m_thread.joinable())
            m_thread = std::thread([this] { Run(); });
    }
    m_work.notify_one();
}

void BackgroundWorker::Cancel() {
    std::lock_guard<std::mutex> hold(m_lock);
    for (Entry& entry : m_jobs)
        entry.cancelled->store(true);
    m_jobs.clear();
    if (m_running)
        m_running->store(true);
}

bool BackgroundWorker::Busy() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_running || !m_jobs.empty();
}

void BackgroundWorker::Run() {
    for (;;) {
        Entry entry;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_work.wait(hold, [this] { return m_ending || !m_jobs.empty(); });
            if (m_ending)
                return;
            entry = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_running = entry.cancelled;
        }
        entry.job(*entry.cancelled);
        std::lock_guard<std::mutex> hold(m_lock);
        m_running.reset();
    }
}
