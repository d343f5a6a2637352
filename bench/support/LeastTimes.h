#pragma once
// A console reporter that also keeps, for every benchmark and argument
// ("BM_Name/arg"), the least CPU time and the least wall time per iteration
// over its repetitions: on a busy machine the least of several runs is the
// steadiest figure to compare a benchmark with its floor.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

class LeastTimes : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            const Times now{run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()};
            const auto [it, added] = least_.emplace(name, now);
            if (!added)
                it->second = {std::min(it->second.cpu, now.cpu), std::min(it->second.wall, now.wall)};
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // One line "what: CPU A / floor B = R x, wall C / floor D = S x" (in the
    // benchmarks' unit), or nothing when either did not run.
    void printRatio(const char *what, const std::string &name, const std::string &floor, const char *unit) const
    {
        const auto a = least_.find(name), b = least_.find(floor);
        if (a == least_.end() || b == least_.end())
            return;
        std::printf("%s (%s):\n  CPU  %10.3f / floor %10.3f = %6.2fx\n  wall %10.3f / floor %10.3f = %6.2fx\n", what,
                    unit, a->second.cpu, b->second.cpu, a->second.cpu / b->second.cpu, a->second.wall, b->second.wall,
                    a->second.wall / b->second.wall);
    }

private:
    struct Times {
        double cpu, wall;
    };
    std::map<std::string, Times> least_;
};

// A benchmark program's main after its set-up: runs the registered benchmarks
// with a LeastTimes reporter, prints the heading and then what `ratios`
// prints with it. 1 on unknown arguments or a failure (said on stderr).
template <class Ratios> int RunAgainstFloors(int argc, char **argv, const char *heading, Ratios ratios)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        LeastTimes reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        std::printf("%s\n", heading);
        ratios(reporter);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
