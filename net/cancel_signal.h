#pragma once

#include <atomic>

#include "net/unique_fd.h"

// A one-way "give up" for work that waits on the network: a thread waiting in poll() watches
// Fd() beside its socket and wakes as soon as another thread calls Cancel(). Cancel and
// Cancelled may be called from any thread; Reset only while nobody waits on it.
class CancelSignal {
  public:
    CancelSignal();
    CancelSignal(const CancelSignal&) = delete;
    CancelSignal& operator=(const CancelSignal&) = delete;

    // Asks every waiter to give up. Harmless when asked already.
    void Cancel();
    // True from Cancel until Reset.
    bool Cancelled() const { return cancelled_.load(); }
    // Readable from Cancel until Reset; -1 when no descriptor could be made (waiters then see
    // Cancelled() only between their waits).
    int Fd() const { return fd_.Get(); }
    // Takes the "give up" back, for the next piece of work.
    void Reset();

  private:
    UniqueFd fd_;
    std::atomic<bool> cancelled_{false};
};
