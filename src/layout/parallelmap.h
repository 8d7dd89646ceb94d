#pragma once

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <vector>

// work(i) for every i in [0, count), on a pool's threads and the calling
// thread, handed out `chunk` at a time. Each answer depends on its index
// alone and lands in its own place, so the answers are those of a plain
// loop, on any machine. Below `from` items the calling thread does it all:
// handing out costs more than it saves.
template <typename Result, typename Work>
std::vector<Result> mapInParallel(qsizetype count, const Work& work, qsizetype from = 48, qsizetype chunk = 8)
{
    std::vector<Result> results(static_cast<size_t>(std::max<qsizetype>(count, 0)));
    std::atomic<qsizetype> next{0};
    auto drain = [&results, &next, &work, count, chunk] {
        for (;;) {
            const qsizetype first = next.fetch_add(chunk);
            if (first >= count)
                return;
            const qsizetype last = std::min(first + chunk, count);
            for (qsizetype i = first; i < last; ++i)
                results[static_cast<size_t>(i)] = work(i);
        }
    };
    const qsizetype helpers =
        count < from ? 0 : std::min<qsizetype>(QThread::idealThreadCount() - 1, (count + chunk - 1) / chunk - 1);
    if (helpers <= 0) {
        drain();
        return results;
    }
    QThreadPool pool;
    pool.setMaxThreadCount(static_cast<int>(helpers));
    for (qsizetype h = 0; h < helpers; ++h)
        pool.start(drain);
    drain();
    pool.waitForDone();
    return results;
}
