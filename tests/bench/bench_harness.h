#pragma once
// The benchmarks' shared harness: wall-clock timing, repeated interleaved
// runs of every subject and baseline, and the figures they print.

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Wall-clock time from the performance counter.
class CStopwatch
{
public:
    CStopwatch() { Restart(); }
    void Restart() { QueryPerformanceCounter(&m_liStart); }
    double ElapsedMs() const;

private:
    LARGE_INTEGER m_liStart;
};

// The distribution of one series of samples (milliseconds).
struct SPREAD
{
    std::size_t nSamples = 0;
    double dMedian = 0;
    double dLowQuartile = 0;
    double dHighQuartile = 0;
    double dMin = 0;
    double dMax = 0;
};

// Quartiles by linear interpolation between the closest ranks. All zero for
// no samples.
SPREAD Summarise(std::vector<double> samples);

// One run of a subject or a baseline: its duration in milliseconds, or a
// negative value when the run failed (the benchmark then stops: a failed run
// measures something else).
using MEASURE_FN = std::function<double()>;

struct BENCH_SERIES
{
    std::string name;
    MEASURE_FN measure;
    std::vector<double> samples;
};

struct BENCH_OPTIONS
{
    int nWarmUpRounds = 3;
    int nRounds = 100;
    bool bPrintSamples = false;
};

// --rounds N, --warm-up N and --samples (print every sample); false, with a
// message, on anything else.
bool ParseBenchOptions(int argc, char** argv, BENCH_OPTIONS* pOptions);

// The order of the series in one round: every series once, the first one
// rotating from round to round, so slow drift of the machine spreads evenly
// over all of them and none always runs right after the same other one.
std::vector<std::size_t> RoundOrder(std::size_t nSeries, int nRound);

// Runs the warm-up rounds (not recorded), then the measured rounds. False,
// with a message naming the series, as soon as a run fails.
bool RunInterleaved(std::vector<BENCH_SERIES>& series, const BENCH_OPTIONS& options);

// A table of every series: median, quartiles, extremes.
void PrintSeries(const std::vector<BENCH_SERIES>& series);
// Every sample of every series, in the order measured.
void PrintSamples(const std::vector<BENCH_SERIES>& series);

// The ratio of each of the subject's samples to the baseline's sample of the
// same round. Interleaved rounds put the two close together in time, so a
// burst of load that slows one slows the other as well: the ratios stay
// steady where the medians of the two series wander.
std::vector<double> PairedRatios(const BENCH_SERIES& subject, const BENCH_SERIES& baseline);

// A figure: the median of the paired ratios with its quartiles, and the
// medians of both series as the raw numbers beside it; dGoal is the largest
// ratio that meets the goal, 0 when there is none. Besides the readable line,
// one tab-separated line starting with "FIGURE", which scripts/bench.sh
// collects into its table:
// FIGURE id what subject subject-ms baseline baseline-ms ratio p25 p75 goal
void ReportFigure(const char* pszFigure, const char* pszWhat, const BENCH_SERIES& subject,
                  const BENCH_SERIES& baseline, double dGoal);
