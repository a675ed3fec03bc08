#include "receive/archive_writer.h"

#include <iterator>
#include <utility>

#include "receive/picture_archive.h"

namespace {

// Texts kept for reuse: a few pictures' worth, so memory stays flat event after event.
constexpr std::size_t kSpareTexts = 16;

// The decoding scratch of a writer that finished, kept for the next one: memory new to the
// process costs a page fault per page when first touched (see the receive buffers).
constexpr std::size_t kMostKeptScratch = 16 * 1024 * 1024;
std::mutex g_keptScratchLock;
std::vector<unsigned char> g_keptScratch;

}  // namespace

ArchiveWriter::ArchiveWriter(ReceiveObserver* observer) : observer_(observer) {
    {
        std::lock_guard<std::mutex> hold(g_keptScratchLock);
        scratch_.swap(g_keptScratch);
    }
    try {
        thread_ = std::thread([this] { Run(); });
        threaded_ = true;
    } catch (...) {
        threaded_ = false;
    }
}

ArchiveWriter::~ArchiveWriter() {
    Finish();
    if (scratch_.size() <= kMostKeptScratch) {
        std::lock_guard<std::mutex> hold(g_keptScratchLock);
        if (scratch_.size() > g_keptScratch.size()) {
            scratch_.swap(g_keptScratch);
        }
    }
}

std::string ArchiveWriter::TakeText() {
    std::string text;
    if (threaded_) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!spare_.empty()) {
            text = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    return text;
}

void ArchiveWriter::QueuePicture(std::string path, std::string base64) {
    Job job;
    job.path = std::move(path);
    job.base64 = std::move(base64);
    Queue(std::move(job));
}

void ArchiveWriter::QueuePicture(std::string path, std::string_view base64, WriterLoan& loan) {
    Job job;
    job.path = std::move(path);
    job.lent = base64;
    job.loan = threaded_ ? &loan : nullptr;
    if (job.loan == nullptr) {
        job.base64.assign(base64);  // done at once: the copy lives no longer than the call
    }
    Queue(std::move(job));
}

bool ArchiveWriter::Out(const WriterLoan& loan) {
    std::lock_guard<std::mutex> hold(lock_);
    return loan.out > 0;
}

void ArchiveWriter::WaitForReturn(const WriterLoan& loan) {
    std::unique_lock<std::mutex> hold(lock_);
    back_.wait(hold, [&] { return loan.out == 0; });
}

void ArchiveWriter::QueueReport(MessageReport report) {
    if (observer_ == nullptr) {
        return;
    }
    Job job;
    job.report = true;
    job.message = std::move(report);
    Queue(std::move(job));
}

void ArchiveWriter::Queue(Job job) {
    if (!threaded_) {
        Do(job);
        return;
    }
    const std::size_t bytes = job.Bytes();
    {
        std::unique_lock<std::mutex> hold(lock_);
        space_.wait(hold, [&] {
            return jobs_.size() < kQueueJobs &&
                   (queuedBytes_ == 0 || queuedBytes_ + bytes <= kQueueBytes);
        });
        queuedBytes_ += bytes;
        if (job.loan != nullptr) {
            ++job.loan->out;
        }
        jobs_.push_back(std::move(job));
    }
    work_.notify_one();
}

void ArchiveWriter::Finish() {
    if (!threaded_) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        ending_ = true;
    }
    work_.notify_one();
    thread_.join();
    threaded_ = false;
}

void ArchiveWriter::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> hold(lock_);
            work_.wait(hold, [&] { return !jobs_.empty() || ending_; });
            if (jobs_.empty()) {
                return;  // ending, and everything queued is done
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
            queuedBytes_ -= job.Bytes();
        }
        space_.notify_one();
        Do(job);
        if (job.loan != nullptr) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                --job.loan->out;
            }
            back_.notify_all();
        } else if (job.base64.capacity() > 0) {
            // Kept as it is: its next user replaces the content, and keeping the size spares
            // the zero fill of growing it again.
            std::lock_guard<std::mutex> hold(lock_);
            if (spare_.size() < kSpareTexts) {
                spare_.push_back(std::move(job.base64));
            }
        }
    }
}

void ArchiveWriter::Do(Job& job) {
    if (job.report) {
        std::vector<std::string>& pictures = job.message.pictures;
        pictures.insert(pictures.end(), std::make_move_iterator(written_.begin()),
                        std::make_move_iterator(written_.end()));
        written_.clear();
        observer_->OnMessage(job.message);
        return;
    }
    const std::string_view base64 = job.loan != nullptr ? job.lent : job.base64;
    if (WritePicture(job.path, base64, scratch_) && observer_ != nullptr) {
        written_.push_back(std::move(job.path));
    }
}
