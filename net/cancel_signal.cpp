#include "net/cancel_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

CancelSignal::CancelSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void CancelSignal::Cancel() {
    cancelled_.store(true);
    if (fd_) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(fd_.Get(), &one, sizeof one);
    }
}

void CancelSignal::Reset() {
    if (fd_) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = read(fd_.Get(), &count, sizeof count);
    }
    cancelled_.store(false);
}
