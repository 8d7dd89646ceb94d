#include "diagram/itemreadwatch.h"

#include <QCoreApplication>
#include <QThread>

void ItemReadWatch::setWatching(bool on)
{
    if (on) {
        s_reads.store(0);
        s_offThread.store(0);
    }
    s_watching.store(on);
}

ItemReadWatch::Counts ItemReadWatch::counts()
{
    return Counts{s_reads.load(), s_offThread.load()};
}

void ItemReadWatch::countRead()
{
    s_reads.fetch_add(1, std::memory_order_relaxed);
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        s_offThread.fetch_add(1, std::memory_order_relaxed);
}
