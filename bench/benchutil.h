#pragma once

// Timing and memory helpers shared by the benchmark programs.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Milliseconds of each of count calls of work.
inline std::vector<double> timeRuns(int count, const std::function<void()>& work)
{
    std::vector<double> ms;
    ms.reserve(static_cast<size_t>(std::max(count, 0)));
    QElapsedTimer timer;
    for (int run = 0; run < count; ++run) {
        timer.start();
        work();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    return ms;
}

// Milliseconds of the fastest of count calls of work.
inline double bestOf(int count, const std::function<void()>& work)
{
    const std::vector<double> ms = timeRuns(count, work);
    return ms.empty() ? 0.0 : *std::min_element(ms.begin(), ms.end());
}

// The value at fraction p (0 to 1) of the way through sorted values, by
// nearest rank: 0.5 gives the median, 0.99 the 99th percentile.
inline double percentile(const std::vector<double>& sorted, double p)
{
    const size_t i = std::min(sorted.size() - 1, static_cast<size_t>(p * (sorted.size() - 1) + 0.5));
    return sorted[i];
}

// One line of figures: what was timed, then the median, best and worst
// milliseconds.
inline void printTimes(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s median %8.2f ms   best %8.2f ms   worst %8.2f ms\n", what, percentile(ms, 0.5),
                ms.front(), ms.back());
}

// A resident memory figure of this process from /proc/self/status ("VmRSS"
// now, "VmHWM" the peak), in MiB; -1 where it cannot be read.
inline double residentMiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Lets the next "VmHWM" reading show the peak of the phase that follows;
// false where the system does not allow it.
inline bool resetPeakResident()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

// The goals of one benchmark program. Each figure that has a goal is printed
// next to it with whether it was met; finish() prints the program's last
// line, saying which goals were met and which were not.
class BenchGoals
{
public:
    explicit BenchGoals(const char* program)
        : m_program(program)
    {
    }

    // A figure that should stay under limit (both in unit); decimals of the
    // figure as printed, detail what follows the verdict. Returns whether it
    // did.
    bool under(const char* what, double figure, double limit, const char* unit, int decimals = 1,
               const std::string& detail = std::string())
    {
        const bool met = figure < limit;
        std::printf("%-52s %10.*f %-3s  goal < %g %s: %s%s%s\n", what, decimals, figure, unit, limit, unit,
                    met ? "met" : "MISSED", detail.empty() ? "" : "   ", detail.c_str());
        m_goals.push_back({what, met});
        return met;
    }

    // The median of timed runs (milliseconds) against its goal, with the
    // best and the worst run after it.
    bool medianUnder(const char* what, std::vector<double> ms, double limit)
    {
        std::sort(ms.begin(), ms.end());
        return under(what, percentile(ms, 0.5), limit, "ms", 2, spread(ms));
    }

    // A figure without a goal of its own (a part of one above, or one
    // printed for comparison), in the same columns; remark says which.
    void note(const char* what, double figure, const char* unit, const char* remark, int decimals = 1) const
    {
        std::printf("%-52s %10.*f %-3s  (%s)\n", what, decimals, figure, unit, remark);
    }

    // The median of timed runs without a goal of its own, as note.
    void noteMedian(const char* what, std::vector<double> ms, const char* remark) const
    {
        std::sort(ms.begin(), ms.end());
        std::printf("%-52s %10.2f ms   (%s)   %s\n", what, percentile(ms, 0.5), remark, spread(ms).c_str());
    }

    // The last line: how many goals were met, and the names of those that
    // were not. Returns the program's exit code (0: the figures are there).
    int finish() const
    {
        int met = 0;
        std::string missed;
        for (const Goal& goal : m_goals) {
            if (goal.met) {
                ++met;
            } else {
                missed += missed.empty() ? "" : "; ";
                missed += goal.what.substr(std::min(goal.what.find_first_not_of(' '), goal.what.size()));
            }
        }
        std::printf("%s: %d of %d goals met%s%s\n", m_program.c_str(), met, static_cast<int>(m_goals.size()),
                    missed.empty() ? "" : "; missed: ", missed.c_str());
        std::fflush(stdout);
        return 0;
    }

private:
    static std::string spread(const std::vector<double>& sorted)
    {
        char text[96];
        std::snprintf(text, sizeof text, "median of %d; best %.2f ms, worst %.2f ms", static_cast<int>(sorted.size()),
                      sorted.front(), sorted.back());
        return text;
    }

    struct Goal
    {
        std::string what;
        bool met;
    };
    std::string m_program;
    std::vector<Goal> m_goals;
};
