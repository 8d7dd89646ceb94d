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
