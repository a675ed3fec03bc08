#include "net/transport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "net/tls.h"

// A request handed over and how far it got.
struct Transport::Pending {
    std::string bytes;
    std::size_t done = 0;
    bool filtered = false;  // the filter has seen it
    bool waited = true;     // a writer waits for it (not so for WriteSoon)
    bool finished = false;  // guarded by the transport's lock
    bool ok = false;        // guarded by the transport's lock
    std::string reason;     // guarded by the transport's lock
};

namespace {

void MakeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

}  // namespace

Transport::Transport(UniqueFd socket, std::unique_ptr<TlsSession> tls)
    : socket_(std::move(socket)),
      fd_(socket_.Get()),
      tls_(std::move(tls)),
      wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    MakeNonBlocking(fd_);
}

Transport::Transport(int borrowed) : fd_(borrowed), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    MakeNonBlocking(fd_);
}

std::unique_ptr<Transport> Transport::Borrowing(int socket) {
    return std::unique_ptr<Transport>(new Transport(socket));
}

Transport::~Transport() {
    FailAll("the connection is closed");
    if (tls_) {
        tls_->Shutdown();
    }
}

bool Transport::Dead() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return dead_;
}

void Transport::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(wake_.Get(), &one, sizeof one);
}

void Transport::DrainWake() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = read(wake_.Get(), &count, sizeof count);
}

void Transport::FailAll(const std::string& reason) {
    std::deque<std::shared_ptr<Pending>> failed;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        if (!dead_) {
            dead_ = true;
            deadReason_ = reason;
        }
        failed.swap(queue_);
        if (current_) {
            failed.push_front(current_);
        }
        for (const std::shared_ptr<Pending>& pending : failed) {
            pending->finished = true;
            pending->ok = false;
            pending->reason = deadReason_;
        }
    }
    finished_.notify_all();
}

void Transport::Close() {
    FailAll("the connection is closed");
    shutdown(fd_, SHUT_RDWR);
    Wake();
}

bool Transport::Write(std::string bytes, std::string* reason) {
    auto pending = std::make_shared<Pending>();
    pending->bytes = std::move(bytes);
    std::unique_lock<std::mutex> hold(lock_);
    if (dead_) {
        if (reason != nullptr) {
            *reason = deadReason_;
        }
        return false;
    }
    queue_.push_back(pending);
    hold.unlock();
    Wake();
    hold.lock();
    finished_.wait(hold, [&] { return pending->finished; });
    if (!pending->ok && reason != nullptr) {
        *reason = pending->reason;
    }
    return pending->ok;
}

void Transport::WriteSoon(std::string bytes) {
    auto pending = std::make_shared<Pending>();
    pending->bytes = std::move(bytes);
    pending->waited = false;
    pending->filtered = true;
    const std::lock_guard<std::mutex> hold(lock_);
    if (!dead_) {
        queue_.push_front(pending);
    }
}

Transport::Io Transport::TryRead(char* buffer, std::size_t size, std::size_t& got) {
    if (tls_) {
        // Take what the session holds and what the socket has, up to size, in one go: a TLS
        // record is at most 16 KB, the reads of the receive loop are much larger.
        got = 0;
        for (;;) {
            std::size_t n = 0;
            const TlsIo io = tls_->Read(buffer + got, size - got, n);
            if (io == TlsIo::Done) {
                got += n;
                if (got == size) {
                    return Io::Done;
                }
                continue;
            }
            if (got > 0) {
                return Io::Done;
            }
            return io == TlsIo::WantRead    ? Io::WantRead
                   : io == TlsIo::WantWrite ? Io::WantWrite
                   : io == TlsIo::Closed    ? Io::Closed
                                            : Io::Failed;
        }
    }
    ssize_t n;
    do {
        n = recv(fd_, buffer, size, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        got = static_cast<std::size_t>(n);
        return Io::Done;
    }
    if (n == 0) {
        return Io::Closed;
    }
    return errno == EAGAIN || errno == EWOULDBLOCK ? Io::WantRead : Io::Failed;
}

Transport::Io Transport::TryWrite(const char* data, std::size_t size, std::size_t& put) {
    if (tls_) {
        const TlsIo io = tls_->Write(data, size, put);
        return io == TlsIo::Done        ? Io::Done
               : io == TlsIo::WantRead  ? Io::WantRead
               : io == TlsIo::WantWrite ? Io::WantWrite
               : io == TlsIo::Closed    ? Io::Closed
                                        : Io::Failed;
    }
    ssize_t n;
    do {
        n = send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n >= 0) {
        put = static_cast<std::size_t>(n);
        return Io::Done;
    }
    return errno == EAGAIN || errno == EWOULDBLOCK ? Io::WantWrite : Io::Failed;
}

Transport::Io Transport::ServeWrites() {
    for (;;) {
        if (!current_) {
            const std::lock_guard<std::mutex> hold(lock_);
            if (queue_.empty() || dead_) {
                return Io::Done;
            }
            current_ = queue_.front();
            queue_.pop_front();
        }
        if (!current_->filtered) {
            current_->filtered = true;
            if (filter_ != nullptr) {
                current_->bytes = filter_->Outgoing(std::move(current_->bytes));
            }
        }
        while (current_->done < current_->bytes.size()) {
            std::size_t put = 0;
            const Io io = TryWrite(current_->bytes.data() + current_->done,
                                   current_->bytes.size() - current_->done, put);
            if (io == Io::Done) {
                current_->done += put;
                continue;
            }
            if (io == Io::WantRead || io == Io::WantWrite) {
                return io;
            }
            // The connection broke: this write and every later one fail.
            FailAll(tls_ ? tls_->LastError() : std::strerror(errno));
            return Io::Failed;
        }
        {
            const std::lock_guard<std::mutex> hold(lock_);
            current_->finished = true;
            current_->ok = true;
            current_.reset();
        }
        finished_.notify_all();
    }
}

long Transport::Read(char* buffer, std::size_t size) {
    for (;;) {
        const Io writing = ServeWrites();
        if (writing == Io::Failed) {
            return -1;
        }
        std::size_t got = 0;
        const Io reading = TryRead(buffer, size, got);
        if (reading == Io::Done) {
            return static_cast<long>(got);
        }
        if (reading == Io::Closed) {
            FailAll("the device closed the connection");
            return 0;
        }
        if (reading == Io::Failed) {
            FailAll(tls_ ? tls_->LastError() : std::strerror(errno));
            return -1;
        }
        if (Dead()) {
            return -1;  // closed by Close while nothing was to be read
        }
        short events = 0;
        for (const Io want : {reading, writing}) {
            events |= want == Io::WantRead ? POLLIN : want == Io::WantWrite ? POLLOUT : 0;
        }
        pollfd waits[2] = {{fd_, events, 0}, {wake_.Get(), POLLIN, 0}};
        int ready;
        do {
            ready = poll(waits, 2, -1);
        } while (ready < 0 && errno == EINTR);
        if (ready < 0) {
            FailAll(std::strerror(errno));
            return -1;
        }
        if (waits[1].revents != 0) {
            DrainWake();
        }
    }
}
