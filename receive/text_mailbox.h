#pragma once

#include <mutex>
#include <optional>
#include <string>

// A one-slot hand-over for the response box: the receive thread puts the newest text, the
// window takes it. Texts that were not taken in time are replaced (only the newest is shown).
// The lock is held only for a move, so Put never waits for the window's work.
class TextMailbox {
  public:
    // Stores `text` in place of any text not taken yet. True when the slot was empty, that is
    // when the caller should notify the window (one notification per text taken).
    bool Put(std::string text);
    // The newest text, emptying the slot; nullopt when nothing arrived since the last Take.
    std::optional<std::string> Take();

  private:
    std::mutex lock_;
    std::optional<std::string> slot_;
};
