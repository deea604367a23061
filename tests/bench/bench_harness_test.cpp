// The benchmarks' harness: the statistics behind every figure, the
// interleaving of the rounds, option parsing and timed process runs.

#include "bench_harness.h"
#include "bench_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string ProgramDirectory()
{
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(NULL, szPath, MAX_PATH);
    const std::string path(szPath);
    return path.substr(0, path.rfind('\\') + 1);
}

BENCH_SERIES Series(const std::string& name, std::vector<double> samples)
{
    BENCH_SERIES series;
    series.name = name;
    series.samples = std::move(samples);
    return series;
}

} // namespace

TEST(Summarise, MedianQuartilesAndExtremesOfUnsortedSamples)
{
    struct
    {
        std::vector<double> samples;
        double dMedian, dLow, dHigh, dMin, dMax;
    } const cases[] = {
        {{3, 1, 2}, 2, 1.5, 2.5, 1, 3},
        {{4, 1, 3, 2}, 2.5, 1.75, 3.25, 1, 4},
        {{5, 4, 3, 2, 1}, 3, 2, 4, 1, 5},
        {{7}, 7, 7, 7, 7, 7},
        {{10, 10, 50, 10}, 10, 10, 20, 10, 50},
    };
    for (const auto& c : cases) {
        const SPREAD spread = Summarise(c.samples);
        EXPECT_EQ(c.samples.size(), spread.nSamples);
        EXPECT_DOUBLE_EQ(c.dMedian, spread.dMedian) << ::testing::PrintToString(c.samples);
        EXPECT_DOUBLE_EQ(c.dLow, spread.dLowQuartile) << ::testing::PrintToString(c.samples);
        EXPECT_DOUBLE_EQ(c.dHigh, spread.dHighQuartile) << ::testing::PrintToString(c.samples);
        EXPECT_DOUBLE_EQ(c.dMin, spread.dMin);
        EXPECT_DOUBLE_EQ(c.dMax, spread.dMax);
    }
    EXPECT_EQ(0u, Summarise({}).nSamples);
    EXPECT_EQ(0.0, Summarise({}).dMedian);
}

TEST(RoundOrder, EverySeriesOnceAndEveryPositionTakenInTurn)
{
    const std::size_t nSeries = 5;
    std::vector<std::vector<int>> positions(nSeries, std::vector<int>(nSeries, 0));
    for (int nRound = 0; nRound < static_cast<int>(nSeries); ++nRound) {
        std::vector<std::size_t> order = RoundOrder(nSeries, nRound);
        ASSERT_EQ(nSeries, order.size());
        for (std::size_t i = 0; i < nSeries; ++i)
            ++positions[order[i]][i];
        std::sort(order.begin(), order.end());
        for (std::size_t i = 0; i < nSeries; ++i)
            EXPECT_EQ(i, order[i]) << "round " << nRound;
    }
    for (const std::vector<int>& series : positions)
        for (int nTimes : series)
            EXPECT_EQ(1, nTimes);
}

TEST(RunInterleaved, RecordsOnlyTheMeasuredRoundsInTheOrderRun)
{
    std::vector<std::string> calls;
    int nRun = 0;
    std::vector<BENCH_SERIES> series(2);
    series[0].name = "a";
    series[0].measure = [&] { calls.push_back("a"); return static_cast<double>(++nRun); };
    series[1].name = "b";
    series[1].measure = [&] { calls.push_back("b"); return static_cast<double>(++nRun); };
    BENCH_OPTIONS options;
    options.nWarmUpRounds = 1;
    options.nRounds = 3;

    ASSERT_TRUE(RunInterleaved(series, options));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "b", "a", "a", "b", "b", "a"}), calls);
    EXPECT_EQ((std::vector<double>{4, 5, 8}), series[0].samples);
    EXPECT_EQ((std::vector<double>{3, 6, 7}), series[1].samples);
}

