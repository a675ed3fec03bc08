#pragma once

// Runs the registered Google Benchmark cases and then prints, for each goal, the ratio of a
// subject against its baseline measured in the same run, the goal and "met" or "NOT met".

#include <string>
#include <vector>

class GoalReport {
  public:
    // Goal: the subject's time per iteration is at most `limit` times the baseline's. Times
    // are processor times of the benchmark's thread, or wall-clock times when `wall` is set
    // (for cases that work on several threads).
    void TimeAtMost(std::string what, std::string subject, std::string baseline, double limit,
                    bool wall = false);
    // Goal: the subject's throughput is at least `limit` times the baseline's. Both cases
    // must process the same bytes per iteration (the ratio is taken from their times).
    void ThroughputAtLeast(std::string what, std::string subject, std::string baseline,
                           double limit, bool wall = false);
    // No goal: prints the subject's throughput against a reference case's, to show where the
    // time goes.
    void Reference(std::string what, std::string subject, std::string baseline, bool wall = false);
    // A goal measured outside Google Benchmark: value against an upper limit, with its unit.
    void ValueAtMost(std::string what, double value, double limit, std::string unit);

    // Runs the benchmarks with the given command line (defaults: `repetitions` repetitions,
    // interleaved at random, so both sides of a ratio see the same drift) and records each
    // case's fastest repetition. Cases named on the command line's filter only; goals whose
    // cases did not run are reported as skipped.
    void RunBenchmarks(int argc, char** argv, int repetitions = 5);

    // Prints one line per goal; returns the number of goals not met (skipped ones and references
    // not counted).
    int Print() const;

    // Fastest repetition of one case, in seconds per iteration.
    struct Fastest {
        std::string name;
        double wall = 0;
        double cpu = 0;
    };

  private:
    struct Goal {
        std::string what;
        std::string subject;
        std::string baseline;
        double limit = 0;
        bool throughput = false;
        bool wall = false;
        bool measured = false;   // ValueAtMost: value holds the measurement
        bool reference = false;  // printed without a goal
        double value = 0;
        std::string unit;
    };
    std::vector<Goal> goals_;
    std::vector<Fastest> fastest_;
    // Seconds per iteration of a case; -1 when it did not run.
    double Seconds(const std::string& name, bool wall) const;
};
