#include "bench/goal_report.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Console output as usual, plus the fastest repetition of every case.
class FastestReporter : public benchmark::ConsoleReporter {
  public:
    explicit FastestReporter(std::vector<GoalReport::Fastest>& fastest) : fastest_(fastest) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        // Shown: the aggregates when there are any, else the runs themselves.
        std::vector<Run> shown;
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate) {
                shown.push_back(run);
            }
        }
        ConsoleReporter::ReportRuns(shown.empty() ? runs : shown);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) {
                continue;
            }
            const double iterations = static_cast<double>(run.iterations);
            Keep(run.run_name.function_name, run.real_accumulated_time / iterations,
                 run.cpu_accumulated_time / iterations);
        }
    }

  private:
    void Keep(const std::string& name, double wall, double cpu) {
        for (GoalReport::Fastest& known : fastest_) {
            if (known.name == name) {
                known.wall = std::min(known.wall, wall);
                known.cpu = std::min(known.cpu, cpu);
                return;
            }
        }
        fastest_.push_back({name, wall, cpu});
    }

    std::vector<GoalReport::Fastest>& fastest_;
};

bool HasFlag(int argc, char** argv, const char* flag) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

void GoalReport::TimeAtMost(std::string what, std::string subject, std::string baseline,
                            double limit, bool wall) {
    Goal goal;
    goal.what = std::move(what);
    goal.subject = std::move(subject);
    goal.baseline = std::move(baseline);
    goal.limit = limit;
    goal.wall = wall;
    goals_.push_back(std::move(goal));
}

void GoalReport::ThroughputAtLeast(std::string what, std::string subject, std::string baseline,
                                   double limit, bool wall) {
    TimeAtMost(std::move(what), std::move(subject), std::move(baseline), limit, wall);
    goals_.back().throughput = true;
}

void GoalReport::Reference(std::string what, std::string subject, std::string baseline, bool wall) {
    ThroughputAtLeast(std::move(what), std::move(subject), std::move(baseline), 0, wall);
    goals_.back().reference = true;
}

void GoalReport::ValueAtMost(std::string what, double value, double limit, std::string unit) {
    Goal goal;
    goal.what = std::move(what);
    goal.limit = limit;
    goal.measured = true;
    goal.value = value;
    goal.unit = std::move(unit);
    goals_.push_back(std::move(goal));
}

void GoalReport::RunBenchmarks(int argc, char** argv, int repetitions) {
    std::vector<std::string> args(argv, argv + argc);
    if (!HasFlag(argc, argv, "--benchmark_repetitions")) {
        args.push_back("--benchmark_repetitions=" + std::to_string(repetitions));
    }
    if (!HasFlag(argc, argv, "--benchmark_enable_random_interleaving")) {
        args.push_back("--benchmark_enable_random_interleaving=true");
    }
    std::vector<char*> pointers;
    for (std::string& arg : args) {
        pointers.push_back(arg.data());
    }
    int count = static_cast<int>(pointers.size());
    benchmark::Initialize(&count, pointers.data());
    FastestReporter reporter(fastest_);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}

double GoalReport::Seconds(const std::string& name, bool wall) const {
    for (const Fastest& known : fastest_) {
        if (known.name == name) {
            return wall ? known.wall : known.cpu;
        }
    }
    return -1;
}

int GoalReport::Print() const {
    int missed = 0;
    std::printf("\n");
    for (const Goal& goal : goals_) {
        if (goal.measured) {
            const bool met = goal.value <= goal.limit;
            missed += met ? 0 : 1;
            std::printf("value %-58s %8.2f %s  goal <= %.2f %s  %s\n", goal.what.c_str(),
                        goal.value, goal.unit.c_str(), goal.limit, goal.unit.c_str(),
                        met ? "met" : "NOT met");
            continue;
        }
        const double subject = Seconds(goal.subject, goal.wall);
        const double baseline = Seconds(goal.baseline, goal.wall);
        if (subject <= 0 || baseline <= 0) {
            std::printf("ratio %-58s skipped (not run)\n", goal.what.c_str());
            continue;
        }
        // Throughput goals compare bytes per second: the baseline's time over the subject's.
        const double ratio = goal.throughput ? baseline / subject : subject / baseline;
        if (goal.reference) {
            std::printf("ratio %-58s %8.3f  (reference, no goal)\n", goal.what.c_str(), ratio);
            continue;
        }
        const bool met = goal.throughput ? ratio >= goal.limit : ratio <= goal.limit;
        missed += met ? 0 : 1;
        std::printf("ratio %-58s %8.3f  goal %s %.2f  %s\n", goal.what.c_str(), ratio,
                    goal.throughput ? ">=" : "<=", goal.limit, met ? "met" : "NOT met");
    }
    std::fflush(stdout);
    return missed;
}
