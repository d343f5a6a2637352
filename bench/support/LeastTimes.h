#pragma once
// A console reporter that also keeps, for every benchmark and argument
// ("BM_Name/arg"), the least time per iteration over its repetitions, CPU time
// or wall time (for work that waits on the disk): on a busy machine the least
// of several runs is the steadiest figure to compare a benchmark with its floor.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

class LeastTimes : public benchmark::ConsoleReporter {
public:
    enum Clock { Cpu, Wall };
    explicit LeastTimes(Clock clock = Cpu) : clock_(clock) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            const double time = clock_ == Wall ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
            const auto [it, added] = least_.emplace(name, time);
            if (!added)
                it->second = std::min(it->second, time);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The least time of name in the benchmark's unit, 0 when it did not run.
    double least(const std::string &name) const
    {
        const auto it = least_.find(name);
        return it == least_.end() ? 0 : it->second;
    }

    // One line "what: A / floor B (unit) = R x", or nothing when either is missing.
    void printRatio(const char *what, const std::string &name, const std::string &floor, const char *unit) const
    {
        const double a = least(name), b = least(floor);
        if (a > 0 && b > 0)
            std::printf("%-44s %10.3f / floor %10.3f %s = %6.2fx\n", what, a, b, unit, a / b);
    }

private:
    Clock clock_;
    std::map<std::string, double> least_;
};
