#pragma once

#include <QRunnable>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

// The threads that help every mapInParallel, started on first use and kept
// while calls come: a layout makes a dozen calls, and starting the threads
// anew for each cost the calling thread more than some of the work.
inline QThreadPool& parallelHelperPool()
{
    static QThreadPool pool;
    static const bool sized = [] {
        pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
        return true;
    }();
    Q_UNUSED(sized)
    return pool;
}

// work(i) for every i in [0, count), on the shared pool's threads and the
// calling thread, handed out `chunk` at a time. Each answer depends on its
// index alone and lands in its own place, so the answers are those of a
// plain loop, on any machine. Below `from` items the calling thread does it
// all: handing out costs more than it saves. A helper that has not started
// when the calling thread finds no work left is taken back, so that a call
// made on a thread of the pool never waits for a thread that is not free.
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
    QThreadPool& pool = parallelHelperPool();
    const qsizetype helpers =
        count < from ? 0 : std::min<qsizetype>(pool.maxThreadCount(), (count + chunk - 1) / chunk - 1);
    if (helpers <= 0) {
        drain();
        return results;
    }
    // An exception on a helper (an allocation that failed) would end the
    // process there: the first one is kept, the work given up, and it is
    // thrown again on the calling thread once no helper touches the
    // results any more.
    std::exception_ptr thrown;
    std::mutex thrownLock;
    const auto guarded = [&drain, &next, &thrown, &thrownLock, count] {
        try {
            drain();
        } catch (...) {
            next.store(count);
            const std::lock_guard<std::mutex> lock(thrownLock);
            if (!thrown)
                thrown = std::current_exception();
        }
    };
    QSemaphore finished;
    std::vector<std::unique_ptr<QRunnable>> queued;
    queued.reserve(static_cast<size_t>(helpers));
    for (qsizetype h = 0; h < helpers; ++h) {
        queued.emplace_back(QRunnable::create([&guarded, &finished] {
            guarded();
            finished.release();
        }));
        queued.back()->setAutoDelete(false);
        pool.start(queued.back().get());
    }
    guarded();
    int running = 0;
    for (const std::unique_ptr<QRunnable>& helper : queued) {
        if (!pool.tryTake(helper.get()))
            ++running;
    }
    finished.acquire(running);
    if (thrown)
        std::rethrow_exception(thrown);
    return results;
}
