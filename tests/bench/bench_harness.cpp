#include "bench_harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

double CStopwatch::ElapsedMs() const
{
    static const double s_dTicksPerMs = [] {
        LARGE_INTEGER liFrequency;
        QueryPerformanceFrequency(&liFrequency);
        return static_cast<double>(liFrequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER liNow;
    QueryPerformanceCounter(&liNow);
    return static_cast<double>(liNow.QuadPart - m_liStart.QuadPart) / s_dTicksPerMs;
}

namespace {

// The value at fraction dAt (0 to 1) of sorted samples.
double Quantile(const std::vector<double>& sorted, double dAt)
{
    const double dRank = dAt * static_cast<double>(sorted.size() - 1);
    const std::size_t iBelow = static_cast<std::size_t>(dRank);
    if (iBelow + 1 >= sorted.size())
        return sorted.back();
    const double dFraction = dRank - static_cast<double>(iBelow);
    return sorted[iBelow] + dFraction * (sorted[iBelow + 1] - sorted[iBelow]);
}

bool ParseCount(const char* pszText, int nMin, int* pnValue)
{
    char* pszEnd = nullptr;
    const long nValue = std::strtol(pszText, &pszEnd, 10);
    if (pszEnd == pszText || *pszEnd != '\0' || nValue < nMin || nValue > 100000)
        return false;
    *pnValue = static_cast<int>(nValue);
    return true;
}

} // namespace

SPREAD Summarise(std::vector<double> samples)
{
    SPREAD spread;
    spread.nSamples = samples.size();
    if (samples.empty())
        return spread;
    std::sort(samples.begin(), samples.end());
    spread.dMedian = Quantile(samples, 0.5);
    spread.dLowQuartile = Quantile(samples, 0.25);
    spread.dHighQuartile = Quantile(samples, 0.75);
    spread.dMin = samples.front();
    spread.dMax = samples.back();
    return spread;
}

bool ParseBenchOptions(int argc, char** argv, BENCH_OPTIONS* pOptions)
{
    for (int i = 1; i < argc; ++i) {
        const bool bHasValue = i + 1 < argc;
        bool bParsed = false;
        if (std::strcmp(argv[i], "--samples") == 0)
            bParsed = pOptions->bPrintSamples = true;
        else if (bHasValue && std::strcmp(argv[i], "--rounds") == 0)
            bParsed = ParseCount(argv[++i], 1, &pOptions->nRounds);
        else if (bHasValue && std::strcmp(argv[i], "--warm-up") == 0)
            bParsed = ParseCount(argv[++i], 0, &pOptions->nWarmUpRounds);
        if (!bParsed) {
            std::fprintf(stderr, "usage: %s [--rounds N] [--warm-up N] [--samples]\n", argv[0]);
            return false;
        }
    }
    return true;
}

std::vector<std::size_t> RoundOrder(std::size_t nSeries, int nRound)
{
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < nSeries; ++i)
        order.push_back((i + static_cast<std::size_t>(nRound)) % nSeries);
    return order;
}

bool RunInterleaved(std::vector<BENCH_SERIES>& series, const BENCH_OPTIONS& options)
{
    const int nTotal = options.nWarmUpRounds + options.nRounds;
    for (int nRound = 0; nRound < nTotal; ++nRound) {
        for (std::size_t i : RoundOrder(series.size(), nRound)) {
            const double dMs = series[i].measure();
            if (dMs < 0) {
                std::fprintf(stderr, "benchmark: a run of \"%s\" failed (round %d)\n", series[i].name.c_str(),
                             nRound + 1);
                return false;
            }
            if (nRound >= options.nWarmUpRounds)
                series[i].samples.push_back(dMs);
        }
    }
    return true;
}

void PrintSeries(const std::vector<BENCH_SERIES>& series)
{
    std::printf("%-50s %5s %8s %8s %8s %8s %8s\n", "series (ms)", "runs", "median", "p25", "p75", "min", "max");
    for (const BENCH_SERIES& one : series) {
        const SPREAD spread = Summarise(one.samples);
        std::printf("%-50s %5u %8.2f %8.2f %8.2f %8.2f %8.2f\n", one.name.c_str(),
                    static_cast<unsigned>(spread.nSamples), spread.dMedian, spread.dLowQuartile,
                    spread.dHighQuartile, spread.dMin, spread.dMax);
    }
}

void PrintSamples(const std::vector<BENCH_SERIES>& series)
{
    for (const BENCH_SERIES& one : series) {
        std::printf("samples of %s (ms, in the order measured):", one.name.c_str());
        for (double dMs : one.samples)
            std::printf(" %.2f", dMs);
        std::printf("\n");
    }
}

std::vector<double> PairedRatios(const BENCH_SERIES& subject, const BENCH_SERIES& baseline)
{
    std::vector<double> ratios;
    const std::size_t nRounds = std::min(subject.samples.size(), baseline.samples.size());
    for (std::size_t i = 0; i < nRounds; ++i)
        if (baseline.samples[i] > 0)
            ratios.push_back(subject.samples[i] / baseline.samples[i]);
    return ratios;
}

void ReportFigure(const char* pszFigure, const char* pszWhat, const BENCH_SERIES& subject,
                  const BENCH_SERIES& baseline, double dGoal)
{
    const SPREAD subjectSpread = Summarise(subject.samples);
    const SPREAD baselineSpread = Summarise(baseline.samples);
    const SPREAD ratio = Summarise(PairedRatios(subject, baseline));
    // Ratios far below 1 (a click against a whole transfer) keep three
    // significant digits.
    if (ratio.dMedian < 0.1)
        std::printf("figure %s: %s: %.2f ms against %.2f ms, ratio %.3g (p25 %.3g, p75 %.3g)", pszFigure, pszWhat,
                    subjectSpread.dMedian, baselineSpread.dMedian, ratio.dMedian, ratio.dLowQuartile,
                    ratio.dHighQuartile);
    else
        std::printf("figure %s: %s: %.2f ms against %.2f ms, ratio %.3f (p25 %.3f, p75 %.3f)", pszFigure, pszWhat,
                    subjectSpread.dMedian, baselineSpread.dMedian, ratio.dMedian, ratio.dLowQuartile,
                    ratio.dHighQuartile);
    if (dGoal > 0)
        std::printf(", goal at most %.2f: %s", dGoal, ratio.dMedian <= dGoal ? "met" : "not met");
    std::printf("\n");
    std::printf("FIGURE\t%s\t%s\t%s\t%.3f\t%s\t%.3f\t%.6g\t%.6g\t%.6g\t%.2f\n", pszFigure, pszWhat,
                subject.name.c_str(), subjectSpread.dMedian, baseline.name.c_str(), baselineSpread.dMedian,
                ratio.dMedian, ratio.dLowQuartile, ratio.dHighQuartile, dGoal);
}