TEST(RunInterleaved, StopsAtTheFirstFailedRun)
{
    int nCalls = 0;
    int nFailingCalls = 0;
    std::vector<BENCH_SERIES> series(2);
    series[0].name = "fine";
    series[0].measure = [&] { ++nCalls; return 1.0; };
    series[1].name = "failing";
    series[1].measure = [&] { ++nCalls; return ++nFailingCalls == 2 ? -1.0 : 1.0; };
    BENCH_OPTIONS options;
    options.nWarmUpRounds = 0;
    options.nRounds = 10;

    // Round 1: fine, failing; round 2 starts with failing, which fails.
    EXPECT_FALSE(RunInterleaved(series, options));
    EXPECT_EQ(3, nCalls);
    EXPECT_EQ(1u, series[0].samples.size());
}

TEST(PairedRatios, DividesSamplesOfTheSameRound)
{
    const BENCH_SERIES subject = Series("subject", {10, 40, 30, 7});
    const BENCH_SERIES baseline = Series("baseline", {5, 40, 60, 0, 99});
    // The fourth round has no usable baseline; the fifth no subject.
    EXPECT_EQ((std::vector<double>{2, 1, 0.5}), PairedRatios(subject, baseline));
    // Slow rounds that catch the subject more often than the baseline move
    // the ratio of the medians to 41 / 10; the paired ratios keep 1.1.
    const BENCH_SERIES slowSubject = Series("subject", {11, 41, 41, 41, 11});
    const BENCH_SERIES slowBaseline = Series("baseline", {10, 40, 10, 10, 10});
    EXPECT_DOUBLE_EQ(1.1, Summarise(PairedRatios(slowSubject, slowBaseline)).dMedian);
}

TEST(ParseBenchOptions, AcceptsCountsAndTheSamplesSwitch)
{
    struct
    {
        std::vector<const char*> args;
        bool bValid;
        int nRounds, nWarmUp;
        bool bSamples;
    } const cases[] = {
        {{}, true, 100, 3, false},
        {{"--rounds", "7"}, true, 7, 3, false},
        {{"--warm-up", "0", "--samples", "--rounds", "1"}, true, 1, 0, true},
        {{"--rounds", "0"}, false, 0, 0, false},
        {{"--rounds", "7x"}, false, 0, 0, false},
        {{"--rounds"}, false, 0, 0, false},
        {{"--warm-up", "-1"}, false, 0, 0, false},
        {{"--fast"}, false, 0, 0, false},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv = {const_cast<char*>("bench")};
        for (const char* psz : c.args)
            argv.push_back(const_cast<char*>(psz));
        BENCH_OPTIONS options;
        EXPECT_EQ(c.bValid, ParseBenchOptions(static_cast<int>(argv.size()), argv.data(), &options))
            << ::testing::PrintToString(c.args);
        if (!c.bValid)
            continue;
        EXPECT_EQ(c.nRounds, options.nRounds);
        EXPECT_EQ(c.nWarmUp, options.nWarmUpRounds);
        EXPECT_EQ(c.bSamples, options.bPrintSamples);
    }
}

TEST(ShellCommandLine, QuotesOnlyTheFile)
{
    EXPECT_EQ("C:\\Tool\\Kestrun.exe \"C:\\my images\\boot.bin\"",
              ShellCommandLine("C:\\Tool\\Kestrun.exe", "C:\\my images\\boot.bin"));
}

TEST(TimeProcessRun, TimesARunThatEndsWithTheExpectedCode)
{
    const std::string program = ProgramDirectory() + "baseline_no_imports.exe";
    CStopwatch outer;
    const double dMs = TimeProcessRun(ShellCommandLine(program, "x.txt"), 0);
    EXPECT_GT(dMs, 0);
    EXPECT_LE(dMs, outer.ElapsedMs());
}

TEST(TimeProcessRun, FailsOnAnotherExitCodeAMissingProgramAndATimeout)
{
    const std::string dir = ProgramDirectory();
    EXPECT_LT(TimeProcessRun(ShellCommandLine(dir + "baseline_no_imports.exe", "x.txt"), 1), 0);
    EXPECT_LT(TimeProcessRun(ShellCommandLine(dir + "no_such_program.exe", "x.txt"), 0), 0);
    // No process has ended 0 ms after its start.
    EXPECT_LT(TimeProcessRun(ShellCommandLine(dir + "baseline_same_imports.exe", "x.txt"), 0, 0), 0);
}
