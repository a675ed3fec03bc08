#pragma once

// A file descriptor (socket, file, pipe) with exactly one owner: closed when its owner goes,
// handed on only by moving. Code that only uses a descriptor for a while (the receive thread
// reading the connection's socket) gets the number from Get() and must not keep it past the
// owner's life.
class UniqueFd {
  public:
    UniqueFd() = default;
    // Takes ownership of fd; a negative fd means none.
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    // Closes the descriptor if one is held.
    ~UniqueFd() { Reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    // The descriptor; -1 when none is held.
    int Get() const { return fd_; }
    // True while a descriptor is held.
    explicit operator bool() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it; the caller owns it now. -1 when none.
    int Release() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the descriptor held (if any) and takes fd instead. close() is not repeated on
    // EINTR: on Linux the descriptor is gone either way.
    void Reset(int fd = -1) noexcept;

  private:
    int fd_ = -1;
};
