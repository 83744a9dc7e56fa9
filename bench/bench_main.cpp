// Runs the benchmarks and then prints, for every benchmark measured at 1 MiB
// and at 4 MiB, the ratio of the two times: about 4 means linear time.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include <unistd.h>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter()
        : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                realTime[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const
    {
        const std::string small = "/1048576";
        const std::string large = "/4194304";
        bool header = false;
        for (const auto &[name, time] : realTime) {
            const auto at = name.find(small);
            if (at == std::string::npos)
                continue;
            std::string other = name;
            other.replace(at, small.size(), large);
            const auto found = realTime.find(other);
            if (found == realTime.end() || time <= 0)
                continue;
            if (!header) {
                std::printf("\nTime for 4 MiB / time for 1 MiB (4.0 = linear):\n");
                header = true;
            }
            std::printf("  %-50s %5.2f\n", name.substr(0, at).c_str(), found->second / time);
        }
    }

private:
    std::map<std::string, double> realTime;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
