#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <functional>

// Watches the event loop of the thread it is made on: a precise timer shoots every
// `intervalMs` from Start() to Stop(), and the largest gap between two shots, minus the
// interval, is the longest the loop stalled. `each`, when given, runs after every shot with
// the gap just measured (in milliseconds).
class LoopGaps {
  public:
    explicit LoopGaps(int intervalMs) : intervalMs_(intervalMs) {
        ticker_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            const double gapMs = sinceShot_.nsecsElapsed() / 1e6;
            sinceShot_.start();
            largestMs_ = std::max(largestMs_, gapMs);
            if (each_)
                each_(gapMs);
        });
    }
    void Start(std::function<void(double)> each = {}) {
        each_ = std::move(each);
        sinceShot_.start();
        ticker_.start(intervalMs_);
    }
    void Stop() {
        ticker_.stop();
        each_ = nullptr;
    }
    double StallMs() const { return std::max(0.0, largestMs_ - intervalMs_); }

  private:
    int intervalMs_;
    QTimer ticker_;
    QElapsedTimer sinceShot_;
    double largestMs_ = 0;
    std::function<void(double)> each_;
};
