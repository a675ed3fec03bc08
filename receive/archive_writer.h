#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "receive/receive_observer.h"

// Memory lent to an ArchiveWriter: a picture queued under a loan views its Base64 where it lies
// instead of carrying a copy. The lender leaves those bytes unchanged while the loan is out.
struct WriterLoan {
    int out = 0;  // pictures queued under it and not done yet; guarded by the writer's lock
};

// Decodes and writes the pictures of events on a thread of its own, so that the receive thread
// goes on reading meanwhile, and hands each message's report to the observer once the pictures
// queued before it are filed. Jobs are done one at a time in the order they were queued. The
// queue is bounded: a full queue makes the queuing thread wait (nothing is ever dropped).
// One thread queues (the receive thread); reports reach the observer on the writer's thread.
class ArchiveWriter {
  public:
    // Most Base64 bytes waiting at once; a larger picture waits until the queue holds none.
    static constexpr std::size_t kQueueBytes = 4 * 1024 * 1024;
    // Most jobs (pictures and reports) waiting at once.
    static constexpr std::size_t kQueueJobs = 32;

    // Reports go to observer (null: none are made). Starts the thread; when none can be
    // started every job is done at once on the queuing thread.
    explicit ArchiveWriter(ReceiveObserver* observer);
    // Finish().
    ~ArchiveWriter();

    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // A text to fill with a picture's Base64 for QueuePicture: one that held an earlier
    // picture (its memory reused; its content is to be replaced), or an empty one.
    std::string TakeText();
    // Queues a picture: base64 is decoded and written to path (whose folders exist). Waits
    // while the queue is full. An empty base64 is queued too (an empty file).
    void QueuePicture(std::string path, std::string base64);
    // Queues a picture whose Base64 is viewed under loan (done at once, nothing lent, when not
    // threaded). Waits while the queue is full.
    void QueuePicture(std::string path, std::string_view base64, WriterLoan& loan);
    // True while a picture queued under loan is not done yet.
    bool Out(const WriterLoan& loan);
    // Blocks until every picture queued under loan is done.
    void WaitForReturn(const WriterLoan& loan);
    // Queues the report of a message. The paths written since the previous report are added to
    // its pictures (a picture that could not be written is left out). Dropped without an
    // observer.
    void QueueReport(MessageReport report);
    // Waits until every job queued is done and ends the thread. Jobs queued afterwards are done
    // at once on the calling thread. Harmless when called again.
    void Finish();
    // True from a successful start until Finish.
    bool Threaded() const { return threaded_; }

  private:
    struct Job {
        bool report = false;
        std::string path;
        std::string base64;
        std::string_view lent;  // the Base64 when viewed under loan
        WriterLoan* loan = nullptr;
        MessageReport message;
        std::size_t Bytes() const { return loan != nullptr ? lent.size() : base64.size(); }
    };
    void Run();
    void Do(Job& job);
    void Queue(Job job);

    ReceiveObserver* const observer_;
    bool threaded_ = false;  // queuing thread only

    std::mutex lock_;
    std::condition_variable work_;   // a job was queued or the end asked for
    std::condition_variable space_;  // a job was taken
    std::condition_variable back_;   // a loan came back
    std::deque<Job> jobs_;           // guarded by lock_
    std::size_t queuedBytes_ = 0;    // guarded by lock_
    bool ending_ = false;            // guarded by lock_
    // Texts of pictures written, kept for TakeText; guarded by lock_.
    std::vector<std::string> spare_;

    // The writer's own (the queuing thread's when not threaded).
    std::vector<std::string> written_;  // paths written since the last report
    std::vector<unsigned char> scratch_;

    std::thread thread_;
};
