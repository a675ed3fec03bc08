#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "receive/receive_observer.h"

// One line for a received message, without a line end:
//   "response length=<n>", "event length=<n> smartType=<type> pictures=<k>[ <path>]...",
//   "other length=<n>", each followed by " incomplete" when the connection ended first.
std::string FormatMessageLine(const MessageReport& report);

// Collects what the receive thread reports, for the listening thread to print. Never blocks
// the receive thread beyond a short hold of its lock.
class ListenReport : public ReceiveObserver {
  public:
    // json: lines are ReportJson objects, folder notes included; else FormatMessageLine
    // lines, without the notes (which listen never printed).
    explicit ListenReport(bool json = false) : json_(json) {}
    void OnResponseText(std::string_view text) override { (void)text; }
    // Queues the message's line; counts responses (not those answered by sending again).
    void OnMessage(const MessageReport& report) override;

    // The lines queued since the last call, oldest first.
    std::vector<std::string> TakeLines();
    // Responses received so far, challenges answered by sending again not counted.
    int Responses() const;
    // Status code of the newest response; 0 before the first or when it had none.
    int LastStatus() const;

  private:
    const bool json_;
    mutable std::mutex lock_;
    std::deque<std::string> lines_;
    int responses_ = 0;
    int lastStatus_ = 0;
};
